#pragma once

#include <string>
#include <string_view>

#include "conversion/image_format.h"

// Every image format a height field can be written in, by the name --format gives it.
namespace tessiloom {

// The format named `name` ("tga", "png", "pgm", "r16", "tiff"); null when there is none.
const ImageFormat* FormatNamed(std::string_view name);

// The names, in the order the help lists them, joined by `separator`.
std::string FormatNames(std::string_view separator);

}  // namespace tessiloom
