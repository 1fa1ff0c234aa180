#include "conversion/targa_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/test_files.h"

namespace tessiloom {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes BytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Header(unsigned char side) {
    return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, side, 0, side, 0, 24, 32};
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(StreamHeightField, WritesTheTwoByTwoGridTopRowFirst) {
    MemorySink sink;
    const HeightFieldWrite write = StreamHeightField(sink, {2, 2}, HeightList{0, 10, 20, 30}, 0, 30);
    EXPECT_FALSE(write.failure);
    EXPECT_FALSE(write.below.count || write.above.count);
    // Vertex 2, vertex 3 (the top row), then vertex 0, vertex 1.
    EXPECT_EQ(BytesOf(sink.bytes), Concat(Header(2), {0, 170, 170, 0, 255, 255, 0, 0, 0, 0, 85, 85}));
}

TEST(StreamHeightField, ClampsScalesAndRoundsHalfToEven) {
    struct Case {
        const char* name;
        double height;
        double low;
        double high;
        Bytes pixel;
        bool clippedLow;
        bool clippedHigh;
    };
    const Case cases[] = {
        {"bottom of the range", 0, 0, 1000, {0, 0, 0}, false, false},
        {"top of the range", 1000, 0, 1000, {0, 255, 255}, false, false},
        {"tie goes to even", 500, 0, 1000, {0, 0, 128}, false, false},
        {"above the range", 1200, 0, 1000, {0, 255, 255}, false, true},
        {"below the range", -3, 0, 100, {0, 0, 0}, true, false},
        {"automatic range above 65000", 70000, 65000, 70000, {0, 255, 255}, false, false},
        {"inverted range, below its minimum", 50, 100, 0, {0, 255, 255}, true, true},
        {"inverted range, above both", 150, 100, 0, {0, 255, 255}, false, true},
    };
    for (const auto& [name, height, low, high, pixel, clippedLow, clippedHigh] : cases) {
        MemorySink sink;
        const HeightFieldWrite write = StreamHeightField(sink, {1, 1}, HeightList{height}, low, high);
        EXPECT_EQ(BytesOf(sink.bytes), Concat(Header(1), pixel)) << name;
        EXPECT_EQ(write.below.count > 0, clippedLow) << name;
        EXPECT_EQ(write.above.count > 0, clippedHigh) << name;
    }
}

TEST(StreamHeightField, CountsClippedHeightsAndTheMostExtreme) {
    MemorySink sink;
    const HeightFieldWrite write = StreamHeightField(sink, {2, 2}, HeightList{-4, -9, 50, 130}, 0, 100);
    EXPECT_EQ(write.below.count, 2);
    EXPECT_EQ(write.below.extreme, -9);
    EXPECT_EQ(write.above.count, 1);
    EXPECT_EQ(write.above.extreme, 130);
}

TEST(StreamHeightField, RefusesARangeItCannotScaleWithoutWritingAnything) {
    const std::pair<double, double> ranges[] = {{5, 5}, {-1e308, 1e308}};
    for (const auto& [low, high] : ranges) {
        MemorySink sink;
        EXPECT_TRUE(StreamHeightField(sink, {1, 1}, HeightList{5}, low, high).failure) << low << " " << high;
        EXPECT_TRUE(sink.bytes.empty());
    }
}

TEST(WriteHeightField, ReplacesAnOlderImageWhole) {
    TemporaryFolder folder;
    const std::string output = folder / "hill.tga";
    WriteFile(output, std::string(100, 'x'));  // longer than the new image
    EXPECT_FALSE(WriteHeightField(output, {1, 1}, HeightList{1}, 0, 2).failure);
    EXPECT_EQ(ReadFile(output), std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\x20\0\0\x80", 21));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"hill.tga"});
}

TEST(WriteHeightField, LeavesNothingWhenTheFolderIsMissing) {
    TemporaryFolder folder;
    const HeightFieldWrite write = WriteHeightField(folder / "missing/hill.tga", {1, 1}, HeightList{1}, 0, 2);
    EXPECT_EQ(write.failure, "No such file or directory");
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
}  // namespace tessiloom
