#include "conversion/val.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace tessiloom {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsExponentMark(char c) {
    return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

// Walks `text` while skipping blanks, so the parsers below see one character at a time.
class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}

    // The next character that is not a blank, or '\0' at the end.
    char Peek() {
        while (position_ < text_.size() && IsBlank(text_[position_])) ++position_;
        return position_ < text_.size() ? text_[position_] : '\0';
    }
    void Advance() { ++position_; }
    // How many characters lie before the next one, blanks included.
    std::size_t Position() const { return position_; }

  private:
    std::string_view text_;
    std::size_t position_ = 0;
};

ValRead ReadRadixInteger(Cursor& cursor, int radix) {
    ValRead read;
    for (;;) {
        const char c = cursor.Peek();
        int digit;
        if (IsDigit(c)) {
            digit = c - '0';
        } else if (radix == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (radix == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return read;
        }
        if (digit >= radix) return read;
        read.value = read.value * radix + digit;
        cursor.Advance();
        read.length = cursor.Position();
    }
}

// Beyond this many exponent digits the value is certainly out of range; capping keeps the
// canonical text short whatever the input holds.
constexpr std::size_t kMaxExponentDigits = 6;

// Collects the decimal number under `cursor` into `canonical` (sign, digits, ".", digits, "e",
// sign, digits, with blanks gone and D turned into e) and converts it with correct rounding.
ValRead ReadDecimal(Cursor& cursor, bool commaIsPoint) {
    ValRead read;
    std::string canonical;
    bool negative = false;
    if (const char c = cursor.Peek(); c == '+' || c == '-') {
        negative = c == '-';
        cursor.Advance();
    }
    bool anyDigit = false;
    int leadingExponentShift = 0;  // decimal magnitude of the first significant digit, for range errors
    bool significantSeen = false;
    while (IsDigit(cursor.Peek())) {
        const char c = cursor.Peek();
        if (c != '0' || significantSeen) {
            significantSeen = true;
            canonical += c;
            ++leadingExponentShift;
        }
        anyDigit = true;
        cursor.Advance();
        read.length = cursor.Position();
    }
    if (canonical.empty()) canonical += '0';
    if (const char point = cursor.Peek(); point == '.' || (commaIsPoint && point == ',')) {
        cursor.Advance();
        if (anyDigit) read.length = cursor.Position();  // "5." is a number, "." is not
        canonical += '.';
        while (IsDigit(cursor.Peek())) {
            const char c = cursor.Peek();
            if (!significantSeen) {
                if (c == '0') {
                    --leadingExponentShift;
                } else {
                    significantSeen = true;
                }
            }
            canonical += c;
            anyDigit = true;
            cursor.Advance();
            read.length = cursor.Position();
        }
    }
    if (!anyDigit) return read;

    long exponent = 0;
    if (IsExponentMark(cursor.Peek())) {
        cursor.Advance();
        bool negativeExponent = false;
        if (const char c = cursor.Peek(); c == '+' || c == '-') {
            negativeExponent = c == '-';
            cursor.Advance();
        }
        std::size_t significantDigits = 0;
        while (IsDigit(cursor.Peek())) {
            const int digit = cursor.Peek() - '0';
            if (significantDigits > 0 || digit != 0) ++significantDigits;
            if (significantDigits <= kMaxExponentDigits) exponent = exponent * 10 + digit;
            cursor.Advance();
            read.length = cursor.Position();  // a mark without digits is no part of the number
        }
        if (negativeExponent) exponent = -exponent;
        canonical += 'e';
        canonical += std::to_string(exponent);
    }

    double value = 0.0;
    const auto [end, error] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Only a nonzero mantissa can be out of range; its decimal magnitude tells which way.
        const bool tooLarge = leadingExponentShift + exponent > 0;
        value = tooLarge ? std::numeric_limits<double>::infinity() : 0.0;
    }
    read.value = negative ? -value : value;
    return read;
}

}  // namespace

ValRead ReadVal(std::string_view text, bool commaIsPoint) {
    Cursor cursor(text);
    if (cursor.Peek() == '&') {
        cursor.Advance();
        const char radixMark = cursor.Peek();
        if (radixMark == 'H' || radixMark == 'h') {
            cursor.Advance();
            return ReadRadixInteger(cursor, 16);
        }
        if (radixMark == 'O' || radixMark == 'o') {
            cursor.Advance();
            return ReadRadixInteger(cursor, 8);
        }
        return {};
    }
    return ReadDecimal(cursor, commaIsPoint);
}

}  // namespace tessiloom
