// Every format of levels holds the very levels of the Targa, as its own decoder reads them back.
#include "formats/formats.h"

#include <gtest/gtest.h>
#include <png.h>

#include <regex>
#include <string>
#include <vector>

#include "conversion/height_field.h"
#include "formats/png.h"
#include "formats/targa.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

using Levels = std::vector<std::uint16_t>;

Levels TargaLevels(const std::string& bytes) {
    Levels levels;
    for (std::size_t at = kTargaHeaderBytes; at + 2 < bytes.size(); at += kTargaPixelBytes)
        levels.push_back(std::uint16_t(std::uint8_t(bytes[at + 2]) << 8 | std::uint8_t(bytes[at + 1])));
    return levels;
}

Levels PngLevels(const std::string& bytes) {
    // 16-bit samples without a gAMA chunk are taken as linear: read back unchanged, top row first.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_LINEAR_Y;
    Levels levels(PNG_IMAGE_SIZE(image) / 2);
    if (!png_image_finish_read(&image, nullptr, levels.data(), 0, nullptr)) return {};
    return levels;
}

// The levels after the header, two bytes each, the high byte first or last.
Levels Words(const std::string& bytes, std::size_t header, bool highFirst) {
    Levels levels;
    for (std::size_t at = header; at + 1 < bytes.size(); at += 2) {
        const std::uint8_t first = std::uint8_t(bytes[at]), second = std::uint8_t(bytes[at + 1]);
        levels.push_back(highFirst ? std::uint16_t(first << 8 | second) : std::uint16_t(second << 8 | first));
    }
    return levels;
}

std::string Written(const char* format, GridSize grid, const HeightList& heights) {
    MemorySink sink;
    EXPECT_EQ(StreamHeightField(sink, *FormatNamed(format), grid, heights, -20, 60).failure, std::nullopt)
        << format;
    return sink.bytes;
}

TEST(LevelFormats, HoldTheTargasLevelsAndNothingElse) {
    for (const GridSize grid : {GridSize{5, 3}, {2, 4}, {1, 1}, {300, 2}}) {
        const std::string size = std::to_string(grid.columns) + " " + std::to_string(grid.rows);
        SCOPED_TRACE(size);
        HeightList heights;
        for (int i = 0; i < grid.columns * grid.rows; ++i) heights.Append(i * i % 97 - 20.5);
        const Levels levels = TargaLevels(Written("tga", grid, heights));
        ASSERT_EQ(levels.size(), std::size_t(grid.columns * grid.rows));
        const std::string png = Written("png", grid, heights), pgm = Written("pgm", grid, heights),
                          r16 = Written("r16", grid, heights);
        EXPECT_EQ(PngLevels(png), levels);
        const std::string pgmHeader = "P5\n" + size + "\n65535\n";
        EXPECT_EQ(pgm.substr(0, pgmHeader.size()), pgmHeader);
        EXPECT_EQ(Words(pgm, pgmHeader.size(), true), levels);
        EXPECT_EQ(r16.size(), 2 * levels.size());  // no header
        EXPECT_EQ(Words(r16, 0, false), levels);
        // The PNG: IHDR's width, height, then bit depth 16, grey, deflate, adaptive filters, not
        // interlaced, and no chunk but the image's.
        const auto bytes = reinterpret_cast<png_const_bytep>(png.data());
        std::string chunks;  // after the signature: length, name, data, CRC
        for (std::size_t at = 8; at + 8 <= png.size(); at += 12 + png_get_uint_32(bytes + at))
            chunks += png.substr(at + 4, 4);
        EXPECT_TRUE(std::regex_match(chunks, std::regex("IHDR(IDAT)+IEND"))) << chunks;
        EXPECT_EQ(png.substr(24, 5), std::string("\x10\0\0\0\0", 5));
    }
}

TEST(LevelFormats, FailQuietlyWhenTheSinkRefuses) {
    for (const char* format : {"tga", "png", "pgm", "r16"}) {
        MemorySink refusing(0);
        testing::internal::CaptureStderr();
        EXPECT_EQ(
            StreamHeightField(refusing, *FormatNamed(format), {2, 2}, HeightList{1, 2, 3, 4}, 0, 4).failure,
            "the image could not be written in full");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "")
            << format;  // the caller's message is the only one
    }
}

}  // namespace
}  // namespace tessiloom
