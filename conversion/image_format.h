#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "conversion/mesh_heights.h"
#include "platform/byte_sink.h"

// What an image format is, and what it is given to write: a height field's rows, from the last grid
// row (the top of the image) to the first, each from column 0 (left) on, so that vertex 0 is the
// bottom-left pixel. The formats themselves live in formats/.
namespace tessiloom {

// The widest and tallest image: the Targa's width and height are 16-bit signed fields.
inline constexpr std::int32_t kLargestImageSide = 32767;

// Whether an image holds a grid node for node: neither side longer than kLargestImageSide.
inline bool FitsAnImage(GridSize grid) {
    return grid.columns <= kLargestImageSide && grid.rows <= kLargestImageSide;
}

// Where the pixel centres lie in the plane: the columns from x0 (left) to x1 (right), the rows from
// y0 (bottom) to y1 (top).
struct ImagePlacement {
    double x0 = 0;
    double x1 = 0;
    double y0 = 0;
    double y1 = 0;
};

// The next row of levels, top row first, one level from 0 to 65535 a column.
using LevelRows = std::function<std::span<const std::uint16_t>()>;
// The next row of heights, top row first, each clamped into the range; NaN where nothing holds the
// pixel.
using HeightRows = std::function<std::span<const float>()>;

struct HeightImage {
    GridSize grid;
    double low = 0;   // the height at level 0
    double high = 0;  // the height at level 65535
    std::optional<ImagePlacement> placement;
    // A format pulls each row once, in order, of the kind it writes; the other is empty.
    LevelRows levels;
    HeightRows heights;
};

struct ImageFormat {
    std::string_view name;        // as --format names it: "tga"
    std::string_view extension;   // what replaces a listing's last four characters: ".tga"
    bool povRayReads = false;     // POV-Ray reads it as a height field, so that an include may name it
    bool writesHeights = false;   // it holds the heights themselves, not levels
    bool needsPlacement = false;  // it says where its pixels lie
    // Writes the image; false at the first write the sink refuses, or when the format cannot hold it.
    bool (*write)(ByteSink& sink, const HeightImage& image) = nullptr;
};

}  // namespace tessiloom
