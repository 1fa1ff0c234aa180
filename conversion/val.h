#pragma once

#include <cstddef>
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
struct ValRead {
    double value = 0;
    // How many characters of the text the number took, blanks before and inside it included; 0 when
    // the text holds no number. A text is one number and nothing else when it took them all.
    std::size_t length = 0;
};
// With `commaIsPoint`, a decimal comma is read as a point too ("1,5" is 1.5), as listings written
// where the comma is the decimal separator need; a number still has one point at most.
ValRead ReadVal(std::string_view text, bool commaIsPoint = false);

inline double Val(std::string_view text, bool commaIsPoint = false) {
    return ReadVal(text, commaIsPoint).value;
}

}  // namespace tessiloom
