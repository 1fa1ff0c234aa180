#include "mesh/line_layout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <iterator>

#include "conversion/plain_number.h"

namespace tessiloom {

bool LineShape::FitsBytes(const char* p) {
#if defined(__SSE2__)
    // Each byte less its shape's must be at most its bound: 0 where the bytes must be the same, 9
    // where a digit stands, 255 past the line's end. A line shorter than 64 bytes is checked in four
    // sixteens, a longer one in five: neither reads past the 63 bytes its source holds readable
    // after its end.
    const auto fitting = [&](std::size_t at) {
        const auto held = [&](const char* bytes) {
            return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes + at));
        };
        const __m128i over =
            _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)), held(shape_));
        return _mm_cmpeq_epi8(_mm_min_epu8(over, held(bound_)), over);
    };
    __m128i fits =
        _mm_and_si128(_mm_and_si128(fitting(0), fitting(16)), _mm_and_si128(fitting(32), fitting(48)));
    if (length_ >= 64) fits = _mm_and_si128(fits, fitting(64));
    if (_mm_movemask_epi8(fits) != 0xFFFF) return false;
    used_ = true;
    return true;
#else
    (void)p;
    return false;
#endif
}

bool LineShape::Take(const char* p, const char* end) {
    used_ = false;
    offered_ = 0;
    length_ = static_cast<std::size_t>(end - p);
    if (length_ > kLongest) {
        length_ = kNone;
        return false;
    }
    for (std::size_t at = 0; at < kBytes; ++at) {
        // Not the byte that ends the line: a CR or an LF, no reading tells them apart.
        const bool held = at < length_;
        const bool digit = held && p[at] >= '0' && p[at] <= '9';
        shape_[at] = digit ? '0' : held ? p[at] : '\0';
        bound_[at] = static_cast<char>(digit ? 9 : held ? 0 : 255);
    }
    return true;
}

bool FaceLayout::Read(const char* p, const char* end, MeshFace& face) {
    if (!shape_.Fits(p, end)) return false;
    using namespace plain_number_detail;
    const auto corner = [&](int k) {
        return static_cast<std::uint32_t>(
            CombinedDigits((LoadWord(p + at_[k]) - 0x3030303030303030u) << shift_[k]));
    };
    face = {corner(0), corner(1), corner(2)};
    return true;
}

void FaceLayout::Take(const char* p, const char* end, const char* const (&corners)[3],
                      const unsigned (&digits)[3]) {
    if (!shape_.Take(p, end)) return;
    for (int k = 0; k < 3; ++k) {
        at_[k] = static_cast<unsigned>(corners[k] - p);
        shift_[k] = plain_number_detail::DigitsShift(digits[k]);
    }
}

bool VertexLayout::Read(const char* p, const char* end, double (&values)[3]) {
    if (!shape_.Fits(p, end)) return false;
    using plain_number_detail::LoadWord;
    for (int k = 0; k < 3; ++k) {
        const PlainNumberPlace& number = numbers_[k];
        values[k] = PlainValue(LoadWord(p + number.integer), number.integerDigits,
                               LoadWord(p + number.fraction), number.fractionDigits, number.negative);
    }
    return true;
}

void VertexLayout::Take(const char* p, const char* end, const PlainNumberPlace (&numbers)[3]) {
    if (shape_.Take(p, end)) std::copy(std::begin(numbers), std::end(numbers), numbers_);
}

}  // namespace tessiloom
