#include "conversion/number_text.h"

#include <array>
#include <charconv>

namespace tessiloom {

std::string NumberText(double value) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), result.ptr);
}

}  // namespace tessiloom
