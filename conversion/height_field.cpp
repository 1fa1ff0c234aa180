#include "conversion/height_field.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "conversion/fetch_ahead.h"
#include "platform/atomic_file.h"
#include "platform/thread.h"

namespace tessiloom {
namespace {

constexpr double kLargestLevel = 65535.0;
// Fewer heights than this, a second thread costs more than it saves: the 708 x 708 image took a
// tenth longer with one.
constexpr std::size_t kHeightsWorthAThread = std::size_t{1} << 20;
// How far the scaling may run ahead of the writer, in bytes of levels: fresh memory is slow to
// fault in, so no more than keeps both threads busy.
constexpr std::size_t kAheadBytes = std::size_t{1} << 16;

bool Fits(std::int32_t count) {
    return count >= 1 && count <= kLargestImageSide;
}

void Tally(ClipTally& tally, double height, bool farther) {
    if (tally.count++ == 0 || farther) tally.extreme = height;
}

// What a height becomes in a row: a level, or for a format of heights the clamped height itself.
// A pixel nothing holds is level 0, or stays NaN.
std::uint16_t Sample(double clamped, double low, double span, std::uint16_t*) {
    // The default rounding mode rounds ties to the even neighbour.
    return clamped == clamped ? static_cast<std::uint16_t>(std::lrint((clamped - low) / span * kLargestLevel))
                              : 0;
}
float Sample(double clamped, double, double, float*) {
    return static_cast<float>(clamped);
}

// The row of heights that starts at `first`, clamped into the range, as `samples`, and what the
// range clipped of them.
template <typename Out>
void ScaleRow(const HeightList& heights, std::size_t first, double low, double high, std::span<Out> samples,
              HeightFieldWrite& clipped) {
    const double span = high - low;
    for (std::size_t column = 0; column < samples.size();) {
        const std::span<const double> run = heights.RunFrom(first + column);
        const std::size_t count = std::min(run.size(), samples.size() - column);
        FetchAhead(run.data(), count);
        for (double height : run.first(count)) {
            if (height < low) {
                Tally(clipped.below, height, height < clipped.below.extreme);
                height = low;
            }
            if (height > high) {
                Tally(clipped.above, height, height > clipped.above.extreme);
                height = high;
            }
            samples[column++] = Sample(height, low, span, static_cast<Out*>(nullptr));
        }
    }
}

// Merges the tally of rows another thread scaled: the counts add up and the farther extreme stays.
void Merge(ClipTally& tally, const ClipTally& other, bool otherFarther) {
    if (other.count == 0) return;
    if (tally.count == 0 || otherFarther) tally.extreme = other.extreme;
    tally.count += other.count;
}

// The rows of levels (or heights), top row first, scaled on two threads while the format turns the
// rows before them into bytes. A row is scaled by whichever thread takes it up first, the writer included, so
// that a second thread slow to start costs nothing, and it is handed out in order however it was
// scaled. On our 2-core machines this takes two fifths off scaling and writing the 2049 x 2049 image.
template <typename Out>
class ScaledRows {
  public:
    ScaledRows(const HeightList& heights, GridSize grid, double low, double high)
        : heights_(heights),
          width_(static_cast<std::size_t>(grid.columns)),
          rows_(static_cast<std::size_t>(grid.rows)),
          low_(low),
          high_(high),
          slots_(std::clamp<std::size_t>(kAheadBytes / (width_ * sizeof(Out)), 1, rows_)),
          levels_(slots_ * width_),
          scaledRow_(slots_) {
        if (width_ * rows_ < kHeightsWorthAThread) return;
        // Without a thread to be had, the writer scales every row.
        helper_ = StartThread([this](std::stop_token stop) {
            while (!stop.stop_requested() && claimed_.load(std::memory_order_relaxed) < rows_) {
                if (!ScaleOneAhead(helperTally_)) std::this_thread::yield();
            }
        });
    }

    // The next row; it stays valid until the next call.
    std::span<const Out> Next() {
        const std::size_t row = taken_++;
        written_.store(row, std::memory_order_release);  // the slots of the rows before it are free
        std::size_t unclaimed = row;
        if (claimed_.compare_exchange_strong(unclaimed, row + 1, std::memory_order_relaxed)) {
            Scale(row, writerTally_);
        }
        while (scaledRow_[row % slots_].load(std::memory_order_acquire) != row + 1) {
            if (!ScaleOneAhead(writerTally_)) std::this_thread::yield();
        }
        return Slot(row);
    }

