#pragma once

#include <string>

namespace tessiloom {

// The shortest text that reads back as `value` ("12.5", "500000", "1e+20", "inf"), for messages and
// the POV-Ray include: without an exponent from a ten-thousandth up to 10^15.
std::string NumberText(double value);

}  // namespace tessiloom
