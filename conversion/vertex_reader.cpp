// ReadVertexHeights: the vertex lines on two threads. Each vertex line stands on its own, so once
// the first block has shown how long a line is, a second thread cuts the lines this thread has not
// read yet in two at a line start, and reads and parses the second half while this thread does the
// first. The second thread starts before that and waits on the processor rather than in the
// system: a processor woken from idle took up to 5 ms to run a new thread in our virtual machines. Each reads
// its half from the file itself, so that neither waits on the other until both are done, and a second thread
// that starts late simply takes less. The result is exactly that of reading every line in turn: the first
// line that fails in listing order decides, the heights keep listing order, and lines the second thread read
// beyond the last vertex count for nothing.
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <string_view>
#include <thread>

#include "conversion/height_text.h"
#include "conversion/reader.h"
#include "conversion/val.h"

namespace tessiloom {
namespace {

constexpr std::string_view kHeightMarker = "Z:";
constexpr std::string_view kXMarker = "X:";
constexpr std::string_view kYMarker = "Y:";
// The first lines are read alone in stretches of this many, until they fill a block: enough to
// tell how long a line is, and so where the lines end.
constexpr std::int64_t kStretch = 64;
// Fewer bytes than this many blocks left: a second thread would cost more than it saves.
constexpr std::uint64_t kBlocksWorthAThread = 2;
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
    std::string_view line;
    while (static_cast<std::int64_t>(heights.Size()) < wanted.load(std::memory_order_relaxed)) {
        std::size_t marker;
        if (!lines.NextLine(line, kHeightMarker[0], marker)) {
            part.end = PartEnd::kLinesEnded;
            part.failure = lines.Failure();
            break;
        }
        // The line source found the first "Z"; it starts the marker unless no ":" follows it.
        if (marker != LineSource::kNoMarker && line.substr(marker, kHeightMarker.size()) != kHeightMarker) {
            marker = line.find(kHeightMarker, marker + 1);
        }
        if (marker == std::string_view::npos) {
            part.end = PartEnd::kUnreadable;
            break;
        }
        const double height = ReadHeightText(line.substr(marker + kHeightMarker.size()));
        if (!std::isfinite(height)) {
            part.end = PartEnd::kNotFinite;
            break;
        }
        if constexpr (kWithNotes) {
            const auto index = static_cast<std::int64_t>(heights.Size());
            if (notes->Wants(index)) notes->Note(line, index);
        }
        heights.Append(height);
        if (height > highest) highest = height;
        if (height < lowest) lowest = height;
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

// The bytes of the first half: the source's, up to where the second half starts, which the second
// thread settles once it runs. A read claims its bytes under a lock before it reads them, so that
// the split always lies past every byte the first half reads, and the second thread, which splits
// while a 2 MiB read is under way, does not wait for it (0.4 ms of the 708 x 708 conversion).
class FirstHalfBytes final : public ByteSource {
  public:
    // Over `bytes`, of which the first half has read everything before `readTo` already.
    FirstHalfBytes(const ByteSource& bytes, std::uint64_t readTo) : bytes_(bytes), readTo_(readTo) {}

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

    // For the second thread: ends the first half at a line start halfway between what it has read
    // and `linesEnd`, where the second half then begins. Nothing when too little is left to share,
    // or once the first half is done.
    std::optional<std::uint64_t> Split(std::uint64_t linesEnd, std::uint64_t leastBytes) {
        const std::lock_guard lock(mutex_);
        if (end_ != LineSource::kNoEnd || linesEnd < readTo_ + leastBytes) return std::nullopt;
        const std::optional<std::uint64_t> start = NextLineStart(bytes_, readTo_ + (linesEnd - readTo_) / 2);
        if (start) end_ = *start;
        return start;
    }

    // For the first thread, done: no split after this. Where its half ends.
    std::uint64_t Close() {
        const std::lock_guard lock(mutex_);
        if (end_ == LineSource::kNoEnd) end_ = readTo_;
        return end_;
    }

  private:
    const ByteSource& bytes_;
    mutable std::mutex mutex_;
    mutable std::uint64_t readTo_;
    std::uint64_t end_ = LineSource::kNoEnd;
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

// The second half of the lines, read on a thread of its own from where it splits the first's.
class SecondHalf {
  public:
    // Starts the thread, which waits for Begin() and then reads at most `atMost` lines: no more can
    // be wanted. While it waits, it faults in the fresh memory of its block: done once the lines are
    // shared out, that cost the 708 x 708 conversion 1 ms (4%) in our virtual machines.
    SecondHalf(FirstHalfBytes& first, const ByteSource& bytes, std::size_t blockBytes, std::int64_t atMost)
        : wanted_(atMost) {
        thread_ = std::jthread([&first, &bytes, blockBytes, this](std::stop_token stop) {
            LineSource lines(bytes, blockBytes);
            std::uint64_t linesEnd;
            while ((linesEnd = linesEnd_.load(std::memory_order_acquire)) == kNotYet) {
                if (stop.stop_requested()) return;
                std::this_thread::yield();
            }
            const std::optional<std::uint64_t> split =
                first.Split(linesEnd, kBlocksWorthAThread * blockBytes);
            if (!split) return;
            start_ = *split;
            lines.StartAt(*split);
            Read(lines, wanted_, nullptr, part_);
        });
    }

    // Lets the thread split the first half's lines, which end at about `linesEnd`; 0: there is
    // nothing to split.
    void Begin(std::uint64_t linesEnd) { linesEnd_.store(linesEnd, std::memory_order_release); }

    // Waits for the thread, which reads no further once it holds `needed` heights; 0 stops it.
    Part& Join(std::int64_t needed) {
        wanted_.store(needed, std::memory_order_relaxed);
        thread_.join();
        return part_;
    }
    // Where the second half began (LineSource::kNoEnd when it never did); read after Join().
    std::uint64_t Start() const { return start_; }

  private:
    static constexpr std::uint64_t kNotYet = LineSource::kNoEnd;

    Part part_;
    std::uint64_t start_ = LineSource::kNoEnd;
    std::atomic<std::uint64_t> linesEnd_ = kNotYet;
    std::atomic<std::int64_t> wanted_;
    std::jthread thread_;  // last: it starts once the rest is in place and is joined before it goes
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

// The last vertex, when the second half read it, for notes that want it: found again by its index.
void NoteLastVertex(const ByteSource& bytes, std::size_t blockBytes, std::uint64_t begin, std::int64_t first,
                    std::int64_t vertexCount, PlaneNotes& notes) {
    LineSource again(bytes, blockBytes, begin);
    std::string_view line;
    for (std::int64_t index = first; index < vertexCount && again.NextLine(line); ++index) {
        if (index == vertexCount - 1) notes.Note(line, index);
    }
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
    FirstHalfBytes firstBytes(bytes, lines.ReadUpTo());
    const ReadingThrough through(lines, firstBytes);
    std::optional<SecondHalf> second;
    if (static_cast<std::uint64_t>(vertexCount) * kShortestLineBytes >= kBlocksWorthAThread * blockBytes) {
        second.emplace(firstBytes, bytes, blockBytes, vertexCount);
    }
    Part first;
    std::atomic<std::int64_t> wanted = 0;
    // Alone first: a block's worth of lines, and every line of the first row the notes want.
    do {
        wanted = std::min<std::int64_t>(vertexCount, wanted + kStretch);
        Read(lines, wanted, notesPointer, first);
    } while (first.end == PartEnd::kCounted && wanted < vertexCount &&
             (lines.Position() - begin < blockBytes || (notes && notes->InFirstRow(wanted))));

    const auto read = static_cast<std::int64_t>(first.heights.Size());
    const bool more = first.end == PartEnd::kCounted && read < vertexCount;
    if (second) {
        const double lineBytes = static_cast<double>(lines.Position() - begin) / static_cast<double>(read);
        second->Begin(more ? lines.Position() + static_cast<std::uint64_t>(lineBytes * (vertexCount - read))
                           : 0);
    }
    if (more) {
        wanted = vertexCount;
        Read(lines, wanted, notesPointer, first);
    }
    if (second) {
        // Only a first half that ran up to the split leaves lines to the second; else it decided.
        const std::uint64_t end = firstBytes.Close();
        const auto done = static_cast<std::int64_t>(first.heights.Size());
        const bool reachedSplit =
            first.end == PartEnd::kLinesEnded && !first.failure && lines.Position() == end;
        Part& rest = second->Join(reachedSplit ? vertexCount - done : 0);
        if (reachedSplit && second->Start() == end) {
            Join(first, rest, vertexCount - done);
            if (notes && first.end == PartEnd::kCounted) {
                NoteLastVertex(bytes, blockBytes, end, done, vertexCount, *notes);
            }
        }
    }
    return Outcome(first, vertexCount);
}

}  // namespace tessiloom
