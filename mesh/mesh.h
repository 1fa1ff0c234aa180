#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "conversion/block_list.h"
#include "conversion/reader.h"
#include "mesh/mesh_lines.h"
#include "platform/byte_source.h"

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