    // What the range clipped, once every row has been taken.
    HeightFieldWrite Clipped() {
        if (helper_.joinable()) helper_.join();
        HeightFieldWrite clipped = writerTally_;
        Merge(clipped.below, helperTally_.below, helperTally_.below.extreme < clipped.below.extreme);
        Merge(clipped.above, helperTally_.above, helperTally_.above.extreme > clipped.above.extreme);
        return clipped;
    }

  private:
    // Scales the first row no thread has taken up, if its slot is free; false when there was none.
    bool ScaleOneAhead(HeightFieldWrite& tally) {
        std::size_t row = claimed_.load(std::memory_order_relaxed);
        if (row >= rows_ || row - written_.load(std::memory_order_acquire) >= slots_) return false;
        if (!claimed_.compare_exchange_strong(row, row + 1, std::memory_order_relaxed)) return true;
        Scale(row, tally);
        return true;
    }

    void Scale(std::size_t row, HeightFieldWrite& tally) {
        ScaleRow(heights_, (rows_ - 1 - row) * width_, low_, high_, Slot(row), tally);
        scaledRow_[row % slots_].store(row + 1, std::memory_order_release);
    }

    // The samples of `row`, in the slot it shares with the rows a whole ring apart.
    std::span<Out> Slot(std::size_t row) { return {levels_.data() + row % slots_ * width_, width_}; }

    const HeightList& heights_;
    const std::size_t width_;
    const std::size_t rows_;
    const double low_;
    const double high_;
    const std::size_t slots_;
    std::vector<Out> levels_;                          // one row a slot
    std::vector<std::atomic<std::size_t>> scaledRow_;  // a slot's row + 1, once it is scaled
    std::atomic<std::size_t> claimed_ = 0;             // rows taken up for scaling
    std::atomic<std::size_t> written_ = 0;             // rows the writer is done with
    std::size_t taken_ = 0;                            // rows handed out, for the writer only
    HeightFieldWrite writerTally_;
    HeightFieldWrite helperTally_;
    std::jthread helper_;  // last: it starts once the rest is in place and is joined before it goes
};

}  // namespace

HeightFieldWrite StreamHeightField(ByteSink& sink, const ImageFormat& format, GridSize grid,
                                   const HeightList& heights, double low, double high,
                                   const std::optional<ImagePlacement>& placement) {
    HeightFieldWrite result;
    const double span = high - low;
    const auto width = static_cast<std::size_t>(grid.columns);
    if (span == 0 || !std::isfinite(span) || !Fits(grid.columns) || !Fits(grid.rows) ||
        heights.Size() != width * static_cast<std::size_t>(grid.rows)) {
        result.failure = "the grid or the height range cannot be written as a height field";
        return result;
    }
    HeightImage image{grid, low, high, placement, {}, {}};
    const auto write = [&](auto& scaled) {
        if (!format.write(sink, image)) {
            result.failure = "the image could not be written in full";
            return;
        }
        result = scaled.Clipped();
    };
    if (format.writesHeights) {
        ScaledRows<float> scaled(heights, grid, low, high);
        image.heights = [&] { return scaled.Next(); };
        write(scaled);
    } else {
        ScaledRows<std::uint16_t> scaled(heights, grid, low, high);
        image.levels = [&] { return scaled.Next(); };
        write(scaled);
    }
    return result;
}

HeightFieldWrite WriteHeightField(const std::string& outputPath, const ImageFormat& format, GridSize grid,
                                  const HeightList& heights, double low, double high,
                                  const std::optional<ImagePlacement>& placement) {
    AtomicFile file(outputPath);
    HeightFieldWrite result = StreamHeightField(file, format, grid, heights, low, high, placement);
    if (!result.failure) file.Commit();
    // The file's own reason ("No space left on device") says more than the writer's.
    if (file.Failure()) result.failure = file.Failure();
    return result;
}

}  // namespace tessiloom
