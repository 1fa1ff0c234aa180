#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "conversion/byte_scan.h"
#include "conversion/height_text.h"
#include "conversion/val.h"

// One vertex line read in place, in the block a LineSource holds. The reading of lines one by one is
// left to the rare line the block does not hold whole.
namespace tessiloom {

// What starts the height in a vertex line.
inline constexpr std::string_view kHeightMarker = "Z:";

namespace vertex_line_detail {

// The first byte of the marker, CR or LF at or after `p`.
[[gnu::always_inline]] inline const char* FindMarkerOrLineEnd(const char* p) {
#if defined(__SSE2__)
    return FindFirst(p, [](__m128i chunk) {
        return _mm_or_si128(Equal(chunk, kHeightMarker[0]),
                            _mm_or_si128(Equal(chunk, '\r'), Equal(chunk, '\n')));
    });
#else
    return FindFirst(p, [](char c) { return c == kHeightMarker[0] || c == '\r' || c == '\n'; });
#endif
}

// Two bytes as one number, the first in the low byte, so that both are compared at once.
constexpr std::uint16_t Pair(char first, char second) {
    const auto low = static_cast<unsigned char>(first);
    const auto high = static_cast<unsigned char>(second);
    return static_cast<std::uint16_t>(low | high << 8);
}
inline std::uint16_t PairAt(const char* p) {
    std::uint16_t pair;
    std::memcpy(&pair, p, sizeof pair);
    if constexpr (std::endian::native == std::endian::big)
        pair = static_cast<std::uint16_t>(pair >> 8 | pair << 8);
    return pair;
}

}  // namespace vertex_line_detail

struct VertexLine {
    enum Kind {
        kHeight,      // the line holds "Z:"; `height` is the Val of the rest of the line
        kNoMarker,    // the line holds no "Z:"
        kIncomplete,  // the line, or the terminator that ends it, does not lie wholly before `end`
    };
    Kind kind = kIncomplete;
    double height = 0;
    const char* lineEnd = nullptr;  // the CR or LF that ends the line, with kHeight
    const char* next = nullptr;     // where the next line starts, with kHeight
};

// Reads the line that starts at `line`, in bytes that end at `end`, where a line feed must stand,
// followed by at least 24 readable bytes. A line ends at CR LF, a lone CR or a lone LF; its height
// is the Val of the text after its first "Z:", as a line read on its own gives. The line's end is
// looked for apart from its height, so that finding the next line waits on no arithmetic: that
// takes a third off the time a line takes.
[[gnu::always_inline]] inline VertexLine ReadVertexLine(const char* line, const char* end) {
    using namespace vertex_line_detail;
    VertexLine read;
    const char* marker = FindMarkerOrLineEnd(line);
    while (PairAt(marker) != Pair(kHeightMarker[0], kHeightMarker[1])) {
        if (*marker != kHeightMarker[0]) {
            if (marker < end) read.kind = VertexLine::kNoMarker;
            return read;
        }
        marker = FindMarkerOrLineEnd(marker + 1);  // its first byte alone is part of the line
    }
    const char* const text = marker + kHeightMarker.size();
    const char* const lineEnd = FindLineEnd(text);
    if (!ReadPlainHeight(text, lineEnd, read.height)) {
        read.height = Val(std::string_view(text, static_cast<std::size_t>(lineEnd - text)));
    }
    // Only the byte after a CR tells whether it ends the line alone.
    if (lineEnd + 1 >= end) return read;
    read.kind = VertexLine::kHeight;
    read.lineEnd = lineEnd;
    read.next = lineEnd + 1 + (PairAt(lineEnd) == Pair('\r', '\n'));
    return read;
}

}  // namespace tessiloom
