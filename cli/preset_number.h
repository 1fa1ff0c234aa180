#pragma once

#include <string_view>

namespace tessiloom {

// True when `text` is one decimal number and nothing else: an optional sign, digits with an
// optional "." (".5" and "5." too), and an optional exponent (E, e, D or d, a sign, digits).
// Blanks are not allowed, so a height given on the command line cannot be half read.
bool IsNumberInFull(std::string_view text);

}  // namespace tessiloom
