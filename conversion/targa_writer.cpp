#include "conversion/targa_writer.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "files/atomic_file.h"

namespace tessiloom {
namespace {

constexpr std::size_t kPixelsPerBlock = std::size_t{1} << 18;
constexpr double kLargestLevel = 65535.0;
constexpr const char* kSinkRefused = "the image could not be written in full";

std::array<char, kTargaHeaderBytes> TargaHeader(GridSize grid) {
    std::array<char, kTargaHeaderBytes> header{};
    header[2] = 2;  // uncompressed true-colour
    header[12] = static_cast<char>(grid.columns & 0xFF);
    header[13] = static_cast<char>(grid.columns >> 8);
    header[14] = static_cast<char>(grid.rows & 0xFF);
    header[15] = static_cast<char>(grid.rows >> 8);
    header[16] = 24;    // bits per pixel
    header[17] = 0x20;  // first row stored is the top row
    return header;
}

// Rounds 0 <= value < 2^52 to the nearest integer, ties to even: adding 2^52 leaves no bits for a
// fraction, so the sum is rounded by the FPU's default mode, which is exactly that.
double RoundHalfEven(double value) {
    constexpr double kNoFractionBits = 4503599627370496.0;  // 2^52
    return (value + kNoFractionBits) - kNoFractionBits;
}

// Blue 0, green the low byte, red the high byte. Stores four bytes: the caller keeps one spare.
void StorePixel(char* pixel, std::uint32_t level) {
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint32_t bytes = (level & 0xFF) << 8 | (level >> 8) << 16;
        std::memcpy(pixel, &bytes, sizeof bytes);
    } else {
        pixel[0] = 0;
        pixel[1] = static_cast<char>(level & 0xFF);
        pixel[2] = static_cast<char>(level >> 8);
    }
}

bool Fits(std::int32_t count) {
    return count >= 1 && count <= kLargestTargaSide;
}

}  // namespace

HeightFieldWrite StreamHeightField(ByteSink& sink, GridSize grid, const HeightList& heights, double low,
                                   double high) {
    HeightFieldWrite result;
    const double span = high - low;
    if (span == 0 || !std::isfinite(span) || !Fits(grid.columns) || !Fits(grid.rows) ||
        heights.Size() != static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(grid.rows)) {
        result.failure = "the grid or the height range cannot be written as a height field";
        return result;
    }
    const auto width = static_cast<std::size_t>(grid.columns);
    const auto header = TargaHeader(grid);
    if (!sink.Write(header.data(), header.size())) {
        result.failure = kSinkRefused;
        return result;
    }

    // One spare byte: each pixel is stored as four bytes, the fourth overwritten by the next.
    const auto block = std::make_unique<char[]>(kPixelsPerBlock * kTargaPixelBytes + 1);
    char* pixel = block.get();
    char* const blockEnd = block.get() + kPixelsPerBlock * kTargaPixelBytes;
    for (auto row = static_cast<std::size_t>(grid.rows); row-- > 0;) {
        for (std::size_t index = row * width, rowEnd = index + width; index < rowEnd;) {
            const std::span<const double> run = heights.RunFrom(index);
            const std::size_t count = std::min(run.size(), rowEnd - index);
            for (double height : run.first(count)) {
                if (height < low) {
                    if (result.below.count++ == 0 || height < result.below.extreme)
                        result.below.extreme = height;
                    height = low;
                }
                if (height > high) {
                    if (result.above.count++ == 0 || height > result.above.extreme)
                        result.above.extreme = height;
                    height = high;
                }
                const auto level =
                    static_cast<std::uint32_t>(RoundHalfEven((height - low) / span * kLargestLevel));
                StorePixel(pixel, level);
                pixel += kTargaPixelBytes;
                if (pixel == blockEnd) {
                    if (!sink.Write(block.get(), kPixelsPerBlock * kTargaPixelBytes)) {
                        result.failure = kSinkRefused;
                        return result;
                    }
                    pixel = block.get();
                }
            }
            index += count;
        }
    }
    if (!sink.Write(block.get(), static_cast<std::size_t>(pixel - block.get())))
        result.failure = kSinkRefused;
    return result;
}

HeightFieldWrite WriteHeightField(const std::string& outputPath, GridSize grid, const HeightList& heights,
                                  double low, double high) {
    AtomicFile file(outputPath);
    HeightFieldWrite result = StreamHeightField(file, grid, heights, low, high);
    if (!result.failure) file.Commit();
    // The file's own reason ("No space left on device") says more than the writer's.
    if (file.Failure()) result.failure = file.Failure();
    return result;
}

}  // namespace tessiloom
