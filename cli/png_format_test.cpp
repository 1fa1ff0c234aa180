#include "cli/png_format.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "conversion/targa_writer.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// A PNG as libpng reads it back: its header fields, the names of its chunks and its samples.
struct DecodedPng {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = -1;
    int interlace = -1;
    std::vector<std::string> chunks;
    std::vector<std::uint16_t> samples;  // rows top first, as stored
};

struct Bytes {
    const std::string& text;
    std::size_t at = 0;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t size) {
    auto* bytes = static_cast<Bytes*>(png_get_io_ptr(png));
    if (bytes->at + size > bytes->text.size()) png_error(png, "the image ends early");
    std::memcpy(out, bytes->text.data() + bytes->at, size);
    bytes->at += size;
}

void DecodeSamples(png_structp png, png_infop info, Bytes& bytes, DecodedPng& image) {
    if (setjmp(png_jmpbuf(png))) return;
    png_set_read_fn(png, &bytes, ReadBytes);
    png_read_info(png, info);
    png_get_IHDR(png, info, &image.width, &image.height, &image.bitDepth, &image.colourType, &image.interlace,
                 nullptr, nullptr);
    std::vector<png_byte> row(png_get_rowbytes(png, info));
    for (png_uint_32 y = 0; y < image.height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (std::size_t x = 0; x + 1 < row.size(); x += 2) image.samples.push_back(row[x] << 8 | row[x + 1]);
    }
}

DecodedPng Decode(const std::string& file) {
    DecodedPng image;
    for (std::size_t at = 8; at + 8 <= file.size();) {  // after the signature: length, name, data, CRC
        const auto byte = [&](std::size_t i) {
            return std::size_t{static_cast<unsigned char>(file[at + i])};
        };
        image.chunks.push_back(file.substr(at + 4, 4));
        at += 12 + (byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3));
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes bytes{file};
    DecodeSamples(png, info, bytes, image);
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

// The levels a Targa holds, in the order its pixels are stored.
std::vector<std::uint16_t> TargaLevels(const std::string& targa) {
    std::vector<std::uint16_t> levels;
    for (std::size_t at = kTargaHeaderBytes; at + kTargaPixelBytes <= targa.size(); at += kTargaPixelBytes) {
        levels.push_back(static_cast<unsigned char>(targa[at + 2]) << 8 |
                         static_cast<unsigned char>(targa[at + 1]));
    }
    return levels;
}

TEST(PngFormat, HoldsTheTargasLevelsAsSixteenBitGreyAndNothingElse) {
    const GridSize grids[] = {{5, 3}, {2, 4}, {1, 1}, {300, 2}};
    for (const GridSize grid : grids) {
        SCOPED_TRACE(std::to_string(grid.columns) + " x " + std::to_string(grid.rows));
        HeightList heights;
        for (int i = 0; i < grid.columns * grid.rows; ++i) heights.Append(i * i % 97 - 20.5);
        MemorySink targa;
        MemorySink png;
        ASSERT_EQ(StreamHeightField(targa, kTargaFormat, grid, heights, -20, 60).failure, std::nullopt);
        ASSERT_EQ(StreamHeightField(png, kPngFormat, grid, heights, -20, 60).failure, std::nullopt);
        const DecodedPng decoded = Decode(png.bytes);
        EXPECT_EQ(decoded.width, png_uint_32(grid.columns));
        EXPECT_EQ(decoded.height, png_uint_32(grid.rows));
        EXPECT_EQ(decoded.bitDepth, 16);
        EXPECT_EQ(decoded.colourType, PNG_COLOR_TYPE_GRAY);
        EXPECT_EQ(decoded.interlace, PNG_INTERLACE_NONE);
        EXPECT_EQ(decoded.chunks.front(), "IHDR");
        EXPECT_EQ(decoded.chunks.back(), "IEND");
        for (std::size_t i = 1; i + 1 < decoded.chunks.size(); ++i) EXPECT_EQ(decoded.chunks[i], "IDAT");
        EXPECT_EQ(decoded.samples, TargaLevels(targa.bytes));
    }
    MemorySink refusing(1);
    EXPECT_EQ(StreamHeightField(refusing, kPngFormat, {2, 2}, HeightList{1, 2, 3, 4}, 0, 4).failure,
              "the image could not be written in full");
}

}  // namespace
}  // namespace tessiloom
