#include "conversion/vertex_lines.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "conversion/messages.h"

namespace tessiloom {
namespace {

double ValAfter(std::string_view line, std::string_view marker) {
    const std::size_t at = line.find(marker);
    return at == std::string_view::npos ? std::numeric_limits<double>::quiet_NaN()
                                        : Val(line.substr(at + marker.size()));
}

RunEnd EndOf(const VertexRun& run) {
    switch (run.stop) {
        case VertexRun::Stop::kNone:
            return RunEnd::kPaused;
        case VertexRun::Stop::kLinesEnded:
            return RunEnd::kLinesEnded;
        default:
            return RunEnd::kFinished;
    }
}

// Widens the run's range by its heights from `index` on.
void TrackRangeFrom(VertexRun& run, std::size_t index) {
    while (index < run.heights.Size()) {
        const std::span<const double> heights = run.heights.RunFrom(index);
        for (const double height : heights) {
            run.lowest = std::min(run.lowest, height);
            run.highest = std::max(run.highest, height);
        }
        index += heights.size();
    }
}

// Hands `visit` the lines from `at.from` on, up to the one `at.skip` lines after it, in `bytes`.
template <typename Visit>
void VisitAgain(const ByteSource& bytes, LineAt at, Visit&& visit) {
    constexpr std::size_t kFewLinesBytes = 4096;
    LineBlock block(kFewLinesBytes);
    LineSource lines(bytes, at.from, block);
    std::string_view line;
    for (std::int64_t index = 0; index <= at.skip && lines.NextLine(line); ++index) visit(line, index);
}

}  // namespace

double ReadSlowHeight(std::string_view text, bool& decimalComma) {
    const ValRead read = ReadVal(text);
    const std::string_view number = text.substr(0, read.length);
    decimalComma = read.length > 0 && read.length + 1 < text.size() && text[read.length] == ',' &&
                   text[read.length + 1] >= '0' && text[read.length + 1] <= '9' &&
                   number.find_first_not_of("+- \t0123456789") == std::string_view::npos;
    return read.value;
}

void PlaneNotes::Note(std::string_view line, std::int64_t index) {
    const PlanePoint point{ValAfter(line, kXMarker), ValAfter(line, kYMarker)};
    CornerPoints& corners = plane_->corners;
    if (index == 0) corners.first = point;
    if (findingColumns_) {
        findingColumns_ = point.y == corners.first.y;
        if (findingColumns_) plane_->columns = static_cast<std::int32_t>(index + 1);
    }
    if (index == plane_->columns - 1) corners.firstRowEnd = point;
    if (index == last_) corners.last = point;
}

VertexRun VertexLines::FirstRun() const {
    VertexRun run;
    if (plane_) run.notes.emplace(*plane_, vertexCount_);
    return run;
}

RunEnd VertexLines::Read(LineSource& lines, VertexRun& run, std::int64_t mostLines) const {
    return plane_ ? ReadLines<true>(lines, run, mostLines) : ReadLines<false>(lines, run, mostLines);
}

template <bool kWithPlane>
RunEnd VertexLines::ReadLines(LineSource& lines, VertexRun& run, std::int64_t mostLines) const {
    HeightList& heights = run.heights;
    if (heights.Size() == 0) run.start = lines.Position();
    auto left = std::min(mostLines, LinesLeft(run));
    // Kept in registers while the lines stream past, and stored once at the end.
    double lowest = run.lowest;
    double highest = run.highest;
    VertexRun::Stop stop = VertexRun::Stop::kNone;
    bool decimalComma = false;
    const auto take = [&](std::string_view line, const char* marker) __attribute__((always_inline)) {
        const std::optional<double> height = HeightOf(line, marker, decimalComma);
        if (!height) {
            stop = VertexRun::Stop::kUnreadable;
            return false;
        }
        if (!std::isfinite(*height)) {
            stop = VertexRun::Stop::kNotFinite;
            return false;
        }
        if constexpr (kWithPlane) {
            const auto index = static_cast<std::int64_t>(heights.Size());
            if (run.notes && run.notes->Wants(index)) run.notes->Note(line, index);
            run.lastLine = lines.PositionOf(line);
        }
        if (!heights.Append(*height)) {
            stop = VertexRun::Stop::kOutOfMemory;
            return false;
        }
        if (*height > highest) highest = *height;
        if (*height < lowest) lowest = *height;
        if (decimalComma) [[unlikely]] {
            ++run.decimalCommaHeights;
            decimalComma = false;
        }
        return --left > 0;
    };
    if (left > 0 && !lines.ForEachLine<kHeightMarker[0]>(take)) {
        stop = VertexRun::Stop::kLinesEnded;
        run.failure = lines.Failure();
    }
    if (static_cast<std::int64_t>(heights.Size()) == vertexCount_) stop = VertexRun::Stop::kCounted;
    run.stop = stop;
    run.lowest = lowest;
    run.highest = highest;
    return EndOf(run);
}

RunEnd VertexLines::Join(VertexRun& first, VertexRun&& next) const {
    const std::size_t done = first.heights.Size();
    const auto wanted = static_cast<std::size_t>(LinesLeft(first));
    const std::size_t read = next.heights.Size();
    const std::size_t taken = first.heights.AppendFrom(std::move(next.heights), wanted);
    if (taken == read) {
        first.lowest = std::min(first.lowest, next.lowest);
        first.highest = std::max(first.highest, next.highest);
    } else {
        TrackRangeFrom(first, done);  // only the heights taken count towards the range
    }
    if (plane_ && taken > 0) {
        first.joinedLastLine = taken == read ? LineAt{next.lastLine, 0}
                                             : LineAt{next.start, static_cast<std::int64_t>(taken) - 1};
    }
    first.stop = taken < wanted ? next.stop : VertexRun::Stop::kCounted;
    if (taken == read) {
        first.decimalCommaHeights += next.decimalCommaHeights;
    } else if (next.decimalCommaHeights > 0) {
        first.uncountedLines = LineAt{next.start, static_cast<std::int64_t>(taken) - 1};
    }
    first.failure = std::move(next.failure);
    return EndOf(first);
}

void VertexLines::ReadAgain(VertexRun& first, const ByteSource& bytes) const {
    if (first.notes && first.joinedLastLine && first.stop == VertexRun::Stop::kCounted) {
        VisitAgain(bytes, *first.joinedLastLine, [&](std::string_view line, std::int64_t index) {
            if (index == first.joinedLastLine->skip) first.notes->Note(line, vertexCount_ - 1);
        });
    }
    if (first.uncountedLines) {
        VisitAgain(bytes, *first.uncountedLines, [&](std::string_view line, std::int64_t) {
            bool decimalComma = false;
            HeightOf(line, decimalComma);
            first.decimalCommaHeights += decimalComma;
        });
    }
}

VertexHeights VertexLines::Outcome(VertexRun&& first) const {
    VertexHeights outcome;
    const auto index = static_cast<std::int32_t>(first.heights.Size());
    switch (first.stop) {
        case VertexRun::Stop::kUnreadable:
            outcome.unreadableVertex = index;
            break;
        case VertexRun::Stop::kNotFinite:
            outcome.failure = "the height of vertex " + std::to_string(index) + " is not a finite number";
            break;
        case VertexRun::Stop::kOutOfMemory:
            outcome.failure = kOutOfMemoryProblem;
            break;
        case VertexRun::Stop::kLinesEnded:
            outcome.failure =
                first.failure.value_or("the file ends before vertex line " + std::to_string(index) + " (of " +
                                       std::to_string(vertexCount_) + ")");
            break;
        case VertexRun::Stop::kCounted:
        case VertexRun::Stop::kNone:
            break;
    }
    outcome.decimalCommaHeights = first.decimalCommaHeights;
    outcome.mesh.heights = std::move(first.heights);
    outcome.mesh.lowest = first.lowest;
    outcome.mesh.highest = first.highest;
    return outcome;
}

}  // namespace tessiloom
