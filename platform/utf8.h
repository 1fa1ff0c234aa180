#pragma once

#include <cstddef>
#include <string_view>

namespace tessiloom {

// Where the UTF-8 character that holds the byte at `at` begins: a name cut there keeps whole
// characters, whatever the bytes that continue one.
inline std::size_t Utf8CharacterStart(std::string_view text, std::size_t at) {
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

}  // namespace tessiloom
