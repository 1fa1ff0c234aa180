#include "formats/sidecar.h"

#include <nlohmann/json.hpp>

namespace tessiloom {
namespace {

constexpr double kLargestLevel = 65535.0;
// Unreal spans 512 m of height at a Z scale of 100, and counts its scales in centimetres.
constexpr double kUnrealHeightAtFullScale = 512.0;
constexpr double kCentimetres = 100.0;

}  // namespace

std::string SidecarText(std::string_view imageName, const ImageFormat& format, const HeightImage& image) {
    const ImagePlacement& at = *image.placement;
    const double span = image.high - image.low;
    nlohmann::ordered_json sidecar = {
        {"image", imageName},
        {"format", format.name},
        {"width", image.grid.columns},
        {"height", image.grid.rows},
        {"low", image.low},
        {"high", image.high},
        {"x0", at.x0},
        {"x1", at.x1},
        {"y0", at.y0},
        {"y1", at.y1},
        {"levelHeight", span / kLargestLevel},
        {"rowOrder", "top row first (y1 to y0), each row from x0 to x1"},
    };
    if (!format.writesHeights) {
        sidecar["unreal"] = {
            {"xScale", (at.x1 - at.x0) / (image.grid.columns - 1) * kCentimetres},
            {"yScale", (at.y1 - at.y0) / (image.grid.rows - 1) * kCentimetres},
            {"zScale", span / kUnrealHeightAtFullScale * kCentimetres},
        };
    }
    return sidecar.dump(2) + "\n";
}

}  // namespace tessiloom
