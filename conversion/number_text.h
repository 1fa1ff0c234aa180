#pragma once

#include <string>

namespace tessiloom {

// The shortest text that reads back as `value` ("12.5", "500000", "1e+20", "inf"), for messages and
// the POV-Ray include: without an exponent from a ten-thousandth up to 10^15.
std::string NumberText(double value);

// The value to twelve significant digits, where it is only that exact: a step fitted to points that
// stand a little off their nodes is 10, not 9.999999999999993.
std::string FittedNumberText(double value);

}  // namespace tessiloom
