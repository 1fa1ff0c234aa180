#pragma once

#include <optional>

#include "conversion/mesh_heights.h"
#include "mesh/mesh.h"

namespace tessiloom {

// A lattice the used points of a mesh stand on, and its heights.
struct Lattice {
    GridSize grid;  // nodes along X (columns) and along Y (rows)
    double xStep = 0;
    double yStep = 0;
    // One a node, row by row from the lowest Y, each row from the lowest X; none where the mesh's
    // points hold them in that order.
    HeightList heights;
    bool pointsInOrder = false;  // every point is used, and stands at the node of its place
};

// The lattice's heights: its own, or those of the mesh's points, in their order, taken from it.
HeightList TakeHeights(Lattice& lattice, Mesh& mesh);

// The lattice the used points stand on: equal steps along X and along Y, every point within a
// hundredth of a step of its node, every node held, and the points that share a node (as tiles
// share an edge) at one height, however many nodes it has. Nothing when they stand on none.
// Fails only when there is no memory for the heights: `outOfMemory` is set.
std::optional<Lattice> FindLattice(const Mesh& mesh, bool& outOfMemory);

}  // namespace tessiloom
