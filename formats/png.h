#pragma once

#include "conversion/image_format.h"

namespace tessiloom {

// The height field as a 16-bit greyscale PNG (colour type 0, bit depth 16, not interlaced), the form
// tools other than POV-Ray read. It carries no gamma or colour-space chunk: its samples are heights,
// not light.
extern const ImageFormat kPngFormat;

}  // namespace tessiloom
