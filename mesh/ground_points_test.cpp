// The points keep the ground in floats only while that loses nothing: read back, every X, Y and
// height is the one appended, however the points were split and joined.
#include "mesh/ground_points.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace tessiloom {
namespace {

// A point's bits, NaN told apart only by being NaN.
std::string Bits(GroundPoint point) {
    std::string bits;
    for (const double value : {point.x, point.y, point.height})
        bits += std::to_string(std::isnan(value) ? 0 : std::bit_cast<std::uint64_t>(value)) + " ";
    return bits;
}

// The points as every way of reading them back gives them.
std::vector<std::string> ReadBack(const GroundPoints& points) {
    std::vector<std::string> read;
    points.WithLookup([&](auto lookup) {
        points.ForEach([&](std::size_t index, const GroundPoint& point) {
            EXPECT_EQ(Bits(points[index]), Bits(point));
            EXPECT_EQ(Bits(lookup[index]), Bits(point));
            read.push_back(Bits(point));
        });
    });
    return read;
}

TEST(GroundPoints, KeepEveryValueHoweverTheyAreSplitAndJoined) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const std::vector<GroundPoint> floats = {{-30720, 15.5, 0.1}, {-0.0, 0, -0.0}, {3.0e38, -1e-40, 7}};
    const std::vector<std::vector<GroundPoint>> cases = {
        floats,
        {{0.1, 0, 1}, {2, 4, 5}},                        // wide from the first
        {{0, 0, 0}, {1, 2, 3}, {4, 0.1, 5}, {6, 7, 8}},  // wide from the third, along Y
        {{1, 1, 1}, {1e300, 1, 1}},                      // beyond any float
        {{1, 1, 1}, {1, 1e-50, 1}},                      // below any float, but not 0
        {{1, 1, 1}, {kNaN, 2, 2}, {3, 3, kNaN}},
        {{1, 1, 1}, {-HUGE_VAL, 2, 2}},
    };
    for (const std::vector<GroundPoint>& points : cases) {
        std::vector<std::string> expected;
        GroundPoints whole;
        for (const GroundPoint& point : points) {
            ASSERT_TRUE(whole.AppendAny(point));
            expected.push_back(Bits(point));
        }
        EXPECT_EQ(ReadBack(whole), expected);
        for (std::size_t split = 0; split <= points.size(); ++split) {
            GroundPoints first, second;
            for (std::size_t at = 0; at < points.size(); ++at)
                (at < split ? first : second).AppendAny(points[at]);
            ASSERT_TRUE(first.AppendFrom(std::move(second)));
            EXPECT_EQ(ReadBack(first), expected) << split;
        }
    }
}

// Points enough for several blocks, widened near their end and joined to narrow ones.
TEST(GroundPoints, WidenEveryBlock) {
    GroundPoints first, second;
    constexpr int kPoints = 600000;
    for (int at = 0; at < kPoints; ++at) {
        ASSERT_TRUE(first.Append({0.5 * at, -0.25 * at, 0.1 * at}));
        ASSERT_TRUE(second.Append({static_cast<double>(at), 0, 0}));
    }
    ASSERT_TRUE(first.Append({0.1, 0.2, 0.3}));
    ASSERT_TRUE(second.AppendFrom(std::move(first)));
    ASSERT_EQ(second.Size(), 2 * kPoints + 1);
    // A part of them across blocks, as the passes that share the points out between threads take
    // it, is visited whole and alone.
    std::size_t next = 100000;
    second.ForEachRunIn(next, 700000, [&](std::size_t runFirst, const auto& run) {
        EXPECT_EQ(runFirst, next);
        next += run.Size();
    });
    EXPECT_EQ(next, 700000u);
    second.ForEach([&](std::size_t index, const GroundPoint& point) {
        const auto at = static_cast<double>(index < kPoints ? index : index - kPoints);
        const GroundPoint expected = index < kPoints       ? GroundPoint{at, 0, 0}
                                     : index < 2 * kPoints ? GroundPoint{0.5 * at, -0.25 * at, 0.1 * at}
                                                           : GroundPoint{0.1, 0.2, 0.3};
        ASSERT_EQ(Bits(point), Bits(expected)) << index;
    });
}

}  // namespace
}  // namespace tessiloom
