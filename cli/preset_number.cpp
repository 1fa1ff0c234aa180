#include "cli/preset_number.h"

namespace tessiloom {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Advances `i` over digits and returns how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& i) {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i - start;
}

bool IsSign(std::string_view text, std::size_t i) { return i < text.size() && (text[i] == '+' || text[i] == '-'); }

}  // namespace

bool IsNumberInFull(std::string_view text) {
    std::size_t i = 0;
    if (IsSign(text, i)) ++i;
    std::size_t digits = SkipDigits(text, i);
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits += SkipDigits(text, i);
    }
    if (digits == 0) return false;
    if (i < text.size()) {
        const char mark = text[i];
        if (mark != 'E' && mark != 'e' && mark != 'D' && mark != 'd') return false;
        ++i;
        if (IsSign(text, i)) ++i;
        if (SkipDigits(text, i) == 0) return false;
    }
    return i == text.size();
}

}  // namespace tessiloom
