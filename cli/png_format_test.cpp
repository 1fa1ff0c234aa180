#include "cli/png_format.h"

#include <gtest/gtest.h>
#include <png.h>

#include <regex>
#include <string>
#include <vector>

#include "conversion/targa_writer.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

TEST(PngFormat, HoldsTheTargasLevelsAsSixteenBitGreyAndNothingElse) {
    for (const GridSize grid : {GridSize{5, 3}, {2, 4}, {1, 1}, {300, 2}}) {
        SCOPED_TRACE(std::to_string(grid.columns) + " x " + std::to_string(grid.rows));
        HeightList heights;
        for (int i = 0; i < grid.columns * grid.rows; ++i) heights.Append(i * i % 97 - 20.5);
        MemorySink targa, png;
        ASSERT_EQ(StreamHeightField(targa, kTargaFormat, grid, heights, -20, 60).failure, std::nullopt);
        ASSERT_EQ(StreamHeightField(png, kPngFormat, grid, heights, -20, 60).failure, std::nullopt);
        const auto bytes = reinterpret_cast<png_const_bytep>(png.bytes.data());
        std::string chunks;  // after the signature: length, name, data, CRC
        for (std::size_t at = 8; at + 8 <= png.bytes.size(); at += 12 + png_get_uint_32(bytes + at))
            chunks += png.bytes.substr(at + 4, 4);
        EXPECT_TRUE(std::regex_match(chunks, std::regex("IHDR(IDAT)+IEND"))) << chunks;
        // IHDR's width, height, then bit depth 16, grey, deflate, adaptive filters, not interlaced.
        EXPECT_EQ(png_get_uint_32(bytes + 16), png_uint_32(grid.columns));
        EXPECT_EQ(png_get_uint_32(bytes + 20), png_uint_32(grid.rows));
        EXPECT_EQ(png.bytes.substr(24, 5), std::string("\x10\0\0\0\0", 5));

        // 16-bit samples without a gAMA chunk are taken as linear: read back unchanged, top row first.
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes, png.bytes.size())) << image.message;
        image.format = PNG_FORMAT_LINEAR_Y;
        std::vector<std::uint16_t> samples(PNG_IMAGE_SIZE(image) / 2);
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr)) << image.message;
        std::string pixels;  // as the Targa stores each level: blue 0, the low byte, the high byte
        for (const std::uint16_t level : samples) pixels += {'\0', char(level & 0xFF), char(level >> 8)};
        EXPECT_EQ(pixels, targa.bytes.substr(kTargaHeaderBytes));
    }
    MemorySink refusing(1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(StreamHeightField(refusing, kPngFormat, {2, 2}, HeightList{1, 2, 3, 4}, 0, 4).failure,
              "the image could not be written in full");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // the caller's message is the only one
}

}  // namespace
}  // namespace tessiloom
