// ReadVertexHeights: the vertex lines on two threads. Each vertex line stands on its own, so once
// the first block has shown how long a line is, a second thread splits the lines this thread has not
// read yet in two at a line start, and reads the second half while this thread reads the first.
// Whichever is done first splits what is left of the other's stretch in turn, until little is left:
// the machine may run one thread far slower than the other (30 ms of the 2049 x 2049 conversion's
// 150 on our virtual machines). The second thread starts before that and waits on the processor
// rather than in the system: a processor woken from idle took up to 5 ms to run a new thread. Each
// thread reads its stretches from the file itself, so that neither waits on the other until both
// are done. The result is exactly that of reading every line in turn: the first line that fails in
// listing order decides, the heights keep listing order, and lines read beyond the last vertex
// count for nothing.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "conversion/reader.h"
#include "conversion/val.h"
#include "conversion/vertex_line.h"

namespace tessiloom {
namespace {

constexpr std::string_view kXMarker = "X:";
constexpr std::string_view kYMarker = "Y:";
// The first lines are read alone, this many at a time, until they fill a block: enough to
// tell how long a line is, and so where the lines end.
constexpr std::int64_t kAloneLines = 64;
// Fewer bytes than this many blocks left to share: another thread would cost more than it saves.
constexpr std::uint64_t kBlocksWorthAThread = 2;
// At most this many stretches are split off: the heights of each end in a block of their own, only
// partly filled, and two more blocks keep a 2049 x 2049 grid within 8 bytes a vertex and 16 MiB.
constexpr std::size_t kMostSplits = 3;
// How much is looked at, at a time, for the start of a line.
constexpr std::size_t kSplitWindow = 4096;
// No vertex line is shorter: "Z:", a number and its end. With fewer vertices than fill the blocks
// worth a thread at this length, no thread is started.
constexpr std::uint64_t kShortestLineBytes = 16;

double ValAfter(std::string_view line, std::string_view marker) {
    const std::size_t at = line.find(marker);
    return at == std::string_view::npos ? std::numeric_limits<double>::quiet_NaN()
                                        : Val(line.substr(at + marker.size()));
}

// Notes what a GridPlane asks, from the few lines that hold it: vertex 0, the end of the first row
// and the last vertex. Where the width is not given, the first row runs while the vertices keep
// vertex 0's Y, so its lines are read too.
class PlaneNotes {
  public:
    PlaneNotes(GridPlane& plane, std::int32_t vertexCount)
        : plane_(plane), last_(vertexCount - 1), findingColumns_(plane.columns == 0) {}

    bool Wants(std::int64_t index) const { return InFirstRow(index) || index == last_; }
    // Whether the line at `index` belongs to the first row, or may.
    bool InFirstRow(std::int64_t index) const {
        return index == 0 || findingColumns_ || index < plane_.columns;
    }

    void Note(std::string_view line, std::int64_t index) {
        const PlanePoint point{ValAfter(line, kXMarker), ValAfter(line, kYMarker)};
        if (index == 0) plane_.corners.first = point;
        if (findingColumns_) {
            findingColumns_ = point.y == plane_.corners.first.y;
            if (findingColumns_) plane_.columns = static_cast<std::int32_t>(index + 1);
        }
        if (index == plane_.columns - 1) plane_.corners.firstRowEnd = point;
        if (index == last_) plane_.corners.last = point;
    }

