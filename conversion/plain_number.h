#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tessiloom {
namespace plain_number_detail {

inline std::uint64_t LoadWord(const char* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// How many of the word's eight characters (the first in the lowest byte) are digits before the
// first that is not. A byte outside '0'..'9' sets its high bit in one of the two terms; carries and
// borrows only ever run towards later characters, so the lowest flagged byte is the first non-digit.
inline unsigned LeadingDigits(std::uint64_t word) {
    const std::uint64_t nonDigits =
        ((word + 0x4646464646464646u) | (word - 0x3030303030303030u)) & 0x8080808080808080u;
    return nonDigits == 0 ? 8 : static_cast<unsigned>(std::countr_zero(nonDigits)) / 8;
}

// The value of eight digits, each a byte from 0 to 9, the first in the lowest byte: combined
// pairwise in three multiplications.
inline std::uint64_t CombinedDigits(std::uint64_t digits) {
    digits = digits * 10 + (digits >> 8);
    return (((digits & 0x000000FF000000FFu) * 0x000F424000000064u) +
            (((digits >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
           32;
}

// How far `count` (1 to 7) digits, the first in the lowest byte, are shifted to the top of a word,
// so that zeros take the leading places.
inline unsigned DigitsShift(unsigned count) {
    return 64 - 8 * count;
}

// The value of the first `count` (0 to 7) digits of the word.
inline std::uint64_t DigitsValue(std::uint64_t word, unsigned count) {
    // Eight places shifted out would leave the word as it is, not zero.
    return count == 0 ? 0 : CombinedDigits((word - 0x3030303030303030u) << DigitsShift(count));
}

// Past the blanks (spaces or tabs) at `p`, which are few: one at a time is quickest.
inline const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

// Powers of ten that are exact doubles: with a mantissa below 2^53 one division rounds correctly.
inline constexpr double kExactPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
inline constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

}  // namespace plain_number_detail

// The usual form of a number at some text: a minus or not, then up to seven digits each before and
// after the point.
struct PlainDigits {
    bool read = false;   // the text starts with that form
    bool point = false;  // and has its point
    double value = 0;    // as Val reads those characters
    const char* end = nullptr;
    // How many digits stand before the point and after it: those after it end at `end`.
    unsigned integerDigits = 0;
    unsigned fractionDigits = 0;
};

// The value of a number with `integerDigits` digits before its point, the first of them in the
// lowest byte of `integerWord`, and `fractionDigits` after it, likewise in `fractionWord`: a minus
// where `negative`. At most fourteen digits: the mantissa is exact, and so is one division by 10^k,
// which a fraction of zeros ("30720.000000", as grids print their X and Y) does without.
[[gnu::always_inline]] inline double PlainValue(std::uint64_t integerWord, unsigned integerDigits,
                                                std::uint64_t fractionWord, unsigned fractionDigits,
                                                bool negative) {
    using namespace plain_number_detail;
    const std::uint64_t integer = DigitsValue(integerWord, integerDigits);
    const std::uint64_t fraction = DigitsValue(fractionWord, fractionDigits);
    const double magnitude = fraction == 0 ? static_cast<double>(static_cast<std::int64_t>(integer))
                                           : static_cast<double>(static_cast<std::int64_t>(
                                                 integer * kPowersOfTen[fractionDigits] + fraction)) /
                                                 kExactPowersOfTen[fractionDigits];
    return negative ? -magnitude : magnitude;
}

// Reads the usual form of a number at `text` ("-123.456789", with kComma "-123,456789" too) eight
// characters at a time; with kToEnd, only when it ends at `end`. Any other text, a blank, a plus or
// an exponent among them, is left to Val. The 24 bytes from `text` on must be readable. Against
// std::from_chars, with Val where the text is more than a plain number, this saves 15% of a whole
// conversion.
template <bool kComma, bool kToEnd = false>
[[gnu::always_inline]] inline PlainDigits ReadPlainDigits(const char* text, const char* end = nullptr) {
    using namespace plain_number_detail;
    PlainDigits read;
    if constexpr (std::endian::native != std::endian::little) return read;
    const char* p = text;
    const bool negative = *p == '-';
    p += negative;
    const std::uint64_t integerWord = LoadWord(p);
    const unsigned integerDigits = LeadingDigits(integerWord);
    p += integerDigits;
    read.point = *p == '.' || (kComma && *p == ',');
    p += read.point;
    // Without a point, the word starts at the character that ended the digits: it holds none.
    const std::uint64_t fractionWord = LoadWord(p);
    const unsigned fractionDigits = LeadingDigits(fractionWord);
    if (integerDigits == 8 || fractionDigits == 8 || integerDigits + fractionDigits == 0 ||
        (kToEnd && p + fractionDigits != end)) {
        return read;
    }
    read.value = PlainValue(integerWord, integerDigits, fractionWord, fractionDigits, negative);
    read.integerDigits = integerDigits;
    read.fractionDigits = fractionDigits;
    read.end = p + fractionDigits;
    read.read = true;
    return read;
}

// A height that fills the whole text from `text` to `end`, as ReadPlainDigits reads it.
[[gnu::always_inline]] inline bool ReadPlainHeight(const char* text, const char* end, double& height) {
    const PlainDigits read = ReadPlainDigits<false, true>(text, end);
    height = read.value;
    return read.read;
}

// Whether Val, having read a number up to `after` (with a point or not), stops there: the next
// character before the line's `end` that is not a blank is no digit, no exponent mark, and no point
// where the number has none.
template <bool kComma>
[[gnu::always_inline]] inline bool StopsAt(const char* after, const char* end, bool point) {
    after = plain_number_detail::SkipBlanks(after);
    if (after >= end) return true;
    const char next = *after;
    const bool continues = (next >= '0' && next <= '9') || next == 'E' || next == 'e' || next == 'D' ||
                           next == 'd' || (!point && (next == '.' || (kComma && next == ',')));
    return !continues;
}

// A number at `text`, after any blanks, that nothing after it up to `end` continues by Val's rule:
// true, with `value` set as Val reads the text up to `end`.
template <bool kComma>
[[gnu::always_inline]] inline bool ReadPlainNumber(const char* text, const char* end, double& value) {
    text = plain_number_detail::SkipBlanks(text);
    const PlainDigits read = ReadPlainDigits<kComma>(text);
    value = read.value;
    return read.read && read.end <= end && StopsAt<kComma>(read.end, end, read.point);
}

// How many digits of a whole number stand at `text`, one to seven, with `value` set to it; 0 when
// there are none, or more.
[[gnu::always_inline]] inline unsigned ReadWholeDigits(const char* text, std::uint32_t& value) {
    using namespace plain_number_detail;
    const std::uint64_t word = LoadWord(text);
    const unsigned digits = LeadingDigits(word);
    value = static_cast<std::uint32_t>(DigitsValue(word, digits));
    return digits < 8 ? digits : 0;
}

// A whole number of one to seven digits at `text`, that nothing after it up to `end` continues by
// Val's rule (with kComma, a comma is a point that would): true, with `value` set.
template <bool kComma>
[[gnu::always_inline]] inline bool ReadPlainWhole(const char* text, const char* end, std::uint32_t& value) {
    const unsigned digits = ReadWholeDigits(text, value);
    return digits > 0 && text + digits <= end && StopsAt<kComma>(text + digits, end, false);
}

}  // namespace tessiloom
