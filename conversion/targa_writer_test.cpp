#include "conversion/targa_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "conversion/test_listing.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

std::string OnePixelImage(const std::string& pixel) {
    return std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\x20", 18) + pixel;
}

TEST(StreamHeightField, WritesTheTwoByTwoGridTopRowFirst) {
    MemorySink sink;
    const HeightFieldWrite write =
        StreamHeightField(sink, kTargaFormat, {2, 2}, HeightList{0, 10, 20, 30}, 0, 30);
    EXPECT_EQ(write.failure, std::nullopt);
    EXPECT_EQ(sink.bytes, kTwoByTwoImage);
}

TEST(StreamHeightField, ClampsScalesAndRoundsHalfToEven) {
    struct Case {
        const char* name;
        double height;
        double low;
        double high;
        std::string pixel;
        std::int64_t below;
        std::int64_t above;
    };
    const Case cases[] = {
        {"bottom of the range", 0, 0, 1000, {"\0\0\0", 3}, 0, 0},
        {"top of the range", 1000, 0, 1000, {"\0\xFF\xFF", 3}, 0, 0},
        {"tie goes to even", 500, 0, 1000, {"\0\0\x80", 3}, 0, 0},
        {"one step", 1, 0, 65535, {"\0\1\0", 3}, 0, 0},
        {"above the range", 1200, 0, 1000, {"\0\xFF\xFF", 3}, 0, 1},
        {"below the range", -3, 0, 100, {"\0\0\0", 3}, 1, 0},
        {"automatic range above 65000", 70000, 65000, 70000, {"\0\xFF\xFF", 3}, 0, 0},
        {"inverted range, below its minimum", 50, 100, 0, {"\0\xFF\xFF", 3}, 1, 1},
        {"inverted range, above both", 150, 100, 0, {"\0\xFF\xFF", 3}, 0, 1},
    };
    for (const auto& [name, height, low, high, pixel, below, above] : cases) {
        MemorySink sink;
        const HeightFieldWrite write =
            StreamHeightField(sink, kTargaFormat, {1, 1}, HeightList{height}, low, high);
        EXPECT_EQ(sink.bytes, OnePixelImage(pixel)) << name;
        EXPECT_EQ(write.below.count, below) << name;
        EXPECT_EQ(write.above.count, above) << name;
    }
}

TEST(StreamHeightField, CountsClippedHeightsAndTheMostExtreme) {
    MemorySink sink;
    const HeightFieldWrite write =
        StreamHeightField(sink, kTargaFormat, {2, 2}, HeightList{-4, -9, 50, 130}, 0, 100);
    EXPECT_EQ(std::vector<double>({double(write.below.count), write.below.extreme, double(write.above.count),
                                   write.above.extreme}),
              std::vector<double>({2, -9, 1, 130}));
}

TEST(StreamHeightField, RefusesWhatItCannotWriteWithoutWritingAnything) {
    struct Case {
        const char* name;
        GridSize grid;
        HeightList heights;
        double low;
        double high;
    };
    const Case cases[] = {
        {"no span", {1, 1}, {5}, 5, 5},     {"infinite span", {1, 1}, {5}, -1e308, 1e308},
        {"no columns", {0, 1}, {}, 0, 1},   {"too wide", {32768, 1}, {}, 0, 1},
        {"too tall", {1, 32768}, {}, 0, 1}, {"a height missing", {2, 1}, {5}, 0, 9},
    };
    for (const auto& [name, grid, heights, low, high] : cases) {
        MemorySink sink;
        EXPECT_EQ(StreamHeightField(sink, kTargaFormat, grid, heights, low, high).failure,
                  "the grid or the height range cannot be written as a height field")
            << name;
        EXPECT_EQ(sink.bytes, "") << name;
    }
}

TEST(StreamHeightField, StopsAtTheFirstBlockTheSinkRefuses) {
    constexpr int kSide = 513;  // more pixels than one block holds
    HeightList heights;
    for (int i = 0; i < kSide * kSide; ++i) heights.Append(i % 7);
    MemorySink sink(1);  // the header only
    EXPECT_EQ(StreamHeightField(sink, kTargaFormat, {kSide, kSide}, heights, 0, 6).failure,
              "the image could not be written in full");
    EXPECT_EQ(sink.bytes.substr(12, 4), "\x01\x02\x01\x02");  // 513 is 0x0201, little-endian
    EXPECT_EQ(sink.bytes.size(), kTargaHeaderBytes);
}

}  // namespace
}  // namespace tessiloom
