#pragma once

#include "conversion/image_format.h"

// The height field as raw 16-bit levels, low byte first, top row first, with no header: the R16 and
// RAW that game engines (Unity, Unreal, Godot's Terrain3D) import, told the size apart.
namespace tessiloom {

extern const ImageFormat kR16Format;

}  // namespace tessiloom
