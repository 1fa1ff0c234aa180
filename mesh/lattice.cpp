#include "mesh/lattice.h"

#include <cmath>
#include <limits>

#include "conversion/height_field.h"

namespace tessiloom {
namespace {

// How far a point may stand from its node, in steps: farther, and the points are no lattice.
constexpr double kNodeTolerance = 0.01;
// Offsets below this share of the extent are rounding, not a step.
constexpr double kRounding = 1e-9;

struct Axis {
    std::int32_t count = 0;
    double step = 0;
};

// The nodes along one axis, from `low` to `high`, that the coordinates `along` gives stand on.
template <typename Along>
std::optional<Axis> FindAxis(const Mesh& mesh, double low, double high, Along along) {
    const double extent = high - low;
    if (!(extent > 0)) return std::nullopt;
    double smallest = extent;
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const double offset = along(point) - low;
        if (offset > kRounding * extent && offset < smallest) smallest = offset;
    });
    const double steps = std::round(extent / smallest);
    if (steps + 1 > kLargestImageSide) return std::nullopt;
    const Axis axis{static_cast<std::int32_t>(steps) + 1, extent / steps};
    bool onNodes = true;
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const double offset = (along(point) - low) / axis.step;
        onNodes = onNodes && std::abs(offset - std::round(offset)) <= kNodeTolerance;
    });
    return onNodes ? std::optional<Axis>(axis) : std::nullopt;
}

}  // namespace

std::optional<Lattice> FindLattice(const Mesh& mesh, const GroundBox& box, bool& outOfMemory) {
    outOfMemory = false;
    const auto x = FindAxis(mesh, box.x0, box.x1, [](const GroundPoint& point) { return point.x; });
    const auto y =
        x ? FindAxis(mesh, box.y0, box.y1, [](const GroundPoint& point) { return point.y; }) : std::nullopt;
    if (!y) return std::nullopt;
    const auto nodes = static_cast<std::uint64_t>(x->count) * static_cast<std::uint64_t>(y->count);
    if (nodes > mesh.usedCount) return std::nullopt;  // some node is empty
    LargeArray<double> heights = MakeLargeArray<double>(nodes);
    if (!heights) {
        outOfMemory = true;
        return std::nullopt;
    }
    std::fill(heights.get(), heights.get() + nodes, std::numeric_limits<double>::quiet_NaN());
    std::uint64_t held = 0;
    bool agree = true;
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const auto column = static_cast<std::uint64_t>(std::lround((point.x - box.x0) / x->step));
        const auto row = static_cast<std::uint64_t>(std::lround((point.y - box.y0) / y->step));
        double& node = heights[row * static_cast<std::uint64_t>(x->count) + column];
        if (std::isnan(node)) {
            node = point.height;
            ++held;
        } else {
            agree = agree && node == point.height;
        }
    });
    if (!agree || held != nodes) return std::nullopt;
    return Lattice{{x->count, y->count}, x->step, y->step, HeightList::Adopt(std::move(heights), nodes)};
}

}  // namespace tessiloom
