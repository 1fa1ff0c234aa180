#pragma once

#include <cstddef>

#include "conversion/image_format.h"

// The height-field Targa: an uncompressed 24-bit true-colour image (type 2) that POV-Ray reads as
// a 16-bit height field. An 18-byte header (width and height of the grid, pixel depth 24,
// descriptor 0x20: top row first) is followed by its pixels, three bytes each: 0, the low byte
// and the high byte of the level. Nothing follows the pixels.
namespace tessiloom {

inline constexpr std::size_t kTargaHeaderBytes = 18;
inline constexpr std::size_t kTargaPixelBytes = 3;

extern const ImageFormat kTargaFormat;

}  // namespace tessiloom
