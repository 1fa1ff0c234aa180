#include "mesh/mesh_lines.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "conversion/plain_number.h"
#include "conversion/val.h"

namespace tessiloom {
namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

bool IsLetter(char c) {
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'z';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool StartsWith(const char* p, const char* end, std::string_view prefix) {
    return static_cast<std::size_t>(end - p) >= prefix.size() &&
           std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

// The number at `text`, up to the line's `end`, by Val's rule with a decimal comma read as a point.
double ValueAt(const char* text, const char* end) {
    double value;
    if (ReadPlainNumber<true>(text, end, value)) return value;
    return Val(std::string_view(text, static_cast<std::size_t>(end - text)), true);
}

// The vertex number at `text`, up to the line's `end`, read as ValueAt reads it.
double IndexAt(const char* text, const char* end) {
    std::uint32_t index;
    return ReadPlainWhole<true>(text, end, index) ? index : ValueAt(text, end);
}

// Sets `values` to the numbers after the first of each marker: kFirst, kSecond and kThird, each a
// letter that follows no other letter and is followed by a colon, from `p` up to the line's `end`
// (a letter stands before `p`), each read by `read`. NaN where a marker is missing. How many
// markers were found.
template <char kFirst, char kSecond, char kThird, typename Read>
int ReadMarked(const char* p, const char* end, double (&values)[3], Read read) {
    values[0] = values[1] = values[2] = kMissing;
    unsigned found = 0;
    while (found != 7) {
        p = FindLineEndOr<kFirst, kSecond, kThird>(p);
        if (p >= end) break;
        const unsigned slot = *p == kFirst ? 0 : *p == kSecond ? 1 : 2;
        if (p[1] == ':' && !IsLetter(p[-1]) && (found & (1u << slot)) == 0) {
            values[slot] = read(p + 2, end);
            found |= 1u << slot;
        }
        ++p;
    }
    return std::popcount(found);
}

std::uint32_t VertexNumber(double value) {
    const bool whole = value >= 0 && value < kNoVertexNumber && value == std::floor(value);
    return whole ? static_cast<std::uint32_t>(value) : kNoVertexNumber;
}

bool TakeVertex(const char* p, const char* end, UpAxis up, MeshRun& run) {
    double values[3];
    const auto value = [](const char* text, const char* line) { return ValueAt(text, line); };
    if (ReadMarked<'X', 'Y', 'Z'>(p, end, values, value) == 0) return true;  // "Vertex list:"
    const auto [x, y, z] = values;
    return run.vertices.Append(up == UpAxis::kZ ? GroundPoint{x, y, z} : GroundPoint{x, -z, y});
}

bool TakeFace(const char* p, const char* end, MeshRun& run) {
    double values[3];
    const auto index = [](const char* text, const char* line) { return IndexAt(text, line); };
    if (ReadMarked<'A', 'B', 'C'>(p, end, values, index) == 0) return true;  // "Face list:"
    const MeshFace face{VertexNumber(values[0]), VertexNumber(values[1]), VertexNumber(values[2])};
    for (int corner = 0; corner < 3 && !run.strayFace; ++corner) {
        if (VertexNumber(values[corner]) == kNoVertexNumber)
            run.strayFace = StrayFace{run.faces.Size(), values[corner]};
    }
    return run.faces.Append(face);
}

// A named object's name: the text after the colon, without blanks or quotes around it.
std::string NameAfter(const char* p, const char* end) {
    while (p < end && IsBlank(*p)) ++p;
    while (end > p && IsBlank(end[-1])) --end;
    if (end - p >= 2 && *p == '"' && end[-1] == '"') {
        ++p;
        --end;
    }
    return std::string(p, end);
}

}  // namespace

bool MeshLines::TakeLine(std::string_view line, MeshRun& run) const {
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end && IsBlank(*p)) ++p;
    const auto mark = [&](ObjectMark::Kind kind, std::string name) {
        run.marks.push_back({kind, std::move(name), run.vertices.Size(), run.faces.Size()});
        return true;
    };
    switch (*p) {  // the line's end, where it is empty
        case 'V':
            return !StartsWith(p, end, "Vertex") || TakeVertex(p + 6, end, up_, run);
        case 'F':
            return !StartsWith(p, end, "Face") || TakeFace(p + 4, end, run);
        case 'N':
            if (StartsWith(p, end, "Named object:") || StartsWith(p, end, "Named Object:"))
                return mark(ObjectMark::Kind::kNamed, NameAfter(p + 13, end));
            return true;
        case 'T':
            return !StartsWith(p, end, "Tri-mesh") || mark(ObjectMark::Kind::kTriMesh, "");
        default:
            return true;
    }
}

RunEnd MeshLines::Read(LineSource& lines, MeshRun& run, std::int64_t mostLines) const {
    if (mostLines <= 0) return RunEnd::kPaused;
    std::int64_t left = mostLines;
    const bool linesLeft =
        lines.ForEachLine([&](std::string_view line, const char*) __attribute__((always_inline)) {
            if (!TakeLine(line, run)) {
                run.outOfMemory = true;
                return false;
            }
            return --left > 0;
        });
    if (run.outOfMemory) return RunEnd::kFinished;
    if (linesLeft) return RunEnd::kPaused;
    run.failure = lines.Failure();
    return RunEnd::kLinesEnded;
}

RunEnd MeshLines::Join(MeshRun& first, MeshRun&& next) const {
    const std::uint64_t vertices = first.vertices.Size();
    const std::uint64_t faces = first.faces.Size();
    for (ObjectMark& mark : next.marks) {
        mark.vertex += vertices;
        mark.face += faces;
        first.marks.push_back(std::move(mark));
    }
    if (!first.strayFace && next.strayFace)
        first.strayFace = StrayFace{next.strayFace->face + faces, next.strayFace->vertex};
    first.vertices.AppendFrom(std::move(next.vertices), next.vertices.Size());
    first.faces.AppendFrom(std::move(next.faces), next.faces.Size());
    first.outOfMemory = next.outOfMemory;
    first.failure = std::move(next.failure);
    return first.outOfMemory ? RunEnd::kFinished : RunEnd::kLinesEnded;
}

}  // namespace tessiloom
