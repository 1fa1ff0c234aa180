#include "formats/targa.h"

#include <array>

#include "formats/level_rows.h"

namespace tessiloom {
namespace {

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

bool WriteTarga(ByteSink& sink, const HeightImage& image) {
    const auto header = TargaHeader(image.grid);
    if (!sink.Write(header.data(), header.size())) return false;
    // Blue 0, green the low byte, red the high byte.
    return WriteLevelRows<kTargaPixelBytes>(sink, image, [](char* pixel, std::uint16_t level) {
        pixel[0] = 0;
        pixel[1] = static_cast<char>(level & 0xFF);
        pixel[2] = static_cast<char>(level >> 8);
    });
}

}  // namespace

const ImageFormat kTargaFormat{"tga", ".tga", true, false, false, WriteTarga};

}  // namespace tessiloom
