#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/line_runs.h"
#include "conversion/line_source.h"
#include "conversion/mesh_heights.h"
#include "conversion/plain_number.h"
#include "conversion/val.h"

// What a vertex line means, and the reading of a run of vertex lines on one thread: the one place
// that says where a height stands in its line and how it is read, which range it counts towards,
// what is noted of the grid's corners, and what the user is told when a line fails.
namespace tessiloom {

// Reads a height that is more than a plain number by Val's rule; `decimalComma` is set when it was
// read only up to a decimal comma: digits with no point, then a comma and another digit.
double ReadSlowHeight(std::string_view text, bool& decimalComma);

// What starts a vertex's height in its line, and its position in the plane.
inline constexpr std::string_view kHeightMarker = "Z:";
inline constexpr std::string_view kXMarker = "X:";
inline constexpr std::string_view kYMarker = "Y:";
// The marker is compared where it starts, up to the padding past the line's end; a marker holding a
// line end could never stand in a line.
static_assert(!kHeightMarker.empty() && kHeightMarker.size() < LineSource::kPadding &&
              kHeightMarker.find_first_of("\r\n") == std::string_view::npos);

// The height a vertex line gives: the Val of the text after its first kHeightMarker, up to the
// line's end; nothing when it has no marker. `line` must be one a LineSource handed out, and
// `candidate` where the first byte of the marker first stands in it, or its end. `decimalComma` is
// set when the height was read only up to a decimal comma.
[[gnu::always_inline]] inline std::optional<double> HeightOf(std::string_view line, const char* candidate,
                                                             bool& decimalComma) {
    const char* const end = line.data() + line.size();
    const char* marker = candidate;
    // The line's end, a CR or LF, never starts the marker; only a line end stops the search.
    while (std::memcmp(marker, kHeightMarker.data(), kHeightMarker.size()) != 0) {
        if (marker >= end) return std::nullopt;
        marker = FindLineEndOr<kHeightMarker[0]>(marker + 1);
    }
    const char* const text = marker + kHeightMarker.size();
    double height;
    if (!ReadPlainHeight(text, end, height))
        height = ReadSlowHeight({text, static_cast<std::size_t>(end - text)}, decimalComma);
    return height;
}

inline std::optional<double> HeightOf(std::string_view line, bool& decimalComma) {
    return HeightOf(line, FindLineEndOr<kHeightMarker[0]>(line.data()), decimalComma);
}

// Where a vertex lies in the plane: the Val of the text after the first "X:" and "Y:" of its line,
// or NaN where the line has no such marker.
struct PlanePoint {
    double x = 0;
    double y = 0;
};

// The plane positions of the three corner vertices that give a grid's extent.
struct CornerPoints {
    PlanePoint first;        // vertex 0
    PlanePoint firstRowEnd;  // the last vertex of the first row
    PlanePoint last;         // the last vertex
};

// Where the grid lies in the plane, read beside the heights when asked for.
struct GridPlane {
    // The grid's width, so that vertex columns - 1 ends the first row. When 0 is asked, it is found:
    // the number of leading vertices that share vertex 0's Y (0 when vertex 0 has no Y).
    std::int32_t columns = 0;
    CornerPoints corners;  // found
};

// Notes into a GridPlane what it asks, from the few lines that hold it: vertex 0, the end of the
// first row and the last vertex. Where the width is not given, the first row runs while the vertices
// keep vertex 0's Y, so its lines are read too.
class PlaneNotes {
  public:
    PlaneNotes(GridPlane& plane, std::int32_t vertexCount)
        : plane_(&plane), last_(vertexCount - 1), findingColumns_(plane.columns == 0) {}

    bool Wants(std::int64_t index) const { return InFirstRow(index) || index == last_; }
    // Whether the line at `index` belongs to the first row, or may.
    bool InFirstRow(std::int64_t index) const {
        return index == 0 || findingColumns_ || index < plane_->columns;
    }
    void Note(std::string_view line, std::int64_t index);

  private:
    GridPlane* plane_;
    std::int64_t last_;
    bool findingColumns_;
};

struct VertexHeights {
    MeshHeights mesh;
    // The 0-based index of the first vertex line without "Z:"; reading stopped there.
    std::optional<std::int32_t> unreadableVertex;
    // Why reading failed otherwise, to complete "Could not read '<source>': ".
    std::optional<std::string> failure;
    std::int64_t decimalCommaHeights = 0;  // read only up to a decimal comma
};

// A line found again: the one `skip` lines after the line that starts at `from`; or, counting lines,
// the `skip` lines from there.
struct LineAt {
    std::uint64_t from = 0;
    std::int64_t skip = 0;
};

// The heights of consecutive vertex lines read on one thread, their range, and why reading stopped.
struct VertexRun {
    enum class Stop { kNone, kCounted, kLinesEnded, kUnreadable, kNotFinite, kOutOfMemory };

    HeightList heights;
    double lowest = 65000.0;
    double highest = 0.0;
    Stop stop = Stop::kNone;
    std::optional<std::string> failure;  // with kLinesEnded: why the lines ended early, if they did
    std::int64_t decimalCommaHeights = 0;
    std::optional<PlaneNotes> notes;  // the first run's, when the plane is asked for
    // Where the run's lines start, and with the plane asked for where the line of its last height
    // starts; once later runs are joined to it, where the last height's line lies.
    std::uint64_t start = 0;
    std::uint64_t lastLine = 0;
    std::optional<LineAt> joinedLastLine;
    // The lines of a run joined in part, whose heights read up to a decimal comma are still to count.
    std::optional<LineAt> uncountedLines;
};

// Reads runs of `vertexCount` vertex lines, one thread a run; see line_runs.h.
class VertexLines {
  public:
    using Run = VertexRun;

    // With `plane`, the first run notes it, and the other runs keep where their lines start.
    VertexLines(std::int32_t vertexCount, GridPlane* plane) : vertexCount_(vertexCount), plane_(plane) {}

    // The run that starts at vertex 0.
    VertexRun FirstRun() const;
    RunEnd Read(LineSource& lines, VertexRun& run, std::int64_t mostLines) const;
    RunEnd Join(VertexRun& first, VertexRun&& next) const;
    std::uint64_t EndOfLines(const VertexRun& first, std::uint64_t position, double lineBytes) const {
        return position + static_cast<std::uint64_t>(lineBytes * static_cast<double>(LinesLeft(first)));
    }
    bool ReadsAlone(const VertexRun& first) const {
        return first.notes && first.notes->InFirstRow(static_cast<std::int64_t>(first.heights.Size()));
    }

    // Once the runs are joined, reads again in `bytes` what a run that read past the last vertex
    // leaves unknown: the plane position of the last vertex when a later run than the first read it,
    // and the heights read up to a decimal comma among the lines taken from a run joined in part.
    void ReadAgain(VertexRun& first, const ByteSource& bytes) const;
    // What the first run, read to its end, comes to.
    VertexHeights Outcome(VertexRun&& first) const;

  private:
    // How many more vertex lines a run reads at most.
    std::int64_t LinesLeft(const VertexRun& run) const {
        return vertexCount_ - static_cast<std::int64_t>(run.heights.Size());
    }
    template <bool kWithPlane>
    RunEnd ReadLines(LineSource& lines, VertexRun& run, std::int64_t mostLines) const;

    std::int32_t vertexCount_;
    GridPlane* plane_;
};

}  // namespace tessiloom
