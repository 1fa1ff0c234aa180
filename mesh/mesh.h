#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "conversion/block_list.h"
#include "conversion/reader.h"
#include "mesh/mesh_lines.h"
#include "platform/byte_source.h"
#include "platform/thread.h"

// A whole mesh read from a listing, as a terrain seen from above: its objects, every vertex as a
// point of the ground and its height, and its triangles. Vertices that no triangle uses count for
// nothing.
namespace tessiloom {

// An object with a "Tri-mesh" header: its vertex and face lines among all of them.
struct MeshObject {
    std::string name;  // empty when it has none
    std::uint64_t firstVertex = 0;
    std::uint64_t vertexCount = 0;
    std::uint64_t firstFace = 0;
    std::uint64_t faceCount = 0;
};

// An extent of the ground.
struct GroundBox {
    double x0 = 0;
    double x1 = 0;
    double y0 = 0;
    double y1 = 0;
};

// The ground some points cover and the range of their heights, and whether each of them is finite:
// where one is not, the rest tells nothing of use.
struct PointsExtent {
    GroundBox box{HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL};
    double lowest = HUGE_VAL;
    double highest = -HUGE_VAL;
    bool finite = true;

    void Add(const GroundPoint& point) {
        finite = finite && std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.height);
        box.x0 = std::min(box.x0, point.x);
        box.x1 = std::max(box.x1, point.x);
        box.y0 = std::min(box.y0, point.y);
        box.y1 = std::max(box.y1, point.y);
        lowest = std::min(lowest, point.height);
        highest = std::max(highest, point.height);
    }
    void Add(const PointsExtent& other) {
        finite = finite && other.finite;
        box = {std::min(box.x0, other.box.x0), std::max(box.x1, other.box.x1), std::min(box.y0, other.box.y0),
               std::max(box.y1, other.box.y1)};
        lowest = std::min(lowest, other.lowest);
        highest = std::max(highest, other.highest);
    }
};

struct Mesh {
    std::vector<MeshObject> objects;
    GroundPoints points;              // one a vertex line, in listing order
    BlockList<MeshFace> faces;        // one a face line; each names vertices of its object by place
    bool facesKept = false;           // else `faces` is empty, and only `used` tells of them
    std::vector<std::uint64_t> used;  // a bit a point: some triangle uses it
    std::uint64_t usedCount = 0;
    std::uint64_t triangleCount = 0;
    GroundBox box;      // the ground the used points cover
    double lowest = 0;  // and their heights
    double highest = 0;

    bool IsUsed(std::uint64_t point) const { return (used[point / 64] >> (point % 64) & 1) != 0; }
};

// Calls `visit(point)` with each used point, in listing order.
template <typename Visit>
void ForEachUsed(const Mesh& mesh, Visit&& visit) {
    mesh.points.ForEach([&](std::size_t index, const GroundPoint& point) {
        if (mesh.IsUsed(index)) visit(point);
    });
}

// The points are looked at in parts of this many, shared out between two threads: a large grid's
// points take a tenth of its whole conversion to look at on one.
inline constexpr std::size_t kPointsAPart = std::size_t{1} << 16;

// What `look(tally, index, point)` makes of each used point: `tally` is copied for each part of the
// points, the parts are looked at on two threads, and their tallies are then joined to it in order
// by `join(tally, partTally)`.
template <typename Tally, typename Look, typename Join>
Tally TallyUsed(const Mesh& mesh, Tally tally, Look&& look, Join&& join) {
    // Each part's tally in a place of its own: a vector of bools packs them into shared words, which
    // the threads would write at once.
    struct Part {
        Tally tally;
    };
    const std::size_t points = mesh.points.Size();
    std::vector<Part> parts((points + kPointsAPart - 1) / kPointsAPart, Part{tally});
    ShareOut(parts.size(), [&](std::size_t part) {
        Tally partTally = tally;
        const std::size_t first = part * kPointsAPart;
        mesh.points.ForEachIn(first, std::min(points, first + kPointsAPart),
                              [&](std::size_t index, const GroundPoint& point) {
                                  if (mesh.IsUsed(index)) look(partTally, index, point);
                              });
        parts[part].tally = partTally;
    });
    for (const Part& part : parts) join(tally, part.tally);
    return tally;
}

// Reads the mesh of the listing in `bytes`, on two threads where the lines are many, its faces as
// `faces` says (only marked, they are read again and kept where one may name a vertex its object
// does not list), and checks it: the reason to follow "Could not read '<source>': " when it has no
// object with a "Tri-mesh" header, an object without triangles, a face that names a vertex its
// object does not list, or a used vertex whose ground or height is not finite.
std::optional<std::string> ReadMesh(const ByteSource& bytes, UpAxis up, const LinesReading& how, Mesh& mesh,
                                    FaceReading faces = FaceReading::kKeep);

// How a message names an object: by its name, or by its place among the meshes when it has none.
std::string ObjectName(const Mesh& mesh, std::size_t object);

}  // namespace tessiloom
