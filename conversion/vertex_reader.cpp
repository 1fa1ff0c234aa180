// ReadVertexHeights: the vertex lines on two threads. Each vertex line stands on its own, so the
// lines left after the first block are cut in two at a line start, and a second thread reads and
// parses the second half while this one does the first. Both read their half from the file
// themselves, so that no thread waits on another until both are done. The result is exactly that
// of reading every line in turn: the first line that fails in listing order decides, the heights
// keep listing order, and lines the second thread read beyond the last vertex count for nothing.
#include <atomic>
#include <cmath>
#include <limits>
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
// tell how long a line is, and where the second half starts.
constexpr std::int64_t kStretch = 64;
// Fewer bytes than this many blocks left: a second thread would cost more than it saves.
constexpr double kBlocksWorthAThread = 2;
// How far past a guessed split to look for the start of a line.
constexpr std::size_t kSplitWindow = 4096;

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
    // Whether the line at `index` or a later one belongs to the first row.
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
// another thread may lower it), the lines run out, or a line fails. `first` is the index of the
// part's first line in the listing.
template <bool kWithNotes>
void ReadPart(LineSource& lines, std::int64_t first, const std::atomic<std::int64_t>& wanted,
              PlaneNotes* notes, Part& part) {
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
            const auto index = first + static_cast<std::int64_t>(heights.Size());
            if (notes->Wants(index)) notes->Note(line, index);
        }
        heights.Append(height);
        if (height > highest) highest = height;
        if (height < lowest) lowest = height;
    }
    part.lowest = lowest;
    part.highest = highest;
}

void Read(LineSource& lines, std::int64_t first, const std::atomic<std::int64_t>& wanted, PlaneNotes* notes,
          Part& part) {
    if (notes) {
        ReadPart<true>(lines, first, wanted, notes, part);
    } else {
        ReadPart<false>(lines, first, wanted, nullptr, part);
    }
}

// The start of the first line that begins after `offset`: past the first CR, LF or CR LF there.
// Nothing when no line end lies near enough.
std::optional<std::uint64_t> NextLineStart(const ByteSource& bytes, std::uint64_t offset) {
    char window[kSplitWindow];
    const ByteSource::Read read = bytes.ReadAt(offset, window, sizeof window);
    for (std::size_t at = 0; at + 1 < read.count; ++at) {
        if (window[at] == '\n') return offset + at + 1;
        if (window[at] == '\r') return offset + at + (window[at + 1] == '\n' ? 2 : 1);
    }
    return std::nullopt;
}

// The second half of the lines, read on a thread of its own.
class SecondHalf {
  public:
    // Starts reading lines at `begin`, at most `atMost` of them, the first being line `first`.
    SecondHalf(const LineSource& lines, std::uint64_t begin, std::int64_t atMost)
        : lines_(lines.Bytes(), lines.BlockBytes(), begin), wanted_(atMost) {
        thread_ = std::jthread([this] { Read(lines_, 0, wanted_, nullptr, part_); });
    }

    // Waits for the thread, which reads no further once it holds `needed` heights; 0 stops it.
    Part& Join(std::int64_t needed) {
        wanted_.store(needed, std::memory_order_relaxed);
        thread_.join();
        return part_;
    }

  private:
    LineSource lines_;
    Part part_;
    std::atomic<std::int64_t> wanted_;
    std::jthread thread_;  // last: it starts once the rest is in place and is joined before it goes
};

// Where the second half is to start: a line start about halfway through the `left` lines still to
// read, as long as the `read` lines since `begin` were. Nothing when too few bytes are left to share.
std::optional<std::uint64_t> SplitPoint(const LineSource& lines, std::uint64_t begin, std::int64_t read,
                                        std::int64_t left) {
    const double leftBytes =
        static_cast<double>(lines.Position() - begin) / static_cast<double>(read) * static_cast<double>(left);
    if (leftBytes < kBlocksWorthAThread * static_cast<double>(lines.BlockBytes())) return std::nullopt;
    const std::uint64_t guess = lines.Position() + static_cast<std::uint64_t>(leftBytes / 2);
    return NextLineStart(lines.Bytes(), std::max(guess, lines.ReadUpTo()));
}

// Appends the first `count` heights of `second` to `first`, with their range: `first` is then
// complete, or ends as `second` ended when it ran out before that.
void Join(Part& first, Part& second, std::int64_t count) {
    const bool all = static_cast<std::int64_t>(second.heights.Size()) <= count;
    const std::size_t taken =
        first.heights.AppendFrom(std::move(second.heights), static_cast<std::size_t>(count));
    for (std::size_t index = first.heights.Size() - taken; !all && index < first.heights.Size(); ++index) {
        first.lowest = std::min(first.lowest, first.heights[index]);
        first.highest = std::max(first.highest, first.heights[index]);
    }
    if (all) {
        first.lowest = std::min(first.lowest, second.lowest);
        first.highest = std::max(first.highest, second.highest);
    }
    first.end = static_cast<std::int64_t>(taken) < count ? second.end : PartEnd::kCounted;
    first.failure = std::move(second.failure);
}

// The last vertex, when the second half read it, for notes that want it: found again by its index.
void NoteLastVertex(const LineSource& lines, std::uint64_t begin, std::int64_t first,
                    std::int64_t vertexCount, PlaneNotes& notes) {
    LineSource again(lines.Bytes(), lines.BlockBytes(), begin);
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

VertexHeights ReadVertexHeights(LineSource& lines, std::int32_t vertexCount, GridPlane* plane) {
    std::optional<PlaneNotes> notes;
    if (plane) notes.emplace(*plane, vertexCount);
    PlaneNotes* const notesPointer = notes ? &*notes : nullptr;
    const std::uint64_t begin = lines.Position();
    Part first;
    std::atomic<std::int64_t> wanted = 0;
    // Alone first: a block's worth of lines, and every line of the first row the notes want.
    do {
        wanted = std::min<std::int64_t>(vertexCount, wanted + kStretch);
        Read(lines, 0, wanted, notesPointer, first);
    } while (first.end == PartEnd::kCounted && wanted < vertexCount &&
             (lines.Position() - begin < lines.BlockBytes() || (notes && notes->InFirstRow(wanted))));

    const auto read = static_cast<std::int64_t>(first.heights.Size());
    const std::optional<std::uint64_t> split = first.end == PartEnd::kCounted && read < vertexCount
                                                   ? SplitPoint(lines, begin, read, vertexCount - read)
                                                   : std::nullopt;
    std::optional<SecondHalf> second;
    if (split) {
        lines.EndAt(*split);
        second.emplace(lines, *split, vertexCount - read);
    }
    if (first.end == PartEnd::kCounted) {
        wanted = vertexCount;
        Read(lines, 0, wanted, notesPointer, first);
    }
    if (second) {
        const auto done = static_cast<std::int64_t>(first.heights.Size());
        // Only a first half that ran to the split leaves lines to the second; else it decided.
        const bool reachedSplit =
            first.end == PartEnd::kLinesEnded && !first.failure && lines.Position() == *split;
        Part& rest = second->Join(reachedSplit ? vertexCount - done : 0);
        if (reachedSplit) {
            Join(first, rest, vertexCount - done);
            if (notes && first.end == PartEnd::kCounted)
                NoteLastVertex(lines, *split, done, vertexCount, *notes);
        }
    }
    return Outcome(first, vertexCount);
}

}  // namespace tessiloom
