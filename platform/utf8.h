#pragma once

#include <cstddef>
#include <string_view>

namespace tessiloom {

// Where the UTF-8 character that holds the byte at `at` begins: a name cut there keeps whole
// characters. A byte that no lead byte before it reaches (a stray continuation byte, as names in
// another encoding hold) counts as a character of its own, so a cut never swallows a separator.
inline std::size_t Utf8CharacterStart(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto continues = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    constexpr std::size_t kLongestContinuation = 3;  // bytes after the lead byte
    std::size_t start = at;
    while (start > 0 && at - start < kLongestContinuation && continues(start)) --start;
    const unsigned char lead = byte(start);
    const std::size_t length = lead >= 0xF8 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return continues(start) || start + length <= at ? at : start;
}

}  // namespace tessiloom
