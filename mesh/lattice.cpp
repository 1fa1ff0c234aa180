#include "mesh/lattice.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessiloom {
namespace {

// How far a point may stand from its node, in steps: farther, and the points are no lattice.
constexpr double kNodeTolerance = 0.01;
// Offsets below this share of the extent are rounding, not a step.
constexpr double kRounding = 1e-9;
// How far off a step taken from two points may be, as a share of it: each point may stand the
// tolerance off its node.
constexpr double kStepError = 2 * kNodeTolerance;

struct Axis {
    std::int32_t count = 0;
    double step = 0;
};

// The nodes along one axis from `low`, given the extent and the smallest offset from `low` of a
// point off the first node: nothing when there would be more than `most`.
std::optional<Axis> AxisOf(double extent, double smallest, std::uint64_t most) {
    if (!(extent > 0)) return std::nullopt;
    const double steps = std::round(extent / smallest);
    if (!(steps + 1 <= static_cast<double>(most))) return std::nullopt;
    return Axis{static_cast<std::int32_t>(steps) + 1, extent / steps};
}

// Heights for `nodes` nodes, the first `count` of them the heights of the mesh's first points and
// the rest not held yet (NaN); null when there is no memory for them.
LargeArray<double> HeightsBefore(const Mesh& mesh, std::uint64_t count, std::uint64_t nodes) {
    LargeArray<double> heights = MakeLargeArray<double>(nodes);
    if (!heights) return heights;
    std::fill(heights.get(), heights.get() + nodes, std::numeric_limits<double>::quiet_NaN());
    for (std::uint64_t node = 0; node < count;) {
        const std::span<const double> run = mesh.points.Heights().RunFrom(node);
        const std::size_t taken = std::min<std::uint64_t>(run.size(), count - node);
        std::copy_n(run.begin(), taken, heights.get() + node);
        node += taken;
    }
    return heights;
}

// The node a point's offset from the first lies at, in steps; -1 when it lies off any node.
std::int64_t NodeOf(double offset, double step) {
    const double steps = offset / step;
    const auto node = static_cast<std::int64_t>(steps + 0.5);  // the offsets are not negative
    return std::abs(steps - static_cast<double>(node)) <= kNodeTolerance ? node : -1;
}

// Puts each used point's height at its node, of the lattice's `nodes`, in heights of the lattice's
// own: false where a point lies off its node, or a node is held at two heights or not at all. Points
// listed in order are passed over until the first that is not, where the heights are taken, so that a
// mesh that turns out no lattice before then costs no memory for them. (A lattice listed in order
// throughout is found by InOrder, before this.)
bool Place(const Mesh& mesh, Axis columns, Axis rows, std::uint64_t nodes, Lattice& lattice,
           bool& outOfMemory) {
    const GroundBox& box = mesh.box;
    bool inOrder = mesh.usedCount == mesh.points.Size();
    LargeArray<double> heights;
    std::uint64_t held = 0;
    bool placed = true;
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const std::int64_t column = NodeOf(point.x - box.x0, columns.step);
        const std::int64_t row = NodeOf(point.y - box.y0, rows.step);
        if (column < 0 || row < 0 || !placed) {
            placed = false;
            return;
        }
        const auto node = static_cast<std::uint64_t>(row * columns.count + column);
        if (inOrder && node == held) {
            ++held;
            return;
        }
        if (!heights && !(heights = HeightsBefore(mesh, held, nodes))) {
            outOfMemory = true;
            placed = false;
            return;
        }
        inOrder = false;
        if (std::isnan(heights[node])) {
            heights[node] = point.height;
            ++held;
        } else if (heights[node] != point.height) {
            placed = false;
        }
    });
    if (!placed || held != nodes || !heights) return false;
    lattice.heights = HeightList::Adopt(std::move(heights), nodes);
    return true;
}

// Whether every point is used and stands at the node of its place, as grids are listed: then the
// lattice's heights are the points' own, as they stand. Looked at on two threads.
bool InOrder(const Mesh& mesh, Axis columns, Axis rows, std::uint64_t nodes) {
    if (mesh.usedCount != mesh.points.Size() || nodes != mesh.usedCount) return false;
    const GroundBox& box = mesh.box;
    return TallyUsed(
        mesh, true,
        [&](bool& inOrder, std::size_t index, const GroundPoint& point) {
            if (!inOrder) return;
            const std::int64_t column = NodeOf(point.x - box.x0, columns.step);
            const std::int64_t row = NodeOf(point.y - box.y0, rows.step);
            inOrder =
                column >= 0 && row >= 0 && static_cast<std::uint64_t>(row * columns.count + column) == index;
        },
        [](bool& inOrder, bool part) { inOrder = inOrder && part; });
}

// Offsets from the box's lowest corner, along X and along Y.
struct Offsets {
    double x = 0;
    double y = 0;
};

