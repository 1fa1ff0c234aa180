#pragma once

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "conversion/height_text.h"
#include "conversion/val.h"

// One vertex line read in place, in the block a LineSource holds: the search for its "Z:" and the
// reading of its height run over the bytes once, and the line's end is known from where the height
// stops. The reading of lines one by one is left to the rare line the block does not hold whole.
namespace tessiloom {
namespace vertex_line_detail {

// The first 'Z', CR or LF at or after `p`. One must come before the bytes stop being readable.
inline const char* FindMarkerOrLineEnd(const char* p) {
#if defined(__SSE2__)
    const __m128i marker = _mm_set1_epi8('Z');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (;; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i found = _mm_or_si128(
            _mm_cmpeq_epi8(chunk, marker),
            _mm_or_si128(_mm_cmpeq_epi8(chunk, carriageReturn), _mm_cmpeq_epi8(chunk, lineFeed)));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(found))) return p + __builtin_ctz(mask);
    }
#else
    while (*p != 'Z' && *p != '\r' && *p != '\n') ++p;
    return p;
#endif
}

inline const char* FindLineEnd(const char* p) {
    while (*p != '\r' && *p != '\n') ++p;
    return p;
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
// is the Val of the text after its first "Z:", as a line read on its own gives.
inline VertexLine ReadVertexLine(const char* line, const char* end) {
    using namespace vertex_line_detail;
    VertexLine read;
    const char* marker = FindMarkerOrLineEnd(line);
    while (*marker == 'Z' && marker[1] != ':') marker = FindMarkerOrLineEnd(marker + 1);
    if (*marker != 'Z') {
        if (marker < end) read.kind = VertexLine::kNoMarker;
        return read;
    }
    const char* const text = marker + 2;
    const char* lineEnd;
    if (!ReadPlainHeight(text, read.height, lineEnd)) {
        lineEnd = FindLineEnd(text);
        read.height = Val(std::string_view(text, static_cast<std::size_t>(lineEnd - text)));
    }
    // Only the byte after a CR tells whether it ends the line alone.
    if (lineEnd + 1 >= end) return read;
    read.kind = VertexLine::kHeight;
    read.lineEnd = lineEnd;
    read.next = lineEnd + 1 + (*lineEnd == '\r' && lineEnd[1] == '\n');
    return read;
}

}  // namespace tessiloom
