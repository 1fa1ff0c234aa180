#include "conversion/reader.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "conversion/number_text.h"
#include "conversion/stretch_reading.h"
#include "conversion/val.h"

namespace tessiloom {
namespace {

constexpr std::string_view kVerticesMarker = "Vertices:";
constexpr std::string_view kFacesMarker = "Faces:";
constexpr std::string_view kVertexListMarker = "Vertex list";

// Why the line source stopped giving lines: a read failure, or else the end of the file before
// `missing`.
std::string EndedBefore(const LineSource& source, const std::string& missing) {
    if (auto failure = source.Failure()) return *failure;
    return "the file ends before " + missing;
}

// Skips lines until one holds `marker`; false when the input ends first.
bool SkipToLineWith(LineSource& source, std::string_view marker, std::string_view& line) {
    while (source.NextLine(line)) {
        if (line.find(marker) != std::string_view::npos) return true;
    }
    return false;
}

// Reads one header count: Val of the rest of the line after the marker, rounded half to even.
std::optional<std::string> ReadCount(std::string_view rest, const char* what, std::int32_t& count) {
    const double value = Val(rest);
    const double rounded = std::nearbyint(value);  // the default rounding mode rounds ties to even
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    if (!(rounded >= kLowest && rounded <= kHighest)) {
        return std::string("the ") + what + " " + NumberText(value) + " does not fit a 32-bit integer";
    }
    if (rounded < 0) return std::string("the ") + what + " " + NumberText(rounded) + " is negative";
    count = static_cast<std::int32_t>(rounded);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadHeaderCounts(LineSource& source, HeaderCounts& counts) {
    std::string_view line;
    if (!SkipToLineWith(source, kVerticesMarker, line))
        return EndedBefore(source, "a line with \"Vertices:\"");
    const std::size_t faces = line.find(kFacesMarker);
    if (faces == std::string_view::npos) return "the header line with \"Vertices:\" has no \"Faces:\"";
    const std::size_t vertices = line.find(kVerticesMarker);
    if (auto failure =
            ReadCount(line.substr(vertices + kVerticesMarker.size()), "vertex count", counts.vertexCount)) {
        return failure;
    }
    return ReadCount(line.substr(faces + kFacesMarker.size()), "face count", counts.faceCount);
}

SquareTest IsSquareGrid(const HeaderCounts& counts) {
    const double side = std::sqrt(static_cast<double>(counts.vertexCount));
    const double half = static_cast<double>(counts.faceCount) / 2.0;
    if (std::sqrt(half) + 1.0 != side) return {};
    return {true, static_cast<std::int32_t>(side)};
}

std::optional<std::string> SkipToVertexList(LineSource& source) {
    std::string_view line;
    if (!SkipToLineWith(source, kVertexListMarker, line)) {
        return EndedBefore(source, "the line with \"Vertex list\"");
    }
    return std::nullopt;
}

VertexHeights ReadVertexHeights(const ByteSource& bytes, std::uint64_t begin, std::int32_t vertexCount,
                                GridPlane* plane, const LinesReading& how) {
    const VertexLines reader(vertexCount, plane);
    VertexRun first = reader.FirstRun();
    if (how.oneThread) {
        LineBlock block(how.blockBytes);
        LineSource lines(bytes, begin, block);
        ReadOnOneThread(reader, lines, first);
    } else {
        ReadInStretches(bytes, begin, reader, first, how.blockBytes);
        reader.ReadAgain(first, bytes);
    }
    return reader.Outcome(std::move(first));
}

}  // namespace tessiloom
