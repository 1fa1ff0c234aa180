#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/byte_source.h"

// The stretches of lines that two threads read: where one is cut in two, at a line start.
namespace tessiloom {

// A stretch of lines for one thread to read: from `start` up to the end of the lines at first, and
// then up to where another thread splits what is left off for itself. A read claims its bytes under
// a lock before it reads them, so that a split always lies past every byte the stretch reads, and a
// thread splitting does not wait for a read under way.
class Stretch final : public ByteSource {
  public:
    static constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

    // Over `bytes`, from `start` up to `end`.
    Stretch(const ByteSource& bytes, std::uint64_t start, std::uint64_t end = kNoEnd)
        : bytes_(bytes), start_(start), readTo_(start), end_(end) {}

    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override;
    View ViewAt(std::uint64_t offset, std::size_t capacity) const override;
    std::uint64_t Release(std::uint64_t from, std::uint64_t to, bool goesOn) const override {
        return bytes_.Release(from, to, goesOn);
    }
    std::uint64_t Size() const override { return bytes_.Size(); }

    // Ends the stretch at a line start halfway through what is left of it, up to its end or, while
    // that is open, to about `linesEnd`. Where the rest begins and ends; nothing when less than
    // `leastBytes` is left, or once the stretch is closed.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> Split(std::uint64_t linesEnd,
                                                                 std::uint64_t leastBytes);

    // For its thread, done with it: no split after this. Where it ends.
    std::uint64_t Close();

    std::uint64_t Start() const { return start_; }

  private:
    // Claims up to `capacity` bytes from `offset` on for a read: how many of them the stretch holds.
    std::size_t Claim(std::uint64_t offset, std::size_t capacity) const;

    const ByteSource& bytes_;
    const std::uint64_t start_;
    mutable std::mutex mutex_;
    mutable std::uint64_t readTo_;
    std::uint64_t end_;
    bool closed_ = false;
};

// The stretches two threads read, each splitting what is left of the other's when it is done with
// its own, so that both keep reading until little is left, however unevenly the machine runs them.
class StretchSplitter {
  public:
    // At most this many stretches are split off: each ends in a block of its reader's memory only
    // partly filled, so that more would cost memory.
    static constexpr std::size_t kMostSplits = 3;

    // Over `bytes`, thread 0's stretch being `first`; a split leaves at least `leastBytes` to each side.
    StretchSplitter(const ByteSource& bytes, Stretch& first, std::uint64_t leastBytes)
        : bytes_(bytes), leastBytes_(leastBytes), reading_{&first, nullptr} {}

    // A new stretch for thread `self` (0 or 1), split off the other's, which is about to end near
    // `linesEnd`; null when too little is left.
    Stretch* SplitOff(int self, std::uint64_t linesEnd);

  private:
    const ByteSource& bytes_;
    const std::uint64_t leastBytes_;
    std::mutex mutex_;
    // Split off, in place: a split, once made, cannot fail for want of memory and lose its lines.
    std::array<std::optional<Stretch>, kMostSplits> stretches_;
    std::size_t splits_ = 0;
    Stretch* reading_[2];  // each thread's stretch
};

}  // namespace tessiloom
