#include "mesh/mesh.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <span>
#include <utility>

#include "conversion/messages.h"
#include "conversion/number_text.h"
#include "conversion/stretch_reading.h"

namespace tessiloom {
namespace {

// The objects with a "Tri-mesh" header, each up to the next mark.
std::vector<MeshObject> ObjectsOf(const MeshRun& run) {
    std::vector<MeshObject> objects;
    std::size_t meshes = 0;
    run.marks.ForEach([&](const ObjectMark& mark) { meshes += mark.MakesMesh(); });
    objects.reserve(meshes);  // no more: many small objects take as little memory as their vertices allow
    ObjectMark named;         // the last named object's mark, whose name the next mesh takes; none yet
    bool open = false;
    const auto close = [&](std::uint64_t vertex, std::uint64_t face) {
        if (!std::exchange(open, false)) return;
        objects.back().vertexCount = vertex - objects.back().firstVertex;
        objects.back().faceCount = face - objects.back().firstFace;
    };
    run.marks.ForEach([&](const ObjectMark& mark) {
        close(mark.vertex, mark.face);
        if (!mark.MakesMesh()) {
            named = mark;
        } else {
            const ObjectMark& name = mark.kind == ObjectMark::Kind::kNamedMesh ? mark : named;
            objects.push_back({name.nameStart, name.nameSize, mark.vertex, 0, mark.face, 0});
            named = {};
            open = true;
        }
    });
    close(run.vertices.Size(), run.faceLines);
    return objects;
}

std::string NumberOrNone(double vertex) {
    return std::isnan(vertex) ? "no vertex (its A, B or C is missing)" : "vertex " + NumberText(vertex);
}

// Why a face names no vertex its object lists.
std::string StrayFaceProblem(const Mesh& mesh, const MeshRun& run, std::size_t object, std::uint64_t face,
                             std::uint32_t vertex) {
    const MeshObject& in = mesh.objects[object];
    const bool recorded = run.strayFace && run.strayFace->face == in.firstFace + face;
    const std::string named = vertex != kNoVertexNumber ? "vertex " + std::to_string(vertex)
                              : recorded                ? NumberOrNone(run.strayFace->vertex)
                                                        : "no vertex by number";
    return "face " + std::to_string(face) + " of " + ObjectName(mesh, object) + " names " + named +
           ", but the object lists " + std::to_string(in.vertexCount) + " vertices" +
           (in.vertexCount > 0 ? " (0 to " + std::to_string(in.vertexCount - 1) + ")" : "");
}

// Marks what each triangle uses, and checks that it names vertices its object lists.
std::optional<std::string> MarkUsed(const MeshRun& run, Mesh& mesh) {
    const auto mark = [&used = mesh.used](std::uint64_t point) {
        used[point / 64] |= std::uint64_t{1} << (point % 64);
    };
    for (std::size_t object = 0; object < mesh.objects.size(); ++object) {
        const MeshObject& in = mesh.objects[object];
        for (std::uint64_t face = 0; face < in.faceCount;) {
            const std::span<const MeshFace> faces = mesh.faces.RunFrom(in.firstFace + face);
            for (const MeshFace& corners :
                 faces.first(std::min<std::uint64_t>(faces.size(), in.faceCount - face))) {
                if (std::max({corners.a, corners.b, corners.c}) >= in.vertexCount) {
                    const std::uint32_t stray = corners.a >= in.vertexCount   ? corners.a
                                                : corners.b >= in.vertexCount ? corners.b
                                                                              : corners.c;
                    return StrayFaceProblem(mesh, run, object, face, stray);
                }
                mark(in.firstVertex + corners.a);
                mark(in.firstVertex + corners.b);
                mark(in.firstVertex + corners.c);
                ++face;
            }
        }
    }
    return std::nullopt;
}

// Marks the vertices each object's faces use, as the runs noted them by their places in the object:
// false when some object's faces use a place past its last vertex.
bool TakeUsedPlaces(const MeshRun& run, Mesh& mesh) {
    for (std::size_t object = 0; object < mesh.objects.size(); ++object) {
        const MeshObject& in = mesh.objects[object];
        // The run's places hold those of the faces before any mark first.
        for (std::size_t place = 0; place < run.places.PlacesOf(object + 1); place += 64) {
            const std::uint64_t bits = run.places.BitsFrom(object + 1, place);
            if (bits == 0) continue;
            if (place + 63 - static_cast<std::uint64_t>(std::countl_zero(bits)) >= in.vertexCount)
                return false;
            const std::uint64_t point = in.firstVertex + place;
            mesh.used[point / 64] |= bits << (point % 64);
            if (point % 64 != 0 && point / 64 + 1 < mesh.used.size())
                mesh.used[point / 64 + 1] |= bits >> (64 - point % 64);
        }
    }
    return true;
}

// The listing's marker of a point's value that is missing (NaN) or not finite; null when all are
// finite.
const char* NotFiniteMarker(const GroundPoint& point, UpAxis up) {
    if (!std::isfinite(point.x)) return "X";
    if (!std::isfinite(point.y)) return GroundMarker(up);
    if (!std::isfinite(point.height)) return HeightMarker(up);
    return nullptr;
}

// Why the first used point that is not finite cannot be read, naming it by its object.
std::string NotFiniteProblem(const Mesh& mesh, UpAxis up) {
    for (std::size_t object = 0; object < mesh.objects.size(); ++object) {
        const MeshObject& in = mesh.objects[object];
        for (std::uint64_t vertex = 0; vertex < in.vertexCount; ++vertex) {
            const std::uint64_t point = in.firstVertex + vertex;
            if (!mesh.IsUsed(point)) continue;
            if (const char* marker = NotFiniteMarker(mesh.points[point], up))
                return "vertex " + std::to_string(vertex) + " of " + ObjectName(mesh, object) +
                       " has no finite \"" + marker + ":\"";
        }
    }
    return {};
}

// Counts the used points and takes their box and the range of their heights, those of all the points
// being `all`; fails when one is not finite.
std::optional<std::string> SurveyUsedPoints(Mesh& mesh, UpAxis up, const PointsExtent& all) {
    for (const std::uint64_t bits : mesh.used)
        mesh.usedCount += static_cast<std::uint64_t>(std::popcount(bits));
    // Only points read by Val's rule may not be finite, and most listings have none: a look at each
    // point for it took the survey of a large grid twice as long.
    if (!mesh.points.AllFinite()) {
        if (std::string problem = NotFiniteProblem(mesh, up); !problem.empty()) return problem;
    }
    const PointsExtent extent =
        mesh.usedCount == mesh.points.Size()
            ? all
            : TallyUsed(
                  mesh, PointsExtent(),
                  [](PointsExtent& tally, std::size_t, const GroundPoint& point) { tally.Add(point); },
                  [](PointsExtent& tally, const PointsExtent& part) { tally.Add(part); });
    mesh.box = extent.box;
    mesh.nextX = extent.nextX;
    mesh.nextY = extent.nextY;
    mesh.lowest = extent.lowest;
    mesh.highest = extent.highest;
    return std::nullopt;
}

}  // namespace

std::string ObjectName(const Mesh& mesh, std::size_t object) {
    const std::string_view name = mesh.NameOf(mesh.objects[object]);
    return name.empty() ? "object " + std::to_string(object + 1) : "object \"" + std::string(name) + "\"";
}

namespace {

// ReadMesh, once: with the faces only marked, `doubtful` is set where they must be read again, kept.
std::optional<std::string> ReadOnce(const ByteSource& bytes, UpAxis up, const LinesReading& how,
                                    FaceReading faces, Mesh& mesh, bool& doubtful) {
    const MeshLines reader(bytes.Size(), up, faces);
    MeshRun run;
    if (how.oneThread) {
        LineBlock block(how.blockBytes);
        LineSource lines(bytes, 0, block);
        ReadOnOneThread(reader, lines, run);
    } else {
        ReadInStretches(bytes, 0, reader, run, how.blockBytes);
    }
    if (run.outOfMemory) return std::string(kOutOfMemoryProblem);
    if (run.failure) return run.failure;
    mesh.objects = ObjectsOf(run);
    mesh.names = std::move(run.names);
    run.marks = {};  // the objects tell all that is wanted of them from here on
    if (mesh.objects.empty()) return "it holds no object with a \"Tri-mesh\" header";
    for (std::size_t object = 0; object < mesh.objects.size(); ++object) {
        if (mesh.objects[object].faceCount == 0)
            return ObjectName(mesh, object) + " has a \"Tri-mesh\" header but no face lines";
        mesh.triangleCount += mesh.objects[object].faceCount;
    }
    mesh.points = std::move(run.vertices);
    mesh.used.assign((mesh.points.Size() + 63) / 64, 0);
    if (faces == FaceReading::kMarkPlaces) {
        doubtful = run.doubtfulFace || !TakeUsedPlaces(run, mesh);
        if (doubtful) return std::nullopt;
    } else {
        mesh.faces = std::move(run.faces);
        mesh.facesKept = true;
        if (auto failure = MarkUsed(run, mesh)) return failure;
    }
    return SurveyUsedPoints(mesh, up, run.extent);
}

}  // namespace

std::optional<std::string> ReadMesh(const ByteSource& bytes, UpAxis up, const LinesReading& how, Mesh& mesh,
                                    FaceReading faces) {
    bool doubtful = false;
    auto failure = ReadOnce(bytes, up, how, faces, mesh, doubtful);
    if (!doubtful) return failure;
    mesh = Mesh();  // its points go before the next reading's come
    return ReadOnce(bytes, up, how, FaceReading::kKeep, mesh, doubtful);
}

}  // namespace tessiloom
