#include "conversion/stretch.h"

#include <algorithm>

#include "conversion/line_end.h"

namespace tessiloom {
namespace {

// How much is looked at, at a time, for the start of a line.
constexpr std::size_t kSplitWindow = 4096;
// Readable bytes after the window's line feed, for a search sixteen bytes at a time.
constexpr std::size_t kWindowPadding = 16;

// The start of the first line that begins after `offset`: past the first line end there. Nothing
// when the source ends first.
std::optional<std::uint64_t> NextLineStart(const ByteSource& bytes, std::uint64_t offset) {
    char window[kSplitWindow + kWindowPadding] = {};  // a line end's search may load past the sentinel
    for (;;) {
        const ByteSource::Read read = bytes.ReadAt(offset, window, kSplitWindow);
        if (read.count < 2) return std::nullopt;
        window[read.count] = '\n';
        const char* const end = FindLineEnd(window);
        // A line end in the last byte is looked at again with what follows: it may be a CR LF.
        if (end < window + read.count - 1)
            return offset + static_cast<std::uint64_t>(PastLineEnd(end) - window);
        offset += read.count - 1;
    }
}

}  // namespace

std::size_t Stretch::Claim(std::uint64_t offset, std::size_t capacity) const {
    const std::lock_guard lock(mutex_);
    if (offset >= end_) return 0;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, end_ - offset));
    readTo_ = std::max(readTo_, offset + count);
    return count;
}

ByteSource::Read Stretch::ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
    const std::size_t count = Claim(offset, capacity);
    if (count == 0) return {};
    return bytes_.ReadAt(offset, buffer, count);
}

ByteSource::View Stretch::ViewAt(std::uint64_t offset, std::size_t capacity) const {
    // At the stretch's end too the source is asked, with nothing claimed: it may have failed since.
    return bytes_.ViewAt(offset, Claim(offset, capacity));
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> Stretch::Split(std::uint64_t linesEnd,
                                                                      std::uint64_t leastBytes) {
    const std::lock_guard lock(mutex_);
    const std::uint64_t leftEnd = end_ == kNoEnd ? linesEnd : end_;
    if (closed_ || leftEnd < readTo_ + leastBytes) return std::nullopt;
    const std::optional<std::uint64_t> split = NextLineStart(bytes_, readTo_ + (leftEnd - readTo_) / 2);
    if (!split || *split >= end_) return std::nullopt;
    const std::uint64_t restEnd = std::exchange(end_, *split);
    return std::pair{*split, restEnd};
}

std::uint64_t Stretch::Close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    return end_;
}

Stretch* StretchSplitter::SplitOff(int self, std::uint64_t linesEnd) {
    const std::lock_guard lock(mutex_);
    Stretch* other = splits_ < kMostSplits ? reading_[1 - self] : nullptr;
    const auto rest = other ? other->Split(linesEnd, leastBytes_) : std::nullopt;
    if (!rest) return nullptr;
    return reading_[self] = &stretches_[splits_++].emplace(bytes_, rest->first, rest->second);
}

}  // namespace tessiloom
