#include "conversion/targa_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "conversion/number_text.h"
#include "conversion/test_listing.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// The pixel bytes of a one-vertex image, and what its writing clipped, as one text.
std::string OnePixel(double height, double low, double high) {
    MemorySink sink;
    const HeightFieldWrite write =
        StreamHeightField(sink, kTargaFormat, {1, 1}, HeightList{height}, low, high);
    std::string described;
    for (const char byte : sink.bytes.substr(kTargaHeaderBytes))
        described += std::to_string(byte & 0xFF) + " ";
    if (write.below.count > 0) described += "below " + NumberText(write.below.extreme) + " ";
    if (write.above.count > 0) described += "above " + NumberText(write.above.extreme);
    return described;
}

TEST(StreamHeightField, WritesTheTwoByTwoGridTopRowFirst) {
    MemorySink sink;
    EXPECT_EQ(StreamHeightField(sink, kTargaFormat, {2, 2}, HeightList{0, 10, 20, 30}, 0, 30).failure,
              std::nullopt);
    EXPECT_EQ(sink.bytes, kTwoByTwoImage);
}

TEST(StreamHeightField, ClampsScalesAndRoundsHalfToEven) {
    EXPECT_EQ(OnePixel(0, 0, 1000), "0 0 0 ");
    EXPECT_EQ(OnePixel(1000, 0, 1000), "0 255 255 ");
    EXPECT_EQ(OnePixel(500, 0, 1000), "0 0 128 ");  // 32767.5: the tie goes to the even 32768
    EXPECT_EQ(OnePixel(1, 0, 65535), "0 1 0 ");     // the low byte in green
    EXPECT_EQ(OnePixel(1200, 0, 1000), "0 255 255 above 1200");
    EXPECT_EQ(OnePixel(-3, 0, 100), "0 0 0 below -3 ");
    EXPECT_EQ(OnePixel(70000, 65000, 70000), "0 255 255 ");
    EXPECT_EQ(OnePixel(50, 100, 0), "0 255 255 below 50 above 100");  // inverted: raised to 100, then lowered
    EXPECT_EQ(OnePixel(150, 100, 0), "0 255 255 above 150");
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
    const std::tuple<GridSize, std::vector<double>, double, double> cases[] = {
        {{1, 1}, {5}, 5, 5},    {{1, 1}, {5}, -1e308, 1e308}, {{0, 1}, {}, 0, 1},
        {{32768, 1}, {}, 0, 1}, {{1, 32768}, {}, 0, 1},       {{2, 1}, {5}, 0, 9},
    };
    for (const auto& [grid, values, low, high] : cases) {
        MemorySink sink;
        HeightList heights;
        for (const double value : values) heights.Append(value);
        EXPECT_EQ(StreamHeightField(sink, kTargaFormat, grid, heights, low, high).failure,
                  "the grid or the height range cannot be written as a height field");
        EXPECT_EQ(sink.bytes, "");
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
