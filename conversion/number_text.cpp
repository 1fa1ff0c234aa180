#include "conversion/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tessiloom {

std::string NumberText(double value) {
    std::array<char, 32> text{};
    // Coordinates far from the origin read as they were written ("500000", not "5e+05"); only the
    // tiny and the huge take an exponent.
    const double magnitude = std::abs(value);
    const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e15);
    const auto result =
        plain ? std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed)
              : std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

std::string FittedNumberText(double value) {
    std::array<char, 32> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 12);
    return NumberText(std::strtod(std::string(text.data(), result.ptr).c_str(), nullptr));
}

}  // namespace tessiloom
