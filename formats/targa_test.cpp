#include "formats/targa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "conversion/height_field.h"
#include "conversion/number_text.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// What the writer made of the heights, as one text: the width and height in the header, the bytes
// of each pixel, what it clipped on each side (how many, and the farthest), and why it failed.
std::string Stream(GridSize grid, const std::vector<double>& values, double low, double high,
                   int accepted = -1) {
    MemorySink sink(accepted);
    HeightList heights;
    for (const double value : values) heights.Append(value);
    const HeightFieldWrite write = StreamHeightField(sink, kTargaFormat, grid, heights, low, high);
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(sink.bytes[at]); };
    std::string described = sink.bytes.empty() ? "nothing"
                                               : std::to_string(byte(12) + 256 * byte(13)) + "x" +
                                                     std::to_string(byte(14) + 256 * byte(15));
    for (std::size_t at = kTargaHeaderBytes; at < sink.bytes.size(); ++at)
        described += " " + std::to_string(byte(at));
    for (const auto& [side, tally] : {std::pair{", below ", write.below}, std::pair{", above ", write.above}})
        described +=
            tally.count == 0 ? "" : side + std::to_string(tally.count) + " to " + NumberText(tally.extreme);
    return described + (write.failure ? ", " + *write.failure : "");
}

TEST(StreamHeightField, ClampsScalesRoundsHalfToEvenTopRowFirstAndTalliesTheClipped) {
    const std::string refused = "nothing, the grid or the height range cannot be written as a height field";
    // clang-format off
    const std::tuple<GridSize, std::vector<double>, double, double, std::string> cases[] = {
        {{1, 1}, {0}, 0, 1000, "1x1 0 0 0"}, {{1, 1}, {1000}, 0, 1000, "1x1 0 255 255"},
        {{1, 1}, {500}, 0, 1000, "1x1 0 0 128"},  // 32767.5: the tie goes to the even 32768
        {{1, 1}, {1}, 0, 65535, "1x1 0 1 0"},     // the low byte in green
        {{1, 1}, {1200}, 0, 1000, "1x1 0 255 255, above 1 to 1200"}, {{1, 1}, {-3}, 0, 100, "1x1 0 0 0, below 1 to -3"},
        {{1, 1}, {70000}, 65000, 70000, "1x1 0 255 255"},
        // Inverted: raised to 100, then lowered.
        {{1, 1}, {50}, 100, 0, "1x1 0 255 255, below 1 to 50, above 1 to 100"},
        {{1, 1}, {150}, 100, 0, "1x1 0 255 255, above 1 to 150"},
        {{2, 2}, {-4, -9, 50, 130}, 0, 100, "2x2 0 0 128 0 255 255 0 0 0 0 0 0, below 2 to -9, above 1 to 130"},
        {{1, 1}, {5}, 5, 5, refused}, {{1, 1}, {5}, -1e308, 1e308, refused}, {{0, 1}, {}, 0, 1, refused}, {{2, 1}, {5}, 0, 9, refused},
        {{32768, 1}, std::vector<double>(32768, 1), 0, 1, refused}, {{1, 32768}, std::vector<double>(32768, 1), 0, 1, refused},
    };
    // clang-format on
    for (const auto& [grid, values, low, high, written] : cases)
        EXPECT_EQ(Stream(grid, values, low, high), written);
    // The widest and the tallest image the format holds are written, not refused.
    for (const GridSize grid : {GridSize{32767, 1}, GridSize{1, 32767}})
        EXPECT_NE(Stream(grid, std::vector<double>(32767, 1), 0, 1), refused) << grid.columns;
}

TEST(StreamHeightField, StopsAtTheFirstBlockTheSinkRefuses) {
    // A sink that takes the header only, while a second thread scales rows; 1025 is 0x0401.
    EXPECT_EQ(Stream({1025, 1025}, std::vector<double>(1025 * 1025, 3), 0, 6, 1),
              "1025x1025, the image could not be written in full");
}

// A large image, whose rows two threads scale: each row whole and in its place, though heights are
// kept in blocks that rows straddle, and what either thread clipped counted once.
TEST(StreamHeightField, WritesTheRowsOfALargeImageInOrderAndTalliesEveryClip) {
    const GridSize grid{1000, 1100};
    HeightList heights;
    for (int i = 0; i < grid.columns * grid.rows; ++i) heights.Append(i / grid.columns);  // its row
    MemorySink sink;
    const HeightFieldWrite write = StreamHeightField(sink, kTargaFormat, grid, heights, 100, 999);
    ASSERT_EQ(write.failure, std::nullopt);
    EXPECT_EQ(std::tuple(write.below.count, write.below.extreme, write.above.count, write.above.extreme),
              std::tuple(100'000, 0.0, 100'000, 1099.0));
    // Top row first: 100 rows clipped to white, then a level a row going down to black, then 100
    // rows clipped to black.
    std::vector<int> levels;
    for (std::size_t at = kTargaHeaderBytes; at < sink.bytes.size(); at += 3000) {
        const std::string row = sink.bytes.substr(at, 3000);
        std::string uniform;
        for (int column = 0; column < grid.columns; ++column) uniform += row.substr(0, 3);
        ASSERT_EQ(row, uniform) << "row at byte " << at;
        levels.push_back(static_cast<unsigned char>(row[1]) + 256 * static_cast<unsigned char>(row[2]));
    }
    ASSERT_EQ(levels.size(), 1100u);
    EXPECT_TRUE(std::is_sorted(levels.rbegin(), levels.rend()));
    EXPECT_EQ(std::set<int>(levels.begin(), levels.end()).size(), 900u);
    EXPECT_EQ(std::tuple(levels.front(), levels.back()), std::tuple(65535, 0));
}

}  // namespace
}  // namespace tessiloom
