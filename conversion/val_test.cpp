#include "conversion/val.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>

#include "conversion/plain_number.h"

namespace tessiloom {
namespace {

TEST(Val, ReadsEveryFormOfNumberAndSaysHowFarItReached) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    // The text, its value and how many characters the number took from the start of the text.
    // clang-format off
    const std::tuple<const char*, double, std::size_t> cases[] = {
        {"0", 0, 1}, {"3.25", 3.25, 4}, {"-7.5", -7.5, 4}, {"+4", 4, 2}, {".5", 0.5, 2}, {"-.25", -0.25, 4}, {"5.", 5, 2},
        {"1 2", 12, 3},            // blanks are skipped even between digits,
        {" \t\n-1 .5 ", -1.5, 8},  // before the sign and around the point too, but not after the number
        {"1.5E3", 1500, 5}, {"1.5e-2", 0.015, 6}, {"2D3", 2000, 3}, {"2d+2", 200, 4}, {"1.5 E 3", 1500, 7},
        {"1e", 1, 1}, {"1e+", 1, 1},  // a mark without digits ends the number before it
        {"&HFF", 255, 4}, {"&h1a", 26, 4}, {"&O17", 15, 4}, {"&o78", 7, 3}, {"&H", 0, 0}, {"&X12", 0, 0},
        {"0.1", 0.1, 3}, {"123456789012345678901234567890", 123456789012345678901234567890.0, 30},
        {"0.000000000000000000000000000001", 1e-30, 32},
        {"9007199254740993", 9007199254740992.0, 16},  // rounds to even like any other double text
        {"3.25 Y:4", 3.25, 4}, {"1,5", 1, 1}, {"1.2.3", 1.2, 3}, {"--5", 0, 0}, {"", 0, 0}, {"abc", 0, 0},
        {".", 0, 0}, {"-", 0, 0}, {"e5", 0, 0}, {"4\r", 4, 1},
        {"1e999", kInfinity, 5}, {"-1e999", -kInfinity, 6},  // beyond the double range: callers refuse it
        {"123456e99999999999999999", kInfinity, 24}, {"0.0001e-99999", 0, 13}, {"0e999999", 0, 8}, {"1e0000005", 1e5, 9},
        {"1e10000000000000000000", kInfinity, 22},  // only an exponent's leading zeros are not its digits
    };
    // clang-format on
    for (const auto& [text, value, length] : cases) {
        const ValRead read = ReadVal(text);
        EXPECT_EQ(std::pair(read.value, read.length), std::pair(value, length)) << "'" << text << "'";
    }
    EXPECT_FALSE(std::isnan(Val(std::string(5000, '9'))));
    EXPECT_EQ(Val("0." + std::string(400, '0') + "1"), 0);     // too small, by its leading zeros alone
    EXPECT_EQ(Val("0." + std::string(400, '0') + "1e10"), 0);  // an exponent that lifts it too little
    EXPECT_EQ(Val("0.1" + std::string(400, '0') + "e310"),
              std::numeric_limits<double>::infinity());  // not by later ones
}

// The word-at-a-time reading must agree with Val on the line it reads, whatever the bytes after
// the line's end, and must take the usual forms of a height.
TEST(ReadPlainHeight, AgreesWithValOnTheLineItReads) {
    // clang-format off
    const std::string pieces[] = {"0", "7", "12", "420", "1234567", "12345678", "123456789", ".", "-", "+", "e", "E5",
                                  "d-2", " ", "\t", "x", "U:", ",", "&H", "00", "9999999"};
    // clang-format on
    const std::string followers[] = {"\r\n0000000", "\n99999999", "\r" + std::string(24, '\0'), "e5\n",
                                     " 1\n2"};
    std::mt19937 random(20261206);
    int taken = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (auto count = random() % 6; count > 0; --count) text += pieces[random() % std::size(pieces)];
        for (const std::string& follower : followers) {
            const std::string buffer = text + follower + std::string(24, '\0');
            const std::size_t lineEnd = buffer.find_first_of("\r\n");
            double height = 0;
            if (!ReadPlainHeight(buffer.data(), buffer.data() + lineEnd, height)) continue;
            ++taken;
            const double expected = Val(std::string_view(buffer).substr(0, lineEnd));
            EXPECT_TRUE(expected == height && std::signbit(expected) == std::signbit(height))
                << "'" << text << follower << "': " << height << " instead of " << expected;
        }
    }
    EXPECT_GT(taken, 2000);
}

// The forms exporters print are read word at a time, not left to Val: a number followed by the
// next field's marker, a fraction of zeros, a decimal comma where one is read as a point.
TEST(ReadPlainNumber, TakesTheFormsExportersPrint) {
    struct Row {
        std::string text;
        bool comma;
        bool taken;
    };
    const Row rows[] = {{"-30720.000000     Y:1", false, true},
                        {" 515.534965\t", false, true},
                        {"1,131584", true, true},
                        {"1,131584", false, true},
                        {"12.5E3", false, false},
                        {"12.5 5", false, false}};
    for (const auto& [text, comma, taken] : rows) {
        const std::string buffer = text + std::string(24, '\0');
        const char* const end = buffer.data() + text.size();
        double value = 0;
        const bool read = comma ? ReadPlainNumber<true>(buffer.data(), end, value)
                                : ReadPlainNumber<false>(buffer.data(), end, value);
        EXPECT_EQ(read, taken) << text;
        if (read) {
            EXPECT_EQ(value, Val(text, comma)) << text;
        }
    }
}

}  // namespace
}  // namespace tessiloom