// Along each axis, the offset of a used point that `Keeps(offset, kept, limit)` prefers to every
// other, `limit` being that axis's; `start` where none is kept.
template <typename Keeps>
Offsets KeptOffsets(const Mesh& mesh, Offsets start, Offsets limits, Keeps keeps) {
    const GroundBox& box = mesh.box;
    const auto keep = [&](Offsets& tally, Offsets offsets) {
        if (keeps(offsets.x, tally.x, limits.x)) tally.x = offsets.x;
        if (keeps(offsets.y, tally.y, limits.y)) tally.y = offsets.y;
    };
    return TallyUsed(
        mesh, start,
        [&](Offsets& tally, std::size_t, const GroundPoint& point) {
            keep(tally, {point.x - box.x0, point.y - box.y0});
        },
        keep);
}

// Along each axis, the smallest offset of a used point above `floor`; the extent where none is.
Offsets SmallestOffsets(const Mesh& mesh, Offsets extent, Offsets floor) {
    return KeptOffsets(mesh, extent, floor, [](double offset, double kept, double above) {
        return offset > above && offset < kept;
    });
}

// Along each axis, the largest offset of a used point up to `bound`.
Offsets LargestOffsetsWithin(const Mesh& mesh, Offsets bound) {
    return KeptOffsets(mesh, Offsets{}, bound, [](double offset, double kept, double within) {
        return offset <= within && offset > kept;
    });
}

// One axis's step, taken again from offsets ever farther out, each as far as the last tells its
// number of steps for sure.
struct NearingStep {
    double extent;
    double step;       // off by at most kStepError / steps of itself
    double steps = 1;  // how many steps the offset it was taken from spans

    // How many steps out an offset is counted for sure: the step's error over them, and the tolerance
    // of the point at each end, stay under half a step.
    double Reach() const { return std::floor((0.5 - kStepError) * steps / kStepError); }
    // Whether the reach spans the extent: the step then counts the axis's nodes for sure.
    bool Across() const { return Reach() * step >= extent; }
    // Takes the step again from `offset`, the farthest within reach; false where that spans too few
    // more steps to be worth another look, as it does on no lattice.
    bool Take(double offset) {
        const double count = std::round(offset / step);
        if (count < 2 * steps) return false;
        step = offset / count;
        steps = count;
        return true;
    }
};

// The steps along both axes, from their first estimates `steps`, as nearly as the points tell them.
Offsets NearerSteps(const Mesh& mesh, Offsets extent, Offsets steps) {
    NearingStep x{extent.x, steps.x}, y{extent.y, steps.y};
    while (!x.Across() || !y.Across()) {
        const Offsets farthest =
            LargestOffsetsWithin(mesh, {x.step * (x.Reach() + 0.5), y.step * (y.Reach() + 0.5)});
        const bool nearerX = !x.Across() && x.Take(farthest.x);
        const bool nearerY = !y.Across() && y.Take(farthest.y);
        if (!nearerX && !nearerY) break;
    }
    return {x.step, y.step};
}

// The lattice of these columns and rows, where the used points stand on it.
std::optional<Lattice> LatticeOn(const Mesh& mesh, Axis columns, Axis rows, bool& outOfMemory) {
    const auto nodes = static_cast<std::uint64_t>(columns.count) * static_cast<std::uint64_t>(rows.count);
    if (nodes > mesh.usedCount) return std::nullopt;  // some node is empty
    Lattice lattice{{columns.count, rows.count}, columns.step, rows.step, {}, false};
    if (InOrder(mesh, columns, rows, nodes)) {
        lattice.pointsInOrder = true;
        return lattice;
    }
    if (!Place(mesh, columns, rows, nodes, lattice, outOfMemory)) return std::nullopt;
    return lattice;
}

// Along each axis, whether its step may be the lattice's: every used point stands on a node, and
// each of the first 64 nodes holds one. A step that divides the lattice's (a point nudged by a
// two-hundredth of a step gives one) has every point on a node too, but few on the nodes between.
struct AxesFit {
    bool x = true;
    bool y = true;
};
AxesFit FitAxes(const Mesh& mesh, const std::optional<Axis>& columns, const std::optional<Axis>& rows) {
    struct Tally {
        bool onNodes[2];
        std::uint64_t held[2];  // the first 64 nodes that hold a point, a bit each
    };
    if (!columns && !rows) return {false, false};
    const std::optional<Axis>* const axes[2] = {&columns, &rows};
    const GroundBox& box = mesh.box;
    const double lowest[2] = {box.x0, box.y0};
    const Tally tally = TallyUsed(
        mesh, Tally{{columns.has_value(), rows.has_value()}, {0, 0}},
        [&](Tally& part, std::size_t, const GroundPoint& point) {
            const double at[2] = {point.x, point.y};
            for (int axis = 0; axis < 2; ++axis) {
                if (!part.onNodes[axis]) continue;
                const std::int64_t node = NodeOf(at[axis] - lowest[axis], (*axes[axis])->step);
                part.onNodes[axis] = node >= 0;
                if (node >= 0 && node < 64) part.held[axis] |= std::uint64_t{1} << node;
            }
        },
        [](Tally& whole, const Tally& part) {
            for (int axis = 0; axis < 2; ++axis) {
                whole.onNodes[axis] = whole.onNodes[axis] && part.onNodes[axis];
                whole.held[axis] |= part.held[axis];
            }
        });
    const auto fits = [&](int axis) {
        if (!tally.onNodes[axis]) return false;
        const std::int32_t nodes = (*axes[axis])->count;
        return tally.held[axis] == (nodes >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << nodes) - 1);
    };
    return {fits(0), fits(1)};
}

