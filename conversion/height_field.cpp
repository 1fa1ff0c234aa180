#include "conversion/height_field.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/atomic_file.h"

namespace tessiloom {
namespace {

constexpr double kLargestLevel = 65535.0;

bool Fits(std::int32_t count) {
    return count >= 1 && count <= kLargestImageSide;
}

void Tally(ClipTally& tally, double height, bool farther) {
    if (tally.count++ == 0 || farther) tally.extreme = height;
}

// The levels of the row of heights that starts at `first`, and what the range clipped of them.
void ScaleRow(const HeightList& heights, std::size_t first, double low, double high,
              std::span<std::uint16_t> levels, HeightFieldWrite& clipped) {
    const double span = high - low;
    for (std::size_t column = 0; column < levels.size();) {
        const std::span<const double> run = heights.RunFrom(first + column);
        for (double height : run.first(std::min(run.size(), levels.size() - column))) {
            if (height < low) {
                Tally(clipped.below, height, height < clipped.below.extreme);
                height = low;
            }
            if (height > high) {
                Tally(clipped.above, height, height > clipped.above.extreme);
                height = high;
            }
            // The default rounding mode rounds ties to the even neighbour.
            levels[column++] =
                static_cast<std::uint16_t>(std::nearbyint((height - low) / span * kLargestLevel));
        }
    }
}

}  // namespace

HeightFieldWrite StreamHeightField(ByteSink& sink, const ImageFormat& format, GridSize grid,
                                   const HeightList& heights, double low, double high) {
    HeightFieldWrite result;
    const double span = high - low;
    const auto width = static_cast<std::size_t>(grid.columns);
    if (span == 0 || !std::isfinite(span) || !Fits(grid.columns) || !Fits(grid.rows) ||
        heights.Size() != width * static_cast<std::size_t>(grid.rows)) {
        result.failure = "the grid or the height range cannot be written as a height field";
        return result;
    }
    std::vector<std::uint16_t> levels(width);
    auto row = static_cast<std::size_t>(grid.rows);
    const LevelRows rows = [&] {
        ScaleRow(heights, --row * width, low, high, levels, result);
        return std::span<const std::uint16_t>(levels);
    };
    if (!format.write(sink, grid, rows)) result.failure = "the image could not be written in full";
    return result;
}

HeightFieldWrite WriteHeightField(const std::string& outputPath, const ImageFormat& format, GridSize grid,
                                  const HeightList& heights, double low, double high) {
    AtomicFile file(outputPath);
    HeightFieldWrite result = StreamHeightField(file, format, grid, heights, low, high);
    if (!result.failure) file.Commit();
    // The file's own reason ("No space left on device") says more than the writer's.
    if (file.Failure()) result.failure = file.Failure();
    return result;
}

}  // namespace tessiloom
