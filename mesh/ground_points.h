#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>

#include "conversion/block_list.h"
#include "conversion/fetch_ahead.h"
#include "conversion/mesh_heights.h"

// A mesh's vertices as points of the ground and their heights, and the extent they cover.
namespace tessiloom {

// A vertex line as a point of the ground and its height; NaN where the line has no such marker.
struct GroundPoint {
    double x = 0;
    double y = 0;
    double height = 0;
};

// An extent of the ground.
struct GroundBox {
    double x0 = 0;
    double x1 = 0;
    double y0 = 0;
    double y1 = 0;
};

// The ground some finite points cover, the lowest X and Y above its lowest (where a lattice's first
// steps lie), and the range of their heights.
struct PointsExtent {
    GroundBox box{HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL};
    double nextX = HUGE_VAL;
    double nextY = HUGE_VAL;
    double lowest = HUGE_VAL;
    double highest = -HUGE_VAL;

    void Add(const GroundPoint& point) {
        TakeLow(box.x0, nextX, point.x);
        box.x1 = std::max(box.x1, point.x);
        TakeLow(box.y0, nextY, point.y);
        box.y1 = std::max(box.y1, point.y);
        lowest = std::min(lowest, point.height);
        highest = std::max(highest, point.height);
    }
    void Add(const PointsExtent& other) {
        for (const double x : {other.box.x0, other.nextX}) TakeLow(box.x0, nextX, x);
        for (const double y : {other.box.y0, other.nextY}) TakeLow(box.y0, nextY, y);
        box.x1 = std::max(box.x1, other.box.x1);
        box.y1 = std::max(box.y1, other.box.y1);
        lowest = std::min(lowest, other.lowest);
        highest = std::max(highest, other.highest);
    }

  private:
    // Takes `value` into the lowest, `low`, and the lowest above it, `next`; of equal lowest values,
    // the first.
    static void TakeLow(double& low, double& next, double value) {
        if (value < low) {
            next = low;
            low = value;
        } else if (value > low) {
            next = std::min(next, value);
        }
    }
};

// The vertex lines as points of the ground and their heights, kept apart: the heights of a lattice
// listed in its own order are the image's as they stand, with no copy of its own. The ground is kept
// in floats for as long as every X and Y is a float exactly, as the whole or halved coordinates of
// most grids are; the first that is not widens them all to doubles. Fresh memory is slow to fault
// in: with its ground in doubles, a large grid's conversion peaked at 120 MiB against 88, and took
// 15% longer on its own (not right after another, whose memory the system hands on).
class GroundPoints {
    template <typename T>
    struct Ground {
        T x;
        T y;
    };
    using NarrowGround = Ground<float>;
    using WideGround = Ground<double>;

  public:
    std::size_t Size() const { return heights_.Size(); }
    GroundPoint operator[](std::size_t index) const {
        if (narrow_) return Point(narrowGround_[index], heights_[index]);
        return Point(wideGround_[index], heights_[index]);
    }
    // Points that lie next to each other in memory, their ground kept in T.
    template <typename T>
    class Run {
      public:
        Run(std::span<const Ground<T>> ground, std::span<const double> heights)
            : ground_(ground), heights_(heights) {}
        std::size_t Size() const { return ground_.size(); }
        GroundPoint operator[](std::size_t at) const { return Point(ground_[at], heights_[at]); }
        // Asks for the points a page on from the `count` at `at`.
        void FetchAheadOf(std::size_t at, std::size_t count) const {
            FetchAhead(ground_.data() + at, count);
            FetchAhead(heights_.data() + at, count);
        }

      private:
        std::span<const Ground<T>> ground_;
        std::span<const double> heights_;
    };
    // Calls `visit(index, run)` with the runs of the points from `first` up to `end`, in order, `index`
    // being that of the run's first point.
    template <typename Visit>
    [[gnu::always_inline]] void ForEachRunIn(std::size_t first, std::size_t end, Visit&& visit) const {
        if (narrow_)
            ForEachRunOf(narrowGround_, first, end, visit);
        else
            ForEachRunOf(wideGround_, first, end, visit);
    }
    // Calls `visit(index, point)` with each point, in order.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        ForEachRunIn(0, Size(), [&](std::size_t first, const auto& run) {
            for (std::size_t at = 0; at < run.Size(); ++at) visit(first + at, run[at]);
        });
    }
    const HeightList& Heights() const { return heights_; }

    // Looks points up by index, quicker than operator[] where one lies near the last, their ground
    // kept in T.
    template <typename T>
    class Lookup {
      public:
        Lookup(const BlockList<Ground<T>>& ground, const HeightList& heights)
            : ground_(ground), heights_(heights) {}
        GroundPoint operator[](std::size_t index) { return Point(ground_[index], heights_[index]); }

      private:
        typename BlockList<Ground<T>>::Lookup ground_;
        HeightList::Lookup heights_;
    };
    // What `use(lookup)` returns, given a Lookup of the points.
    template <typename Use>
    decltype(auto) WithLookup(Use&& use) const {
        if (narrow_) return use(Lookup<float>(narrowGround_, heights_));
        return use(Lookup<double>(wideGround_, heights_));
    }

    // The heights, taken out: the points are then gone.
    HeightList TakeHeights();

    // False when there was no memory for it: the points are then of no more use, the ground and
    // the heights not holding as many. A point read from plain numbers is finite; one that may not
    // be goes through AppendAny.
    bool Append(const GroundPoint& point) {
        if (narrow_) [[likely]] {
            if (IsFloat(point.x) && IsFloat(point.y)) {
                return narrowGround_.Append({static_cast<float>(point.x), static_cast<float>(point.y)}) &&
                       heights_.Append(point.height);
            }
            if (!Widen()) return false;
        }
        return wideGround_.Append({point.x, point.y}) && heights_.Append(point.height);
    }
    bool AppendAny(const GroundPoint& point) {
        allFinite_ =
            allFinite_ && std::isfinite(point.x) && std::isfinite(point.y) && std::isfinite(point.height);
        return Append(point);
    }
    // Appends the points of `other`; false when there was no memory to widen the ground of one of
    // them to the other's.
    bool AppendFrom(GroundPoints&& other);
    // Whether every point is finite: then none needs a look of its own.
    bool AllFinite() const { return allFinite_; }

  private:
    // Whether `value` is a float exactly; NaN and the infinities are kept in doubles.
    static bool IsFloat(double value) {
        return std::abs(value) <= std::numeric_limits<float>::max() && static_cast<float>(value) == value;
    }
    template <typename T>
    static GroundPoint Point(const Ground<T>& ground, double height) {
        return {ground.x, ground.y, height};
    }
    template <typename T, typename Visit>
    [[gnu::always_inline]] void ForEachRunOf(const BlockList<Ground<T>>& ground, std::size_t first,
                                             std::size_t end, Visit& visit) const {
        for (std::size_t index = first; index < end;) {
            const std::span<const Ground<T>> groundRun = ground.RunFrom(index);
            const std::span<const double> heights = heights_.RunFrom(index);
            const std::size_t count = std::min(end - index, std::min(groundRun.size(), heights.size()));
            visit(index, Run<T>(groundRun.first(count), heights.first(count)));
            index += count;
        }
    }
    // Moves the ground into doubles; false, the points then of no more use, when there was no memory
    // for them.
    bool Widen();

    bool narrow_ = true;
    BlockList<NarrowGround> narrowGround_;  // while narrow_
    BlockList<WideGround> wideGround_;      // once not
    HeightList heights_;
    bool allFinite_ = true;
};

}  // namespace tessiloom
