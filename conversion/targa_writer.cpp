#include "conversion/targa_writer.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tessiloom {
namespace {

// Rows go to the sink in blocks of about this many bytes: few writes, from a block small enough that
// its fresh memory costs few page faults. A 1 MiB block took 256 of them, an eighth of the whole
// conversion of the 708 x 708 listing in our virtual machines.
constexpr std::size_t kBlockBytes = std::size_t{1} << 16;

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

// Blue 0, green the low byte, red the high byte.
void StorePixel(char* pixel, std::uint32_t level) {
    pixel[0] = 0;
    pixel[1] = static_cast<char>(level & 0xFF);
    pixel[2] = static_cast<char>(level >> 8);
}

bool WriteTarga(ByteSink& sink, GridSize grid, const LevelRows& rows) {
    const auto header = TargaHeader(grid);
    if (!sink.Write(header.data(), header.size())) return false;
    const std::size_t rowBytes = static_cast<std::size_t>(grid.columns) * kTargaPixelBytes;
    const std::size_t rowsPerBlock =
        std::clamp<std::size_t>(kBlockBytes / rowBytes, 1, static_cast<std::size_t>(grid.rows));
    std::vector<char> block(rowsPerBlock * rowBytes);
    for (std::int32_t row = 0; row < grid.rows;) {
        char* pixel = block.data();
        for (std::size_t inBlock = 0; inBlock < rowsPerBlock && row < grid.rows; ++inBlock, ++row) {
            for (const std::uint16_t level : rows()) {
                StorePixel(pixel, level);
                pixel += kTargaPixelBytes;
            }
        }
        if (!sink.Write(block.data(), static_cast<std::size_t>(pixel - block.data()))) return false;
    }
    return true;
}

}  // namespace

const ImageFormat kTargaFormat{".tga", WriteTarga};

}  // namespace tessiloom
