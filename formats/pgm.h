#pragma once

#include "conversion/image_format.h"

// The height field as a binary 16-bit PGM, as Netpbm defines it: "P5", the width and height, the
// largest value 65535, each on a line of its own, then the levels, two bytes each, high byte first,
// top row first. POV-Ray reads it as a height field exactly as it reads the Targa.
namespace tessiloom {

extern const ImageFormat kPgmFormat;

}  // namespace tessiloom
