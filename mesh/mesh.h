#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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
    std::size_t nameStart = 0;  // its name among the mesh's names; none, when empty
    std::size_t nameSize = 0;
    std::uint64_t firstVertex = 0;
    std::uint64_t vertexCount = 0;
    std::uint64_t firstFace = 0;
    std::uint64_t faceCount = 0;
};

struct Mesh {
    std::vector<MeshObject> objects;
    std::string names;                // the objects' names, one after another: one string for them all
    GroundPoints points;              // one a vertex line, in listing order
    BlockList<MeshFace> faces;        // one a face line; each names vertices of its object by place
    bool facesKept = false;           // else `faces` is empty, and only `used` tells of them
    std::vector<std::uint64_t> used;  // a bit a point: some triangle uses it
    std::uint64_t usedCount = 0;
    std::uint64_t triangleCount = 0;
    GroundBox box;            // the ground the used points cover
    double nextX = HUGE_VAL;  // the lowest X and Y of a used point above the box's lowest, if any
    double nextY = HUGE_VAL;
    double lowest = 0;  // and their heights
    double highest = 0;

    bool IsUsed(std::uint64_t point) const { return (used[point / 64] >> (point % 64) & 1) != 0; }
    std::string_view NameOf(const MeshObject& object) const {
        return std::string_view(names).substr(object.nameStart, object.nameSize);
    }
};

// Calls `visit(index, point)` with each used point from `first` up to `end`, in listing order.
template <typename Visit>
[[gnu::always_inline]] inline void ForEachUsedIn(const Mesh& mesh, std::size_t first, std::size_t end,
                                                 Visit&& visit) {
    mesh.points.ForEachRunIn(
        first, end, [&](std::size_t index, const auto& run) __attribute__((always_inline)) {
            const std::size_t runFirst = index;
            const std::size_t runEnd = index + run.Size();
            // A word of marks at a time: where all its points are used, as in a grid, none is tested.
            // A pass over a large grid's points took 8.5 ms where a test of each took 12.
            while (index < runEnd) {
                const std::uint64_t marks = mesh.used[index / 64];
                const std::size_t wordEnd = std::min(runEnd, (index / 64 + 1) * 64);
                run.FetchAheadOf(index - runFirst, wordEnd - index);
                if (marks == ~std::uint64_t{0}) {
                    for (; index < wordEnd; ++index) visit(index, run[index - runFirst]);
                } else {
                    for (; index < wordEnd; ++index) {
                        if (marks >> (index % 64) & 1) visit(index, run[index - runFirst]);
                    }
                }
            }
        });
}

// Calls `visit(point)` with each used point, in listing order.
template <typename Visit>
void ForEachUsed(const Mesh& mesh, Visit&& visit) {
    ForEachUsedIn(mesh, 0, mesh.points.Size(), [&](std::size_t, const GroundPoint& point) { visit(point); });
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
    ShareOut(
        parts.size(), [&](std::size_t part) __attribute__((flatten)) {
            Tally partTally = tally;
            const std::size_t first = part * kPointsAPart;
            ForEachUsedIn(
                mesh, first, std::min(points, first + kPointsAPart),
                [&](std::size_t index, const GroundPoint& point)
                    __attribute__((always_inline)) { look(partTally, index, point); });
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