  private:
    GridPlane& plane_;
    std::int64_t last_;
    bool findingColumns_;
};

// How the reading of a run of vertex lines ended.
enum class PartEnd { kCounted, kLinesEnded, kUnreadable, kNotFinite };

// The heights of consecutive vertex lines, read by one thread, and why it stopped.
struct Part {
    HeightList heights;
    double lowest = 65000.0;
    double highest = 0.0;
    PartEnd end = PartEnd::kCounted;
    std::optional<std::string> failure;  // with kLinesEnded: why reading failed, if it did
};

// Reads vertex lines into `part` until it holds `wanted` heights (read before every line, so that
// another thread may lower it), the lines run out, or a line fails. With `notes`, the part is the
// first, whose heights' indices are those of the listing.
template <bool kWithNotes>
void ReadPart(LineSource& lines, const std::atomic<std::int64_t>& wanted, PlaneNotes* notes, Part& part) {
    HeightList& heights = part.heights;
    // Kept in registers while the lines stream past, and stored once at the end.
    double lowest = part.lowest;
    double highest = part.highest;
    part.end = PartEnd::kCounted;
    const auto wantsMore = [&] {
        return static_cast<std::int64_t>(heights.Size()) < wanted.load(std::memory_order_relaxed);
    };
    // Takes the height of the next line, `line`; false when reading stops at it.
    const auto take = [&](double height, std::string_view line) {
        if (!std::isfinite(height)) {
            part.end = PartEnd::kNotFinite;
            return false;
        }
        if constexpr (kWithNotes) {
            const auto index = static_cast<std::int64_t>(heights.Size());
            if (notes->Wants(index)) notes->Note(line, index);
        }
        heights.Append(height);
        if (height > highest) highest = height;
        if (height < lowest) lowest = height;
        return true;
    };
    while (wantsMore()) {
        // The lines the block holds whole are read where they lie.
        const LineSource::Unread unread = lines.UnreadBytes();
        const char* line = unread.begin;
        VertexLine read;
        while (wantsMore() && (read = ReadVertexLine(line, unread.end)).kind == VertexLine::kHeight) {
            if (!take(read.height, std::string_view(line, static_cast<std::size_t>(read.lineEnd - line))))
                break;
            line = read.next;
        }
        lines.Skip(static_cast<std::size_t>(line - unread.begin));
        if (part.end != PartEnd::kCounted || !wantsMore()) break;
        if (read.kind == VertexLine::kNoMarker) {
            part.end = PartEnd::kUnreadable;
            break;
        }
        // The line that runs on past the block, read on its own.
        std::string_view whole;
        if (!lines.NextLine(whole)) {
            part.end = PartEnd::kLinesEnded;
            part.failure = lines.Failure();
            break;
        }
        const std::size_t marker = whole.find(kHeightMarker);
        if (marker == std::string_view::npos) {
            part.end = PartEnd::kUnreadable;
            break;
        }
        if (!take(Val(whole.substr(marker + kHeightMarker.size())), whole)) break;
    }
    part.lowest = lowest;
    part.highest = highest;
}

void Read(LineSource& lines, const std::atomic<std::int64_t>& wanted, PlaneNotes* notes, Part& part) {
    if (notes) {
        ReadPart<true>(lines, wanted, notes, part);
    } else {
        ReadPart<false>(lines, wanted, nullptr, part);
    }
}

// The start of the first line that begins after `offset`: past the first CR, LF or CR LF there.
// Nothing when the source ends first.
std::optional<std::uint64_t> NextLineStart(const ByteSource& bytes, std::uint64_t offset) {
    char window[kSplitWindow];
    for (;;) {
        const ByteSource::Read read = bytes.ReadAt(offset, window, sizeof window);
        for (std::size_t at = 0; at + 1 < read.count; ++at) {
            if (window[at] == '\n') return offset + at + 1;
            if (window[at] == '\r') return offset + at + (window[at + 1] == '\n' ? 2 : 1);
        }
        if (read.count < 2) return std::nullopt;
        offset += read.count - 1;  // a CR that ends the window is looked at again, with what follows
    }
}

// A stretch of the vertex lines for one thread to read: from `start` up to the end of the lines at
// first, and then up to where another thread splits what is left off for itself. A read claims its
// bytes under a lock before it reads them, so that a split always lies past every byte the stretch
// reads, and a thread splitting does not wait for a 2 MiB read under way (0.4 ms of the 708 x 708
// conversion).
class Stretch final : public ByteSource {
  public:
    // Over `bytes`, from `start` up to `end`, of which everything before `readTo` is read already.
    Stretch(const ByteSource& bytes, std::uint64_t start, std::uint64_t readTo, std::uint64_t end)
        : bytes_(bytes), start_(start), readTo_(readTo), end_(end) {}

    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override {
        std::size_t count;
        {
            const std::lock_guard lock(mutex_);
            if (offset >= end_) return {};
            count = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, end_ - offset));
            readTo_ = std::max(readTo_, offset + count);
        }
        return bytes_.ReadAt(offset, buffer, count);
    }

