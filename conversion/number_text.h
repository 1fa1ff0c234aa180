#pragma once

#include <string>

namespace tessiloom {

// The shortest text that reads back as `value` ("12.5", "3e+09", "inf"), for messages.
std::string NumberText(double value);

}  // namespace tessiloom
