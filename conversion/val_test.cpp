#include "conversion/val.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tessiloom {
namespace {

struct ValCase {
    const char* text;
    double expected;
};

TEST(Val, ReadsEveryFormOfNumber) {
    const ValCase cases[] = {
        {"0", 0},
        {"3.25", 3.25},
        {"-7.5", -7.5},
        {"+4", 4},
        {".5", 0.5},
        {"-.25", -0.25},
        {"5.", 5},
        {"1 2", 12},           // blanks are skipped even between digits
        {" \t\n-1 .5", -1.5},  // before the sign and around the point too
        {"1.5E3", 1500},
        {"1.5e-2", 0.015},
        {"2D3", 2000},  // D is an exponent mark as well
        {"2d+2", 200},
        {"-1.234567e+02", -123.4567},
        {"1.5 E 3", 1500},
        {"1e", 1},  // a mark without digits ends the number
        {"&HFF", 255},
        {"&h1a", 26},
        {"&O17", 15},
        {"&o78", 7},  // 8 is no octal digit
        {"&H", 0},
        {"&X12", 0},
        {"0.1", 0.1},
        {"123456789012345678901234567890", 123456789012345678901234567890.0},
        {"0.000000000000000000000000000001", 1e-30},
        {"9007199254740993", 9007199254740992.0},  // rounds to even like any other double text
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Val(text), expected) << "text: '" << text << "'";
    }
}

TEST(Val, StopsAtTheFirstCharacterThatCannotContinue) {
    const ValCase cases[] = {
        {"3.25 Y:4", 3.25},
        {"-7.5  U:0.1", -7.5},
        {"1,5", 1},
        {" 9     Faces: 8", 9},
        {"12abc", 12},
        {"1.2.3", 1.2},
        {"--5", 0},
        {"+-5", 0},
        {"", 0},
        {"abc", 0},
        {".", 0},
        {"-", 0},
        {"e5", 0},
        {"1e+", 1},
        {"4\r", 4},
        {"1 2 3x", 123},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(Val(text), expected) << "text: '" << text << "'";
    }
}

TEST(Val, GivesInfinityBeyondTheDoubleRangeAndZeroBelowIt) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Val("1e999"), kInfinity);
    EXPECT_EQ(Val("-1e999"), -kInfinity);
    EXPECT_EQ(Val("123456e99999999999999999"), kInfinity);
    EXPECT_EQ(Val("0.0001e-99999"), 0.0);
    EXPECT_EQ(Val("0e999999"), 0.0);
    EXPECT_FALSE(std::isnan(Val(std::string(5000, '9'))));
}

}  // namespace
}  // namespace tessiloom
