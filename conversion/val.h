#pragma once

#include <cstdint>
#include <string_view>

namespace tessiloom {

// Reads a number from the start of `text` by the one rule every number of a conversion follows
// (header counts, heights, preset texts):
// - spaces, tabs and line feeds are skipped wherever they stand, also between digits ("1 2" is 12);
// - then an optional sign, digits, an optional "." and digits (".5" is 0.5), and an optional
//   exponent: E, e, D or d, an optional sign and digits;
// - "&H" or "&O" (either case) followed by hexadecimal or octal digits reads that integer;
// - reading stops at the first character that cannot continue the number ("3.25 Y" is 3.25,
//   "1,5" is 1); "." is the decimal point whatever the locale;
// - a text without a number reads as 0.
// The result is correctly rounded. A magnitude beyond the double range gives an infinity (which
// callers must treat as an error) and one below it gives zero; the result is never NaN.


namespace val_detail {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsExponentMark(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// Powers of ten that are exact doubles: with a mantissa below 2^53 one division rounds correctly.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr std::uint64_t kExactMantissaLimit = std::uint64_t{1} << 53;

// The common shape of a height, "-123.456" followed by something that cannot continue it, read
// without building any text. Returns false, having read nothing, for every other shape.
inline bool TryReadPlainDecimal(std::string_view text, double& value) {
    const char* p = text.data();
    const char* const end = p + text.size();
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t mantissa = 0;  // may wrap past 19 digits: such a text is left to the general reader
    const char* const integerStart = p;
    for (; p != end && IsDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    std::size_t digits = static_cast<std::size_t>(p - integerStart);
    std::size_t fractionDigits = 0;
    if (p != end && *p == '.') {
        const char* const fractionStart = ++p;
        for (; p != end && IsDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        fractionDigits = static_cast<std::size_t>(p - fractionStart);
        digits += fractionDigits;
    }
    // Whatever stops the number must not be a blank (a digit may follow it) or an exponent mark.
    if (digits == 0 || digits > 19 || (p != end && (IsBlank(*p) || IsExponentMark(*p)))) return false;
    if (mantissa >= kExactMantissaLimit || fractionDigits > 22) return false;
    const double magnitude = static_cast<double>(mantissa) / kExactPowersOfTen[fractionDigits];
    value = negative ? -magnitude : magnitude;
    return true;
}

double ValOfAnyForm(std::string_view text);

}  // namespace val_detail

// Inline because it runs once for every vertex: the common form is read on the spot.
inline double Val(std::string_view text) {
    double value;
    if (val_detail::TryReadPlainDecimal(text, value)) return value;
    return val_detail::ValOfAnyForm(text);
}

}  // namespace tessiloom
