#pragma once

#include <cstdint>

#include "conversion/block_list.h"

namespace tessiloom {

// The vertex heights in listing order.
using HeightList = BlockList<double>;

// The grid the vertices form: vertex i sits in column i mod columns of row i div columns, and
// row 0 is the bottom row of the image.
struct GridSize {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
};

// What reading the vertex list yields. `lowest` starts at 65000.0 and `highest` at 0.0, so the
// automatic range always reaches down to at least 65000 and up to at least 0.
struct MeshHeights {
    HeightList heights;
    double lowest = 65000.0;
    double highest = 0.0;
};

}  // namespace tessiloom