// One look for the lattice, its steps taken from the smallest offsets above `floor`: the lattice,
// or along which axes the points stand on no nodes of the steps taken, and those offsets.
struct Look {
    std::optional<Lattice> lattice;
    AxesFit fit;
    Offsets smallest;
};
Look LookAbove(const Mesh& mesh, Offsets extent, Offsets floor, bool& outOfMemory) {
    Look look;
    look.smallest = SmallestOffsets(mesh, extent, floor);
    // Each axis has no more nodes than there are points, nor than its count can hold.
    const std::uint64_t most =
        std::min<std::uint64_t>(mesh.usedCount, std::numeric_limits<std::int32_t>::max());
    const std::optional<Axis> columns = AxisOf(extent.x, look.smallest.x, most);
    const std::optional<Axis> rows = AxisOf(extent.y, look.smallest.y, most);
    if (columns && rows) look.lattice = LatticeOn(mesh, *columns, *rows, outOfMemory);
    if (look.lattice || outOfMemory) return look;
    // The smallest offset is a step only as nearly as the points stand on their nodes, which over
    // thousands of steps can miscount the nodes (coordinates rounded to floats far from the origin,
    // say). So it is taken again from offsets ever farther out, each as far as the last step tells
    // its number of steps for sure. An axis with too many nodes has no step to take again.
    const Offsets nearer =
        NearerSteps(mesh, extent, {columns ? look.smallest.x : extent.x, rows ? look.smallest.y : extent.y});
    const std::optional<Axis> nearerColumns = columns ? AxisOf(extent.x, nearer.x, most) : std::nullopt;
    const std::optional<Axis> nearerRows = rows ? AxisOf(extent.y, nearer.y, most) : std::nullopt;
    const bool same = nearer.x == look.smallest.x && nearer.y == look.smallest.y;
    if (nearerColumns && nearerRows && !same)
        look.lattice = LatticeOn(mesh, *nearerColumns, *nearerRows, outOfMemory);
    if (!look.lattice && !outOfMemory) look.fit = FitAxes(mesh, nearerColumns, nearerRows);
    return look;
}

}  // namespace

std::optional<Lattice> FindLattice(const Mesh& mesh, bool& outOfMemory) {
    outOfMemory = false;
    const Offsets extent{mesh.box.x1 - mesh.box.x0, mesh.box.y1 - mesh.box.y0};
    if (!(extent.x > 0 && extent.y > 0)) return std::nullopt;
    // Offsets up to the floor are taken for points of one node, not a step: rounding at first. The
    // points a node holds may stand as far apart as the tolerance lets them, which the smallest
    // offset may be: along an axis whose points then stand on no nodes, the floor is raised to
    // kNodeSpread times that offset. A step is more than that (no two points a node holds stand
    // farther apart than kStepError of a step), and no point of the next node lies below it.
    constexpr double kNodeSpread = 0.8 / kStepError;
    // Each raise multiplies the floor by kNodeSpread or more: six take it past the extent.
    constexpr int kLooks = 6;
    Offsets floor{kRounding * extent.x, kRounding * extent.y};
    for (int lookCount = 0; lookCount < kLooks; ++lookCount) {
        Look look = LookAbove(mesh, extent, floor, outOfMemory);
        if (look.lattice || outOfMemory || (look.fit.x && look.fit.y)) return std::move(look.lattice);
        if (!look.fit.x) floor.x = kNodeSpread * look.smallest.x;
        if (!look.fit.y) floor.y = kNodeSpread * look.smallest.y;
        if (floor.x >= extent.x || floor.y >= extent.y) break;
    }
    return std::nullopt;
}

HeightList TakeHeights(Lattice& lattice, Mesh& mesh) {
    return lattice.pointsInOrder ? mesh.points.TakeHeights() : std::move(lattice.heights);
}

}  // namespace tessiloom
