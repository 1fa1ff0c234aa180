#include "mesh/ground_points.h"

#include <utility>

namespace tessiloom {

HeightList GroundPoints::TakeHeights() {
    narrowGround_ = {};
    wideGround_ = {};
    return std::exchange(heights_, {});
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
    // A block at a time, so that the ground takes little more memory while it is widened than once
    // it is: its floats and doubles side by side, a third more than the doubles and heights alone,
    // could fail a listing that fits.
    narrow_ = false;
    return narrowGround_.Drain([&](const NarrowGround& at) { return wideGround_.Append({at.x, at.y}); });
}

}  // namespace tessiloom
