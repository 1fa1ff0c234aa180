#include "mesh/mesh_lines.h"

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

// Hands `read(slot, text)` the text after the first of each marker: kFirst (slot 0), kSecond and
// kThird, each a letter that follows no other letter and is followed by a colon, from `p` up to the
// line's `end` (a letter stands before `p`). Which markers were found, a bit a slot.
template <char kFirst, char kSecond, char kThird, typename Read>
unsigned ReadMarked(const char* p, const char* end, Read&& read) {
    unsigned found = 0;
    while (found != 7) {
        p = FindLineEndOr<kFirst, kSecond, kThird>(p);
        if (p >= end) break;
        const unsigned slot = *p == kFirst ? 0 : *p == kSecond ? 1 : 2;
        if (p[1] == ':' && !IsLetter(p[-1]) && (found & (1u << slot)) == 0) {
            read(slot, p + 2);
            found |= 1u << slot;
        }
        ++p;
    }
    return found;
}

std::uint32_t VertexNumber(double value) {
    if (!(value >= 0 && value < kNoVertexNumber)) return kNoVertexNumber;
    const auto number = static_cast<std::uint32_t>(value);
    return number == value ? number : kNoVertexNumber;
}

bool TakeVertex(const char* p, const char* end, UpAxis up, MeshRun& run) {
    double values[3] = {kMissing, kMissing, kMissing};
    if (ReadMarked<'X', 'Y', 'Z'>(
            p, end, [&](unsigned slot, const char* text) { values[slot] = ValueAt(text, end); }) == 0)
        return true;  // "Vertex list:"
    const auto [x, y, z] = values;
    return run.vertices.Append(up == UpAxis::kZ ? GroundPoint{x, y, z} : GroundPoint{x, -z, y});
}

bool TakeFace(const char* p, const char* end, MeshRun& run) {
    MeshFace face{kNoVertexNumber, kNoVertexNumber, kNoVertexNumber};
    std::uint32_t* const corners[3] = {&face.a, &face.b, &face.c};
    double read[3] = {kMissing, kMissing, kMissing};  // what a corner names that is no vertex number
    const auto take = [&](unsigned slot, const char* text) {
        if (ReadPlainWhole<true>(text, end, *corners[slot])) return;
        read[slot] = ValueAt(text, end);
        *corners[slot] = VertexNumber(read[slot]);
    };
    if (ReadMarked<'A', 'B', 'C'>(p, end, take) == 0) return true;  // "Face list:"
    for (int corner = 0; corner < 3 && !run.strayFace; ++corner) {
        if (*corners[corner] == kNoVertexNumber) run.strayFace = StrayFace{run.faces.Size(), read[corner]};
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
