#include "mesh/lattice.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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
    double origin = 0;  // where the first node stands
};

// The nodes along one axis from `low`, given the extent and the smallest offset from `low` of a
// point off the first node: nothing when there would be more than `most`.
std::optional<Axis> AxisOf(double low, double extent, double smallest, std::uint64_t most) {
    if (!(extent > 0)) return std::nullopt;
    const double steps = std::round(extent / smallest);
    if (!(steps + 1 <= static_cast<double>(most))) return std::nullopt;
    return Axis{static_cast<std::int32_t>(steps) + 1, extent / steps, low};
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

// The node of the axis a point at `at` along it stands on; -1 when it stands on none.
std::int64_t NodeOf(double at, const Axis& axis) {
    const double steps = (at - axis.origin) / axis.step;
    // No more than the tolerance below the first node: adding a half, truncation rounds.
    const auto node = static_cast<std::int64_t>(steps + 0.5);
    return std::abs(steps - static_cast<double>(node)) <= kNodeTolerance ? node : -1;
}

// Puts each used point's height at its node, of the lattice's `nodes`, in heights of the lattice's
// own: false where a point lies off its node, or a node is held at two heights or not at all. Points
// listed in order are passed over until the first that is not, where the heights are taken, so that a
// mesh that turns out no lattice before then costs no memory for them. (A lattice listed in order
// throughout is found by InOrder, before this.)
bool Place(const Mesh& mesh, Axis columns, Axis rows, std::uint64_t nodes, Lattice& lattice,
           bool& outOfMemory) {
    bool inOrder = mesh.usedCount == mesh.points.Size();
    LargeArray<double> heights;
    std::uint64_t held = 0;
    bool placed = true;
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const std::int64_t column = NodeOf(point.x, columns);
        const std::int64_t row = NodeOf(point.y, rows);
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
    return TallyUsed(
        mesh, true,
        [&](bool& inOrder, std::size_t index, const GroundPoint& point) {
            if (!inOrder) return;
            const std::int64_t column = NodeOf(point.x, columns);
            const std::int64_t row = NodeOf(point.y, rows);
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
    const Tally tally = TallyUsed(
        mesh, Tally{{columns.has_value(), rows.has_value()}, {0, 0}},
        [&](Tally& part, std::size_t, const GroundPoint& point) {
            const double at[2] = {point.x, point.y};
            for (int axis = 0; axis < 2; ++axis) {
                if (!part.onNodes[axis]) continue;
                const std::int64_t node = NodeOf(at[axis], **axes[axis]);
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

// The step and first node that stand the points of one axis (0: X, 1: Y) nearest their nodes, the
// farthest of them first, where that is within the tolerance; else the axis as it was. With a step s,
// the first node must lie in [L(s), U(s)], L the highest of high_k - (k + t) s and U the lowest of
// low_k - (k - t) s over the lowest and highest point at each node k, t the tolerance: U - L is
// concave in s, so that a golden-section search finds the step that leaves the most room.
Axis FittedBest(const Mesh& mesh, Axis axis, int along) {
    struct Band {
        double low = HUGE_VAL;
        double high = -HUGE_VAL;
    };
    std::vector<Band> bands(static_cast<std::size_t>(axis.count));
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const double at = along == 0 ? point.x : point.y;
        const double node = std::round((at - axis.origin) / axis.step);
        if (!(node >= 0 && node < axis.count)) return;
        Band& band = bands[static_cast<std::size_t>(node)];
        band = {std::min(band.low, at), std::max(band.high, at)};
    });
    const auto room = [&](double step, double& origin) {
        double lowest = -HUGE_VAL, highest = HUGE_VAL;
        for (std::size_t node = 0; node < bands.size(); ++node) {
            if (bands[node].low > bands[node].high) continue;  // none there: no lattice, as Place finds
            const double k = static_cast<double>(node);
            lowest = std::max(lowest, bands[node].high - (k + kNodeTolerance) * step);
            highest = std::min(highest, bands[node].low - (k - kNodeTolerance) * step);
        }
        origin = (lowest + highest) / 2;
        return highest - lowest;
    };
    // The step taken from the extent is off by at most twice the tolerance over the axis's steps.
    double below = axis.step * (1 - 3 * kNodeTolerance), above = axis.step * (1 + 3 * kNodeTolerance);
    constexpr double kGolden = 0.6180339887498949;
    for (int narrowing = 0; narrowing < 80; ++narrowing) {
        const double lower = above - kGolden * (above - below), upper = below + kGolden * (above - below);
        double origin;
        if (room(lower, origin) < room(upper, origin))
            below = lower;
        else
            above = upper;
    }
    const double step = (below + above) / 2;
    double origin;
    if (room(step, origin) >= 0) axis = {axis.count, step, origin};
    return axis;
}

// The axes, their first nodes taken from the lowest points and their steps from the extent, moved to
// where the points stand nearest their nodes: each point may stand the tolerance off its node either
// way, the lowest too. Where the points stand within twice the tolerance of each other around their
// nodes, the first node moves to their middle; where more, up to the four times that such a lattice
// can show, the step and first node are fitted.
std::pair<std::optional<Axis>, std::optional<Axis>> Fitted(const Mesh& mesh, std::optional<Axis> columns,
                                                           std::optional<Axis> rows) {
    if (!columns && !rows) return {columns, rows};
    std::optional<Axis>* const axes[2] = {&columns, &rows};
    struct Spread {
        double low[2];  // in steps
        double high[2];
    };
    const Spread spread = TallyUsed(
        mesh, Spread{{HUGE_VAL, HUGE_VAL}, {-HUGE_VAL, -HUGE_VAL}},
        [&](Spread& part, std::size_t, const GroundPoint& point) {
            const double at[2] = {point.x, point.y};
            for (int axis = 0; axis < 2; ++axis) {
                if (!*axes[axis]) continue;
                const double steps = (at[axis] - (*axes[axis])->origin) / (*axes[axis])->step;
                const double off = steps - std::round(steps);
                part.low[axis] = std::min(part.low[axis], off);
                part.high[axis] = std::max(part.high[axis], off);
            }
        },
        [](Spread& whole, const Spread& part) {
            for (int axis = 0; axis < 2; ++axis) {
                whole.low[axis] = std::min(whole.low[axis], part.low[axis]);
                whole.high[axis] = std::max(whole.high[axis], part.high[axis]);
            }
        });
    for (int axis = 0; axis < 2; ++axis) {
        if (!*axes[axis]) continue;
        const double width = spread.high[axis] - spread.low[axis];
        if (width <= 2 * kNodeTolerance)
            (*axes[axis])->origin += (spread.low[axis] + spread.high[axis]) / 2 * (*axes[axis])->step;
        else if (width <= 4 * kNodeTolerance)
            *axes[axis] = FittedBest(mesh, **axes[axis], axis);
    }
    return {columns, rows};
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
    const std::optional<Axis> columns = AxisOf(mesh.box.x0, extent.x, look.smallest.x, most);
    const std::optional<Axis> rows = AxisOf(mesh.box.y0, extent.y, look.smallest.y, most);
    if (columns && rows) look.lattice = LatticeOn(mesh, *columns, *rows, outOfMemory);
    if (look.lattice || outOfMemory) return look;
    // The smallest offset is a step only as nearly as the points stand on their nodes, which over
    // thousands of steps can miscount the nodes (coordinates rounded to floats far from the origin,
    // say). So it is taken again from offsets ever farther out, each as far as the last step tells
    // its number of steps for sure. An axis with too many nodes has no step to take again.
    const Offsets nearer =
        NearerSteps(mesh, extent, {columns ? look.smallest.x : extent.x, rows ? look.smallest.y : extent.y});
    // And the axes are fitted to the points around their nodes.
    const auto [nearerColumns, nearerRows] =
        Fitted(mesh, columns ? AxisOf(mesh.box.x0, extent.x, nearer.x, most) : std::nullopt,
               rows ? AxisOf(mesh.box.y0, extent.y, nearer.y, most) : std::nullopt);
    if (nearerColumns && nearerRows) look.lattice = LatticeOn(mesh, *nearerColumns, *nearerRows, outOfMemory);
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
