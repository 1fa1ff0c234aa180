#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "conversion/image_format.h"

namespace tessiloom {

// Writes the image's rows of levels to `sink`, each level stored in kPixelBytes bytes by
// `store(pixel, level)`, in blocks of about 64 KiB: few writes, from a block small enough that its
// fresh memory costs few page faults (a 1 MiB block cost an eighth of the whole conversion of the
// 708 x 708 listing in our virtual machines). False at the first write the sink refuses.
template <std::size_t kPixelBytes, typename Store>
bool WriteLevelRows(ByteSink& sink, const HeightImage& image, Store&& store) {
    constexpr std::size_t kBlockBytes = std::size_t{1} << 16;
    const GridSize grid = image.grid;
    const std::size_t rowBytes = static_cast<std::size_t>(grid.columns) * kPixelBytes;
    const std::size_t rowsPerBlock =
        std::clamp<std::size_t>(kBlockBytes / rowBytes, 1, static_cast<std::size_t>(grid.rows));
    std::vector<char> block(rowsPerBlock * rowBytes);
    for (std::int32_t row = 0; row < grid.rows;) {
        char* pixel = block.data();
        for (std::size_t inBlock = 0; inBlock < rowsPerBlock && row < grid.rows; ++inBlock, ++row) {
            for (const std::uint16_t level : image.levels()) {
                store(pixel, level);
                pixel += kPixelBytes;
            }
        }
        if (!sink.Write(block.data(), static_cast<std::size_t>(pixel - block.data()))) return false;
    }
    return true;
}

}  // namespace tessiloom
