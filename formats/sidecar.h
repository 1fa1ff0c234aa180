#pragma once

#include <string>
#include <string_view>

#include "conversion/image_format.h"

// The sidecar written beside an image for the engines that keep no scale (hill.json beside
// hill.r16): the image's file name and format, its width and height, `low` and `high` (the heights
// at levels 0 and 65535), the box `x0`, `x1`, `y0`, `y1` (where the pixel centres lie, as the
// POV-Ray include gives them), the height of one level, the row order, and the scales Unreal's
// landscape import asks for, taking the listing's units for metres. Scripts may rely on the keys.
namespace tessiloom {

// The sidecar's JSON text for `image`, written as `imageName` in `format`. The image's placement
// must be known.
std::string SidecarText(std::string_view imageName, const ImageFormat& format, const HeightImage& image);

}  // namespace tessiloom
