#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "conversion/image_format.h"
#include "conversion/mesh_heights.h"
#include "platform/byte_sink.h"

// A height field: every height of the grid clamped into a range and, for formats of levels, scaled
// to a level from 0 to 65535, handed to an image format row by row.
namespace tessiloom {

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

// Streams the image into `sink` in `format`. Each height is first raised to `low` if below it,
// then lowered to `high` if above it (so with low > high every height becomes `high`), scaled by
// (height - low) / (high - low) to 0..65535 and rounded half to even. The grid must be 1 to 32767
// vertices each way with one height per vertex, and high - low finite and not 0: the run checks
// these before writing; a grid or range that breaks them is refused here too, with nothing
// written. Heights must be finite, or NaN for a pixel that nothing holds: level 0, clipping nothing.
// With `placement`, the format is told where the pixels lie.
HeightFieldWrite StreamHeightField(ByteSink& sink, const ImageFormat& format, GridSize grid,
                                   const HeightList& heights, double low, double high,
                                   const std::optional<ImagePlacement>& placement = std::nullopt);

// Writes the image to `outputPath` through an AtomicFile, so that it receives the image whole or
// not at all; on failure an older file of that name is left untouched.
HeightFieldWrite WriteHeightField(const std::string& outputPath, const ImageFormat& format, GridSize grid,
                                  const HeightList& heights, double low, double high,
                                  const std::optional<ImagePlacement>& placement = std::nullopt);

}  // namespace tessiloom
