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

// The nodes along one axis from `low`, given the extent and the smallest offset from `low` of a
// point off the first node: nothing when there are too many for an image.
std::optional<Axis> AxisOf(double extent, double smallest) {
    if (!(extent > 0)) return std::nullopt;
    const double steps = std::round(extent / smallest);
    if (steps + 1 > kLargestImageSide) return std::nullopt;
    return Axis{static_cast<std::int32_t>(steps) + 1, extent / steps};
}

// The node a point's offset from the first lies at, in steps; -1 when it lies off any node.
std::int64_t NodeOf(double offset, double step) {
    const double steps = offset / step;
    const auto node = static_cast<std::int64_t>(steps + 0.5);  // the offsets are not negative
    return std::abs(steps - static_cast<double>(node)) <= kNodeTolerance ? node : -1;
}

}  // namespace

std::optional<Lattice> FindLattice(const Mesh& mesh, bool& outOfMemory) {
    const GroundBox& box = mesh.box;
    outOfMemory = false;
    const double width = box.x1 - box.x0;
    const double depth = box.y1 - box.y0;
    double smallestX = width;
    double smallestY = depth;
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const double x = point.x - box.x0;
        const double y = point.y - box.y0;
        if (x > kRounding * width && x < smallestX) smallestX = x;
        if (y > kRounding * depth && y < smallestY) smallestY = y;
    });
    const std::optional<Axis> columns = AxisOf(width, smallestX);
    const std::optional<Axis> rows = AxisOf(depth, smallestY);
    if (!columns || !rows) return std::nullopt;
    const auto nodes = static_cast<std::uint64_t>(columns->count) * static_cast<std::uint64_t>(rows->count);
    if (nodes > mesh.usedCount) return std::nullopt;  // some node is empty
    LargeArray<double> heights = MakeLargeArray<double>(nodes);
    if (!heights) {
        outOfMemory = true;
        return std::nullopt;
    }
    std::fill(heights.get(), heights.get() + nodes, std::numeric_limits<double>::quiet_NaN());
    std::uint64_t held = 0;
    bool lattice = true;
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const std::int64_t column = NodeOf(point.x - box.x0, columns->step);
        const std::int64_t row = NodeOf(point.y - box.y0, rows->step);
        if (column < 0 || row < 0 || !lattice) {
            lattice = false;
            return;
        }
        double& node = heights[static_cast<std::uint64_t>(row * columns->count + column)];
        if (std::isnan(node)) {
            node = point.height;
            ++held;
        } else if (node != point.height) {
            lattice = false;
        }
    });
    if (!lattice || held != nodes) return std::nullopt;
    return Lattice{{columns->count, rows->count},
                   columns->step,
                   rows->step,
                   HeightList::Adopt(std::move(heights), nodes)};
}

}  // namespace tessiloom
