#include "mesh/face_layout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "conversion/plain_number.h"

namespace tessiloom {

bool FaceLayout::ReadSame(const char* p, MeshFace& face) {
#if defined(__SSE2__)
    // Each byte less its shape's must be at most its bound: 0 where the bytes must be the same, 9
    // where a digit stands, 255 past the line's end.
    __m128i fits = _mm_set1_epi8(-1);
    for (std::size_t at = 0; at < kBytes; at += 16) {
        const auto held = [&](const char* bytes) {
            return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes + at));
        };
        const __m128i over =
            _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)), held(shape_));
        fits = _mm_and_si128(fits, _mm_cmpeq_epi8(_mm_min_epu8(over, held(bound_)), over));
    }
    if (_mm_movemask_epi8(fits) != 0xFFFF) return false;
    using namespace plain_number_detail;
    constexpr std::uint64_t kZeros = 0x3030303030303030u;
    face.a = static_cast<std::uint32_t>(CombinedDigits((LoadWord(p + at_[0]) - kZeros) << shift_[0]));
    face.b = static_cast<std::uint32_t>(CombinedDigits((LoadWord(p + at_[1]) - kZeros) << shift_[1]));
    face.c = static_cast<std::uint32_t>(CombinedDigits((LoadWord(p + at_[2]) - kZeros) << shift_[2]));
    used_ = true;
    return true;
#else
    (void)p;
    (void)face;
    return false;
#endif
}

void FaceLayout::Take(const char* p, const char* end, const char* const (&corners)[3],
                      const unsigned (&digits)[3]) {
    used_ = false;
    offered_ = 0;
    length_ = static_cast<std::size_t>(end - p);
    if (length_ > kLongest) {
        length_ = kNone;
        return;
    }
    for (std::size_t at = 0; at < kBytes; ++at) {
        const bool held = at <= length_;  // the byte that ends the line too
        const bool digit = held && p[at] >= '0' && p[at] <= '9';
        shape_[at] = digit ? '0' : held ? p[at] : '\0';
        bound_[at] = static_cast<char>(digit ? 9 : held ? 0 : 255);
    }
    for (int corner = 0; corner < 3; ++corner) {
        at_[corner] = static_cast<unsigned>(corners[corner] - p);
        shift_[corner] = plain_number_detail::DigitsShift(digits[corner]);
    }
}

}  // namespace tessiloom