    // Ends the stretch at a line start halfway through what is left of it, up to its end or, while
    // that is open, to about `linesEnd`. Where the rest begins and ends; nothing when less than
    // `leastBytes` is left, or once the stretch is done.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> Split(std::uint64_t linesEnd,
                                                                 std::uint64_t leastBytes) {
        const std::lock_guard lock(mutex_);
        const std::uint64_t leftEnd = end_ == LineSource::kNoEnd ? linesEnd : end_;
        if (done_ || leftEnd < readTo_ + leastBytes) return std::nullopt;
        const std::optional<std::uint64_t> split = NextLineStart(bytes_, readTo_ + (leftEnd - readTo_) / 2);
        if (!split || *split >= end_) return std::nullopt;
        const std::uint64_t restEnd = std::exchange(end_, *split);
        return std::pair{*split, restEnd};
    }

    // For its thread, done with it: no split after this. Where it ends.
    std::uint64_t Close() {
        const std::lock_guard lock(mutex_);
        done_ = true;
        return end_;
    }

    std::uint64_t Start() const { return start_; }

  private:
    const ByteSource& bytes_;
    const std::uint64_t start_;
    mutable std::mutex mutex_;
    mutable std::uint64_t readTo_;
    std::uint64_t end_;
    bool done_ = false;
};

// Has a line source read through other bytes while it lives, and then its own again.
class ReadingThrough {
  public:
    ReadingThrough(LineSource& lines, const ByteSource& bytes) : lines_(lines), own_(lines.Bytes()) {
        lines_.ReadThrough(bytes);
    }
    ~ReadingThrough() { lines_.ReadThrough(own_); }
    ReadingThrough(const ReadingThrough&) = delete;
    ReadingThrough& operator=(const ReadingThrough&) = delete;

  private:
    LineSource& lines_;
    const ByteSource& own_;
};

// The heights of one stretch, and whether its lines ran on to its end, where the next stretch begins.
struct StretchRead {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    bool reachedEnd = false;
    Part part;
    // What ended the reading early, out of memory most likely: it decides only where no line before
    // it in listing order has failed.
    std::exception_ptr failure;
};

// Whether the lines of a stretch ran on to its `end`, where the next stretch begins.
bool RanOnTo(std::uint64_t end, const Part& part, const LineSource& lines) {
    return part.end == PartEnd::kLinesEnded && !part.failure && lines.Position() == end;
}

// The stretches of two threads: each splits what is left of the other's when it is done with its
// own, so that both keep reading until little is left, however unevenly the machine runs them.
class Stretches {
  public:
    // Over `bytes`, the first thread's stretch being `first`; a split leaves at least `leastBytes`.
    Stretches(const ByteSource& bytes, Stretch& first, std::uint64_t leastBytes)
        : bytes_(bytes), leastBytes_(leastBytes), reading_{&first, nullptr} {
        read_.reserve(kMostSplits);  // no allocation, and so no failure, once a stretch is read
    }

    // Has thread `self` (0 or 1) read what it splits off the other thread's stretches, through
    // `lines`, until too little is left; `linesEnd` is about where the lines end.
    void ReadSplitOff(int self, LineSource& lines, std::uint64_t linesEnd,
                      const std::atomic<std::int64_t>& wanted) {
        while (Stretch* stretch = SplitOff(self, linesEnd)) {
            StretchRead read;
            read.start = stretch->Start();
            try {
                lines.Restart(*stretch, stretch->Start());
                Read(lines, wanted, nullptr, read.part);
            } catch (...) {
                read.failure = std::current_exception();
            }
            read.end = stretch->Close();
            read.reachedEnd = !read.failure && RanOnTo(read.end, read.part, lines);
            const bool failed = static_cast<bool>(read.failure);
            const std::lock_guard lock(mutex_);
            read_.push_back(std::move(read));
            if (failed) return;
        }
    }

    // Once both threads are done: the stretches they split off, in listing order.
    std::vector<StretchRead>& InOrder() {
        std::sort(read_.begin(), read_.end(),
                  [](const StretchRead& a, const StretchRead& b) { return a.start < b.start; });
        return read_;
    }

  private:
    Stretch* SplitOff(int self, std::uint64_t linesEnd) {
        const std::lock_guard lock(mutex_);
        Stretch* other = splits_ < kMostSplits ? reading_[1 - self] : nullptr;
        const auto rest = other ? other->Split(linesEnd, leastBytes_) : std::nullopt;
        if (!rest) return nullptr;
        return reading_[self] =
                   &stretches_[splits_++].emplace(bytes_, rest->first, rest->first, rest->second);
    }

    const ByteSource& bytes_;
    const std::uint64_t leastBytes_;
    std::mutex mutex_;
    // Split off, in place: a split, once made, cannot fail for want of memory and lose its lines.
    std::array<std::optional<Stretch>, kMostSplits> stretches_;
    std::size_t splits_ = 0;
    Stretch* reading_[2];  // each thread's stretch
    std::vector<StretchRead> read_;
};

