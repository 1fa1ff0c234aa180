#include "conversion/targa_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

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
}

TEST(StreamHeightField, StopsAtTheFirstBlockTheSinkRefuses) {
    // A sink that takes the header only; 513 is 0x0201, little-endian.
    EXPECT_EQ(Stream({513, 513}, std::vector<double>(513 * 513, 3), 0, 6, 1),
              "513x513, the image could not be written in full");
}

// Heights are kept in blocks; a row that starts in one and ends in the next is written whole.
TEST(StreamHeightField, WritesRowsThatRunFromOneBlockOfHeightsIntoTheNext) {
    const GridSize grid{1000, HeightList::kBlockSize / 1000 + 2};
    HeightList heights;
    for (int i = 0; i < grid.columns * grid.rows; ++i) heights.Append(i % grid.columns);
    MemorySink sink;
    ASSERT_EQ(StreamHeightField(sink, kTargaFormat, grid, heights, 0, 999).failure, std::nullopt);
    const std::string firstRow = sink.bytes.substr(kTargaHeaderBytes, 3000);
    for (std::size_t at = kTargaHeaderBytes; at < sink.bytes.size(); at += 3000)
        ASSERT_EQ(sink.bytes.substr(at, 3000), firstRow) << "row at byte " << at;
}

}  // namespace
}  // namespace tessiloom
