#include "conversion/reader.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "conversion/height_text.h"
#include "conversion/number_text.h"
#include "conversion/val.h"

namespace tessiloom {
namespace {

constexpr std::string_view kVerticesMarker = "Vertices:";
constexpr std::string_view kFacesMarker = "Faces:";
constexpr std::string_view kVertexListMarker = "Vertex list";
constexpr std::string_view kHeightMarker = "Z:";
constexpr std::string_view kXMarker = "X:";
constexpr std::string_view kYMarker = "Y:";

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

std::optional<std::int32_t> IsSquareGrid(const HeaderCounts& counts) {
    const double side = std::sqrt(static_cast<double>(counts.vertexCount));
    const double half = static_cast<double>(counts.faceCount) / 2.0;
    if (std::sqrt(half) + 1.0 != side) return std::nullopt;
    return static_cast<std::int32_t>(side);
}

std::optional<std::string> SkipToVertexList(LineSource& source) {
    std::string_view line;
    if (!SkipToLineWith(source, kVertexListMarker, line)) {
        return EndedBefore(source, "the line with \"Vertex list\"");
    }
    return std::nullopt;
}

namespace {

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

    bool Wants(std::int32_t index) const {
        return index == 0 || findingColumns_ || index == plane_.columns - 1 || index == last_;
    }

    void Note(std::string_view line, std::int32_t index) {
        const PlanePoint point{ValAfter(line, kXMarker), ValAfter(line, kYMarker)};
        if (index == 0) plane_.corners.first = point;
        if (findingColumns_) {
            findingColumns_ = point.y == plane_.corners.first.y;
            if (findingColumns_) plane_.columns = index + 1;
        }
        if (index == plane_.columns - 1) plane_.corners.firstRowEnd = point;
        if (index == last_) plane_.corners.last = point;
    }

  private:
    GridPlane& plane_;
    std::int32_t last_;
    bool findingColumns_;
};

template <bool kWithPlane>
VertexHeights ReadHeights(LineSource& source, std::int32_t vertexCount, GridPlane* plane) {
    VertexHeights result;
    HeightList& heights = result.mesh.heights;
    std::optional<PlaneNotes> notes;
    if constexpr (kWithPlane) notes.emplace(*plane, vertexCount);
    // Kept in registers while the lines stream past, and stored once at the end.
    double lowest = result.mesh.lowest;
    double highest = result.mesh.highest;
    std::string_view line;
    for (std::int32_t index = 0; index < vertexCount; ++index) {
        std::size_t marker;
        if (!source.NextLine(line, kHeightMarker[0], marker)) {
            result.failure = EndedBefore(
                source, "vertex line " + std::to_string(index) + " (of " + std::to_string(vertexCount) + ")");
            break;
        }
        // The line source found the first "Z"; it starts the marker unless no ":" follows it.
        if (marker != LineSource::kNoMarker && line.substr(marker, kHeightMarker.size()) != kHeightMarker) {
            marker = line.find(kHeightMarker, marker + 1);
        }
        if (marker == std::string_view::npos) {
            result.unreadableVertex = index;
            break;
        }
        const double height = ReadHeightText(line.substr(marker + kHeightMarker.size()));
        if (!std::isfinite(height)) {
            result.failure = "the height of vertex " + std::to_string(index) + " is not a finite number";
            break;
        }
        if constexpr (kWithPlane) {
            if (notes->Wants(index)) notes->Note(line, index);
        }
        heights.Append(height);
        if (height > highest) highest = height;
        if (height < lowest) lowest = height;
    }
    result.mesh.lowest = lowest;
    result.mesh.highest = highest;
    return result;
}

}  // namespace

VertexHeights ReadVertexHeights(LineSource& source, std::int32_t vertexCount, GridPlane* plane) {
    return plane ? ReadHeights<true>(source, vertexCount, plane)
                 : ReadHeights<false>(source, vertexCount, nullptr);
}

}  // namespace tessiloom