// The second thread, which waits for Begin() and then reads what it splits off the first's
// stretches. While it waits, it faults in the fresh memory of its block: done once the lines are
// shared out, that cost the 708 x 708 conversion 1 ms (4%) in our virtual machines.
class SecondThread {
  public:
    SecondThread(Stretches& stretches, const ByteSource& bytes, std::size_t blockBytes,
                 const std::atomic<std::int64_t>& wanted) {
        thread_ = std::jthread([&stretches, &bytes, &wanted, blockBytes, this](std::stop_token stop) {
            try {
                LineSource lines(bytes, blockBytes);
                std::uint64_t linesEnd;
                while ((linesEnd = linesEnd_.load(std::memory_order_acquire)) == kNotYet) {
                    if (stop.stop_requested()) return;
                    std::this_thread::yield();
                }
                stretches.ReadSplitOff(1, lines, linesEnd, wanted);
            } catch (...) {
                // No block for this thread, most likely: it took no stretch, whose failure would be
                // kept with it, so the first thread reads every line.
            }
        });
    }

    // Lets the thread split the first's lines, which end at about `linesEnd`; 0: there is nothing
    // to split.
    void Begin(std::uint64_t linesEnd) { linesEnd_.store(linesEnd, std::memory_order_release); }
    void Join() { thread_.join(); }

  private:
    static constexpr std::uint64_t kNotYet = LineSource::kNoEnd;

    std::atomic<std::uint64_t> linesEnd_ = kNotYet;
    std::jthread thread_;  // last: it starts once the rest is in place and is joined before it goes
};

// Sets `wanted` to 0 when it goes during the unwinding of an exception: declared after the second
// thread, it goes before that thread is joined.
class StopOnFailure {
  public:
    explicit StopOnFailure(std::atomic<std::int64_t>& wanted) : wanted_(wanted) {}
    ~StopOnFailure() {
        if (std::uncaught_exceptions() > exceptions_) wanted_ = 0;
    }
    StopOnFailure(const StopOnFailure&) = delete;
    StopOnFailure& operator=(const StopOnFailure&) = delete;

  private:
    std::atomic<std::int64_t>& wanted_;
    const int exceptions_ = std::uncaught_exceptions();
};

// Appends the first `count` heights of `second` to `first`, with their range: `first` is then
// complete, or ends as `second` ended when it ran out before that.
void Join(Part& first, Part& second, std::int64_t count) {
    const bool all = static_cast<std::int64_t>(second.heights.Size()) <= count;
    const std::size_t done = first.heights.Size();
    const std::size_t taken =
        first.heights.AppendFrom(std::move(second.heights), static_cast<std::size_t>(count));
    if (all) {
        first.lowest = std::min(first.lowest, second.lowest);
        first.highest = std::max(first.highest, second.highest);
    }
    // The second read more than it needed: only the heights taken count towards the range.
    for (std::size_t index = done; !all && index < done + taken;) {
        for (const double height : first.heights.RunFrom(index)) {
            first.lowest = std::min(first.lowest, height);
            first.highest = std::max(first.highest, height);
        }
        index += first.heights.RunFrom(index).size();
    }
    first.end = static_cast<std::int64_t>(taken) < count ? second.end : PartEnd::kCounted;
    first.failure = std::move(second.failure);
}

// The last vertex, for notes that want it, when a stretch other than the first read it: found
// again by its index, from `begin`, where the vertex with index `first` starts.
void NoteLastVertex(const ByteSource& bytes, std::size_t blockBytes, std::uint64_t begin, std::int64_t first,
                    std::int64_t vertexCount, PlaneNotes& notes) {
    LineSource again(bytes, blockBytes, begin);
    std::string_view line;
    for (std::int64_t index = first; index < vertexCount && again.NextLine(line); ++index) {
        if (index == vertexCount - 1) notes.Note(line, index);
    }
}

// Appends to `first`, which ran on to the end of its stretch at `firstEnd`, the stretches that
// follow it in listing order, each as far as the one before it ran on. Where the last one appended
// begins, with the index of its first vertex; nothing when none was.
std::optional<std::pair<std::uint64_t, std::int64_t>> JoinInOrder(Part& first, std::uint64_t firstEnd,
                                                                  std::vector<StretchRead>& rest,
                                                                  std::int64_t vertexCount) {
    std::optional<std::pair<std::uint64_t, std::int64_t>> last;
    std::uint64_t end = firstEnd;
    for (StretchRead& next : rest) {
        if (next.start != end) break;
        if (next.failure) std::rethrow_exception(next.failure);
        const auto done = static_cast<std::int64_t>(first.heights.Size());
        last = {next.start, done};
        Join(first, next.part, vertexCount - done);
        if (first.end != PartEnd::kLinesEnded || !next.reachedEnd) break;
        end = next.end;
    }
    return last;
}

