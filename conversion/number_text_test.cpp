#include "conversion/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace tessiloom {
namespace {

TEST(NumberText, ReadsBackAsTheNumberWithAnExponentOnlyForTheTinyAndTheHuge) {
    const std::pair<double, std::string> cases[] = {
        {500000, "500000"},
        {-100000, "-100000"},
        {4200000.5, "4200000.5"},
        {12.5, "12.5"},
        {0.1, "0.1"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {1e15, "1e+15"},
        {999999999999999, "999999999999999"},
        {0, "0"},
        {-0.0, "-0"},
        {1.0 / 3, "0.3333333333333333"},
        {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(NumberText(value), text);
        if (std::isfinite(value)) {
            EXPECT_EQ(std::stod(text), value) << text;
        }
    }
}

TEST(FittedNumberText, KeepsTwelveSignificantDigits) {
    EXPECT_EQ(FittedNumberText(9.999999999999993), "10");
    EXPECT_EQ(FittedNumberText(0.09999999999999999), "0.1");
    EXPECT_EQ(FittedNumberText(500000.25), "500000.25");
}

}  // namespace
}  // namespace tessiloom
