#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "conversion/mesh_heights.h"
#include "files/byte_sink.h"

// The height-field Targa: an uncompressed 24-bit true-colour image (type 2) that POV-Ray reads as
// a 16-bit height field. An 18-byte header (width and height = grid side, pixel depth 24,
// descriptor 0x20: top row first) is followed by side x side pixels of three bytes: 0, the low
// byte and the high byte of the height scaled to 0..65535. The first row stored is the last grid
// row, so vertex 0 is the bottom-left pixel and the last vertex the top-right one.
namespace tessiloom {

inline constexpr std::size_t kTargaHeaderBytes = 18;
inline constexpr std::size_t kTargaPixelBytes = 3;
inline constexpr int kLargestTargaSide = 32767;  // width and height are 16-bit signed fields

// Heights clamped on one side of the range: how many, and the farthest from the range.
struct ClipTally {
    std::int64_t count = 0;
    double extreme = 0;
};

struct HeightFieldWrite {
    ClipTally below;  // heights that lay below `low`
    ClipTally above;  // heights that lay above `high`
    // Why the image could not be written, to follow its path in a message.
    std::optional<std::string> failure;
};

// Streams the image into `sink`. Each height is first raised to `low` if below it, then lowered
// to `high` if above it (so with low > high every height becomes `high`), scaled by
// (height - low) / (high - low) to 0..65535 and rounded half to even. The grid must be 1 to 32767
// vertices each way with one height per vertex, and high - low finite and not 0: the run checks
// these before writing; a grid or range that breaks them is refused here too, with nothing
// written. Heights must be finite. Writing stops at the first block the sink refuses.
HeightFieldWrite StreamHeightField(ByteSink& sink, GridSize grid, const HeightList& heights, double low,
                                   double high);

// Writes the image to `outputPath` through an AtomicFile, so that it receives the image whole or
// not at all; on failure an older file of that name is left untouched.
HeightFieldWrite WriteHeightField(const std::string& outputPath, GridSize grid, const HeightList& heights,
                                  double low, double high);

}  // namespace tessiloom
