#pragma once

#include <cstdint>

#include "conversion/mesh_heights.h"
#include "mesh/mesh.h"

namespace tessiloom {

// The heights of the mesh at a grid of points over its ground, and what those points fell on.
struct Samples {
    HeightList heights;       // row by row from y0, each row from x0; NaN where no triangle holds the point
    std::int64_t empty = 0;   // points no triangle holds
    std::int64_t folded = 0;  // points triangles at different heights hold
    bool outOfMemory = false;
};

// Samples the mesh at `size.columns` x `size.rows` points: point (i, j) lies at x = x0 + i (x1 - x0) /
// (columns - 1), y = y0 + j (y1 - y0) / (rows - 1) of the mesh's box, exactly, where no double may
// hold it. A point's height is linear within the
// triangle that holds it, its edges and corners included (decided exactly, so that points on an edge
// two triangles share are never lost between them); where triangles at different heights hold it,
// the highest. Triangles that stand on edge, holding no ground, hold no point.
Samples SampleMesh(const Mesh& mesh, GridSize size);

// The size a mesh that is no lattice is sampled at when none is asked for: about one point a used
// vertex, in the proportions of `box` (a strip too narrow for two samples across has two), at least 2
// and at most 32767 each way.
GridSize DefaultSampleSize(std::uint64_t usedVertices, const GroundBox& box);

}  // namespace tessiloom