VertexHeights Outcome(Part& part, std::int64_t vertexCount) {
    VertexHeights result;
    const auto index = static_cast<std::int32_t>(part.heights.Size());
    if (part.end == PartEnd::kUnreadable) result.unreadableVertex = index;
    if (part.end == PartEnd::kNotFinite) {
        result.failure = "the height of vertex " + std::to_string(index) + " is not a finite number";
    }
    if (part.end == PartEnd::kLinesEnded) {
        result.failure = part.failure ? *part.failure
                                      : "the file ends before vertex line " + std::to_string(index) +
                                            " (of " + std::to_string(vertexCount) + ")";
    }
    result.mesh.heights = std::move(part.heights);
    result.mesh.lowest = part.lowest;
    result.mesh.highest = part.highest;
    return result;
}

}  // namespace

VertexHeights ReadVertexHeights(LineSource& source, std::int32_t vertexCount, GridPlane* plane) {
    std::optional<PlaneNotes> notes;
    if (plane) notes.emplace(*plane, vertexCount);
    PlaneNotes* const notesPointer = notes ? &*notes : nullptr;
    const ByteSource& bytes = source.Bytes();
    const std::size_t blockBytes = source.BlockBytes();
    LineSource& lines = source;
    const std::uint64_t begin = lines.Position();
    Stretch firstStretch(bytes, begin, lines.ReadUpTo(), LineSource::kNoEnd);
    const ReadingThrough through(lines, firstStretch);
    Stretches stretches(bytes, firstStretch, kBlocksWorthAThread * blockBytes);
    std::atomic<std::int64_t> splitOffWanted = vertexCount;  // 0 stops the reading of what is split off
    std::optional<SecondThread> second;
    if (static_cast<std::uint64_t>(vertexCount) * kShortestLineBytes >= kBlocksWorthAThread * blockBytes) {
        try {
            second.emplace(stretches, bytes, blockBytes, splitOffWanted);
        } catch (const std::system_error&) {  // no thread to be had: this one reads every line
        }
    }
    // Should this thread fail, the other stops at its next line rather than read on for nothing.
    const StopOnFailure stopSplitOff(splitOffWanted);
    Part first;
    std::atomic<std::int64_t> wanted = 0;
    // Alone first: a block's worth of lines, and every line of the first row the notes want.
    do {
        wanted = std::min<std::int64_t>(vertexCount, wanted + kAloneLines);
        Read(lines, wanted, notesPointer, first);
    } while (first.end == PartEnd::kCounted && wanted < vertexCount &&
             (lines.Position() - begin < blockBytes || (notes && notes->InFirstRow(wanted))));

    const auto read = static_cast<std::int64_t>(first.heights.Size());
    const bool more = first.end == PartEnd::kCounted && read < vertexCount;
    std::uint64_t linesEnd = 0;
    if (more) {
        const double lineBytes = static_cast<double>(lines.Position() - begin) / static_cast<double>(read);
        linesEnd = lines.Position() + static_cast<std::uint64_t>(lineBytes * (vertexCount - read));
    }
    if (second) second->Begin(linesEnd);
    if (more) {
        wanted = vertexCount;
        Read(lines, wanted, notesPointer, first);
    }
    if (!second) return Outcome(first, vertexCount);

    // Only a first stretch that ran on to its end leaves lines to others; else it decided.
    const std::uint64_t end = firstStretch.Close();
    const bool reachedEnd = RanOnTo(end, first, lines);
    if (reachedEnd) {
        stretches.ReadSplitOff(0, lines, linesEnd, splitOffWanted);
    } else {
        splitOffWanted = 0;
    }
    second->Join();
    if (!reachedEnd) return Outcome(first, vertexCount);
    const auto last = JoinInOrder(first, end, stretches.InOrder(), vertexCount);
    if (notes && last && first.end == PartEnd::kCounted) {
        NoteLastVertex(bytes, blockBytes, last->first, last->second, vertexCount, *notes);
    }
    return Outcome(first, vertexCount);
}

}  // namespace tessiloom
