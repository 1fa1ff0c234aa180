#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Searches for the first of a few bytes, sixteen at a time where the processor offers it: against a
// byte at a time, that saves 42% of a whole conversion of the 2049 x 2049 listing and 36% of the
// 708 x 708 one (medians of alternating runs). The bytes searched must hold one of those looked for
// before they stop being readable, as a LineSource's block, ended by a line feed, does.
namespace tessiloom {

// The first byte at or after `p` that `wanted` flags: given sixteen bytes, it flags those it wants
// in a mask; given one, it says whether it wants it.
template <typename Wanted>
[[gnu::always_inline]] inline const char* FindFirst(const char* p, Wanted wanted) {
#if defined(__SSE2__)
    for (;; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(wanted(chunk)))) {
            return p + __builtin_ctz(mask);
        }
    }
#else
    while (!wanted(*p)) ++p;
    return p;
#endif
}

#if defined(__SSE2__)
inline __m128i Equal(__m128i chunk, char byte) {
    return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(byte));
}
#endif

// The first CR or LF at or after `p`.
[[gnu::always_inline]] inline const char* FindLineEnd(const char* p) {
#if defined(__SSE2__)
    return FindFirst(p, [](__m128i chunk) { return _mm_or_si128(Equal(chunk, '\r'), Equal(chunk, '\n')); });
#else
    return FindFirst(p, [](char c) { return c == '\r' || c == '\n'; });
#endif
}

}  // namespace tessiloom
