#include "mesh/ground_points.h"

#include <utility>

namespace tessiloom {

HeightList GroundPoints::TakeHeights() {
    narrowGround_ = {};
    wideGround_ = {};
    return std::move(heights_);
}

bool GroundPoints::AppendFrom(GroundPoints&& other) {
    if (narrow_ != other.narrow_ && !(narrow_ ? Widen() : other.Widen())) return false;
    const std::size_t count = other.Size();
    if (narrow_)
        narrowGround_.AppendFrom(std::move(other.narrowGround_), count);
    else
        wideGround_.AppendFrom(std::move(other.wideGround_), count);
    heights_.AppendFrom(std::move(other.heights_), count);
    allFinite_ = allFinite_ && other.allFinite_;
    return true;
}

bool GroundPoints::Widen() {
    BlockList<WideGround> wide;
    bool held = true;
    narrowGround_.ForEach([&](const NarrowGround& at) { held = held && wide.Append({at.x, at.y}); });
    if (!held) return false;
    wideGround_ = std::move(wide);
    narrowGround_ = {};
    narrow_ = false;
    return true;
}

}  // namespace tessiloom
