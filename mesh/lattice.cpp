#include "mesh/lattice.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace tessiloom {
namespace {

// How far a point may stand from its node, in steps: farther, and the points are no lattice.
constexpr double kNodeTolerance = 0.01;
// Offsets below this share of the extent are rounding, not a step.
constexpr double kRounding = 1e-9;
// How far apart two points' offsets from their nodes may lie, in steps, each the tolerance off
// either way: so wide the points around their nodes may spread, so far apart two points of one node
// may stand, and so far off a step taken from two points may be, as a share of it. With a step
// taken from the extent, whose two ends may each stand off, the points may spread twice as wide.
constexpr double kNodeSpread = 2 * kNodeTolerance;
constexpr double kExtentStepSpread = 2 * kNodeSpread;

struct Axis {
    std::int32_t count = 0;
    double step = 0;
    double low = 0;     // the lowest point's place along the axis
    double origin = 0;  // where the first node stands, from `low`: small, and so exact enough far out

    // How many steps from the first node `at` lies.
    double StepsTo(double at) const { return ((at - low) - origin) / step; }
    // The node nearest to `at`, no more than half a step below the first.
    std::int64_t NearestNode(double at) const { return static_cast<std::int64_t>(StepsTo(at) + 0.5); }
};

// The nodes along one axis from `low`, given the extent and the smallest offset from `low` of a
// point off the first node: nothing when there would be more than `most`.
std::optional<Axis> AxisOf(double low, double extent, double smallest, std::uint64_t most) {
    if (!(extent > 0)) return std::nullopt;
    const double steps = std::round(extent / smallest);
    if (!(steps + 1 <= static_cast<double>(most))) return std::nullopt;
    return Axis{static_cast<std::int32_t>(steps) + 1, extent / steps, low, 0};
}

// How many nodes an axis may have: no more than there are points, nor than its count can hold.
std::uint64_t MostNodes(const Mesh& mesh) {
    return std::min<std::uint64_t>(mesh.usedCount, std::numeric_limits<std::int32_t>::max());
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
    const std::int64_t node = axis.NearestNode(at);
    return std::abs(axis.StepsTo(at) - static_cast<double>(node)) <= kNodeTolerance ? node : -1;
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
// lattice's heights are the points' own, as they stand. Looked at on two threads, each point's offset
// from the node of its place taken into the farthest along each axis: a point within the tolerance
// of a node is at it, as NodeOf finds, and a look at each for it took three times as long.
bool InOrder(const Mesh& mesh, Axis columns, Axis rows, std::uint64_t nodes) {
    if (mesh.usedCount != mesh.points.Size() || nodes != mesh.usedCount) return false;
    struct Farthest {
        bool started = false;
        std::int64_t column = 0;  // of the next point's place
        std::int64_t row = 0;
        double x = 0;  // in steps
        double y = 0;
    };
    const Farthest farthest = TallyUsed(
        mesh, Farthest{},
        [&](Farthest& part, std::size_t index, const GroundPoint& point) {
            if (!part.started) {  // every point is used: the rest of the part follows in turn
                part = {true, static_cast<std::int64_t>(index % static_cast<std::size_t>(columns.count)),
                        static_cast<std::int64_t>(index / static_cast<std::size_t>(columns.count))};
            }
            part.x = std::max(part.x, std::abs(columns.StepsTo(point.x) - static_cast<double>(part.column)));
            part.y = std::max(part.y, std::abs(rows.StepsTo(point.y) - static_cast<double>(part.row)));
            if (++part.column == columns.count) {
                part.column = 0;
                ++part.row;
            }
        },
        [](Farthest& whole, const Farthest& part) {
            whole.x = std::max(whole.x, part.x);
            whole.y = std::max(whole.y, part.y);
        });
    return farthest.x <= kNodeTolerance && farthest.y <= kNodeTolerance;
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

// Along each axis, the smallest offset of a used point off the first node; the extent where none is.
Offsets SmallestOffsets(const Mesh& mesh, Offsets extent) {
    const Offsets rounding{kRounding * extent.x, kRounding * extent.y};
    // The offset of the lowest X and Y above the box's lowest, unless it is rounding: no pass over
    // the points is needed for it.
    const Offsets next{mesh.nextX - mesh.box.x0, mesh.nextY - mesh.box.y0};
    if (next.x > rounding.x && next.y > rounding.y)
        return {std::min(next.x, extent.x), std::min(next.y, extent.y)};
    return KeptOffsets(mesh, extent, rounding, [](double offset, double kept, double within) {
        return offset > within && offset < kept;
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
    double step;       // off by at most kNodeSpread / steps of itself
    double steps = 1;  // how many steps the offset it was taken from spans

    // How many steps out an offset is counted for sure: the step's error over them, and the tolerance
    // of the point at each end, stay under half a step.
    double Reach() const { return std::floor((0.5 - kNodeSpread) * steps / kNodeSpread); }
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

// Along each axis, where the used points stand around its nodes: how far off them, in steps, the
// lowest and the highest, and which of the first 64 nodes hold one.
struct AxisSurvey {
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    std::uint64_t held = 0;
};
using AxesSurvey = std::array<AxisSurvey, 2>;
using Axes = std::array<std::optional<Axis>, 2>;  // along X, along Y

AxesSurvey SurveyAxes(const Mesh& mesh, const Axes& axes) {
    return TallyUsed(
        mesh, AxesSurvey{},
        [&](AxesSurvey& part, std::size_t, const GroundPoint& point) {
            const double at[2] = {point.x, point.y};
            for (int along = 0; along < 2; ++along) {
                if (!axes[along]) continue;
                const std::int64_t node = axes[along]->NearestNode(at[along]);
                const double off = axes[along]->StepsTo(at[along]) - static_cast<double>(node);
                AxisSurvey& survey = part[along];
                survey.low = std::min(survey.low, off);
                survey.high = std::max(survey.high, off);
                if (node < 64) survey.held |= std::uint64_t{1} << node;
            }
        },
        [](AxesSurvey& whole, const AxesSurvey& part) {
            for (int along = 0; along < 2; ++along) {
                whole[along] = {std::min(whole[along].low, part[along].low),
                                std::max(whole[along].high, part[along].high),
                                whole[along].held | part[along].held};
            }
        });
}

// The step and first node that stand the points of one axis (0: X, 1: Y) nearest their nodes, the
// farthest of them first, where that is within the tolerance; nothing where not. With a step s, the
// first node must lie in [L(s), U(s)], L the highest of high_k - (k + t) s and U the lowest of low_k -
// (k - t) s over the lowest and highest point at each node k, t the tolerance: U - L is concave in s,
// so that a golden-section search finds the step that leaves the most room.
std::optional<Axis> FittedBest(const Mesh& mesh, const Axis& axis, int along) {
    struct Band {
        double low = HUGE_VAL;
        double high = -HUGE_VAL;
    };
    std::vector<Band> bands(static_cast<std::size_t>(axis.count));  // offsets from the lowest point
    ForEachUsed(mesh, [&](const GroundPoint& point) {
        const double at = along == 0 ? point.x : point.y;
        const auto node = static_cast<std::size_t>(axis.NearestNode(at));
        if (node >= bands.size()) return;
        const double offset = at - axis.low;
        bands[node] = {std::min(bands[node].low, offset), std::max(bands[node].high, offset)};
    });
    struct Room {
        double width;   // below 0: none
        double origin;  // the middle of the room
    };
    const auto room = [&](double step) {
        double lowest = -HUGE_VAL, highest = HUGE_VAL;
        for (std::size_t node = 0; node < bands.size(); ++node) {
            if (bands[node].low > bands[node].high) continue;  // none there: no lattice, as Place finds
            const double k = static_cast<double>(node);
            lowest = std::max(lowest, bands[node].high - (k + kNodeTolerance) * step);
            highest = std::min(highest, bands[node].low - (k - kNodeTolerance) * step);
        }
        return Room{highest - lowest, (lowest + highest) / 2};
    };
    // The step taken from the extent is off by less than the spread it may show over the axis.
    double below = axis.step * (1 - kExtentStepSpread), above = axis.step * (1 + kExtentStepSpread);
    constexpr double kGolden = 0.6180339887498949;
    for (int narrowing = 0; narrowing < 80; ++narrowing) {
        const double lower = above - kGolden * (above - below), upper = below + kGolden * (above - below);
        if (room(lower).width < room(upper).width)
            below = lower;
        else
            above = upper;
    }
    const double step = (below + above) / 2;
    const Room best = room(step);
    if (best.width < 0) return std::nullopt;
    return Axis{axis.count, step, axis.low, best.origin};
}

// The axis, its first node taken from the lowest point and its step from the extent, fitted to where
// the points stand around its nodes, where it may be the lattice's along it; nothing where not. Each
// point may stand the tolerance off its node either way, the lowest too: where they stand within
// twice that of each other, the first node moves to their middle; where more, up to the four times
// that such a lattice can show with a step taken from its extent, the step and first node are
// fitted. And each of the first 64 nodes must hold a point: a step that divides the lattice's (a point
// nudged by a two-hundredth of a step gives one) has every point on a node too, but none on most.
std::optional<Axis> Fitted(const Mesh& mesh, const Axis& axis, const AxisSurvey& survey, int along) {
    const std::uint64_t all = axis.count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << axis.count) - 1;
    const double width = survey.high - survey.low;
    if (survey.held != all || !(width <= kExtentStepSpread)) return std::nullopt;
    if (width > kNodeSpread) return FittedBest(mesh, axis, along);
    return Axis{axis.count, axis.step, axis.low, axis.origin + (survey.low + survey.high) / 2 * axis.step};
}

// The steps each axis may have, finest first. Where the smallest offset is no step but the distance
// between points that one node holds, at most kNodeSpread of a step, the next node's points stand
// (1 - kNodeSpread) / kNodeSpread = 49 times that or more farther out. Floors kFloorRatio = 40 apart
// put one in every such gap, and the smallest offset above it stands that many times beyond the
// smallest above the floor below: only those are steps to try.
std::array<std::vector<double>, 2> StepsToTry(const Mesh& mesh, Offsets extent) {
    constexpr double kFloorRatio = 40;
    constexpr double kGap = (1 - kNodeSpread) / kNodeSpread * 0.9;  // some room for rounding
    constexpr int kFloors = 7;  // the last, kRounding times 40^6, beyond any extent
    using Smallest = std::array<std::array<double, kFloors>, 2>;
    const double extents[2] = {extent.x, extent.y};
    Smallest none, floors;
    for (int along = 0; along < 2; ++along) {
        none[along].fill(HUGE_VAL);
        floors[along][0] = kRounding * extents[along];
        for (int k = 1; k < kFloors; ++k) floors[along][k] = floors[along][k - 1] * kFloorRatio;
    }
    const GroundBox& box = mesh.box;
    const Smallest smallest = TallyUsed(
        mesh, none,
        [&](Smallest& part, std::size_t, const GroundPoint& point) {
            const double offsets[2] = {point.x - box.x0, point.y - box.y0};
            for (int along = 0; along < 2; ++along) {
                const double offset = offsets[along];
                int k = kFloors;
                while (k > 0 && !(offset > floors[along][k - 1])) --k;
                // The smallest offsets above lower floors are no larger: where this one is not the
                // smallest above the highest floor below it, it is the smallest above none.
                for (; k > 0 && offset < part[along][k - 1]; --k) part[along][k - 1] = offset;
            }
        },
        [](Smallest& whole, const Smallest& part) {
            for (int along = 0; along < 2; ++along) {
                for (int k = 0; k < kFloors; ++k) whole[along][k] = std::min(whole[along][k], part[along][k]);
            }
        });
    // The farthest point's offset, the extent, is a step to try too: that of an axis of two nodes.
    std::array<std::vector<double>, 2> steps;
    for (int along = 0; along < 2; ++along) {
        if (!(smallest[along][0] <= extents[along])) continue;
        steps[along].push_back(smallest[along][0]);
        for (int k = 1; k < kFloors && smallest[along][k] <= extents[along]; ++k) {
            if (smallest[along][k] >= kGap * smallest[along][k - 1])
                steps[along].push_back(smallest[along][k]);
        }
    }
    return steps;
}

// The axes that each of `steps`, taken again from offsets farther out, gives where the points fit
// it, finest first.
std::array<std::vector<Axis>, 2> FittingAxes(const Mesh& mesh, Offsets extent,
                                             const std::array<std::vector<double>, 2>& steps) {
    const std::uint64_t most = MostNodes(mesh);
    const double lowest[2] = {mesh.box.x0, mesh.box.y0}, extents[2] = {extent.x, extent.y};
    std::array<std::vector<Axis>, 2> fitting;
    for (std::size_t next = 0; next < std::max(steps[0].size(), steps[1].size()); ++next) {
        // An axis out of steps is given its extent, which NearerSteps takes as it is, with no look.
        Axes trying;
        double first[2];
        for (int along = 0; along < 2; ++along) {
            if (next < steps[along].size())
                trying[along] = AxisOf(lowest[along], extents[along], steps[along][next], most);
            first[along] = trying[along] ? steps[along][next] : extents[along];
        }
        const Offsets nearer = NearerSteps(mesh, extent, {first[0], first[1]});
        const double nearerSteps[2] = {nearer.x, nearer.y};
        for (int along = 0; along < 2; ++along) {
            if (trying[along])
                trying[along] = AxisOf(lowest[along], extents[along], nearerSteps[along], most);
        }
        const AxesSurvey surveys = SurveyAxes(mesh, trying);
        for (int along = 0; along < 2; ++along) {
            if (!trying[along]) continue;
            if (const std::optional<Axis> fitted = Fitted(mesh, *trying[along], surveys[along], along))
                fitting[along].push_back(*fitted);
        }
    }
    return fitting;
}

// The lattice whose steps along each axis are the finest of `steps` that the points fit, each taken
// again from offsets farther out and fitted to the points around its nodes. An axis's fit alone does
// not make a lattice (64 points of one node can hold the first 64 nodes of a step that divides the
// lattice's), so each pair is tried until one is.
std::optional<Lattice> FittedLattice(const Mesh& mesh, Offsets extent,
                                     const std::array<std::vector<double>, 2>& steps, bool& outOfMemory) {
    const std::array<std::vector<Axis>, 2> fitting = FittingAxes(mesh, extent, steps);
    for (const Axis& columns : fitting[0]) {
        for (const Axis& rows : fitting[1]) {
            std::optional<Lattice> lattice = LatticeOn(mesh, columns, rows, outOfMemory);
            if (lattice || outOfMemory) return lattice;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<Lattice> FindLattice(const Mesh& mesh, bool& outOfMemory) {
    outOfMemory = false;
    const Offsets extent{mesh.box.x1 - mesh.box.x0, mesh.box.y1 - mesh.box.y0};
    const Offsets smallest = SmallestOffsets(mesh, extent);
    const std::uint64_t most = MostNodes(mesh);
    const std::optional<Axis> columns = AxisOf(mesh.box.x0, extent.x, smallest.x, most);
    const std::optional<Axis> rows = AxisOf(mesh.box.y0, extent.y, smallest.y, most);
    if (columns && rows) {
        std::optional<Lattice> lattice = LatticeOn(mesh, *columns, *rows, outOfMemory);
        if (lattice || outOfMemory) return lattice;
    }
    if (!(extent.x > 0 && extent.y > 0)) return std::nullopt;
    // The smallest offsets are steps only as nearly as the points stand on their nodes; and where
    // some points of one node stand apart, they are no steps at all.
    return FittedLattice(mesh, extent, StepsToTry(mesh, extent), outOfMemory);
}

HeightList TakeHeights(Lattice& lattice, Mesh& mesh) {
    return lattice.pointsInOrder ? mesh.points.TakeHeights() : std::move(lattice.heights);
}

}  // namespace tessiloom
