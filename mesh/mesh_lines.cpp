#include "mesh/mesh_lines.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

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

// Past " 12:" at `p`, a line's printed number and its colon, as exporters write them before the
// markers; null for any other text.
const char* PastPrintedNumber(const char* p) {
    const char* const start = plain_number_detail::SkipBlanks(p);
    p = start;
    unsigned digits;
    while ((digits = plain_number_detail::LeadingDigits(plain_number_detail::LoadWord(p))) == 8) p += 8;
    p += digits;
    return p != start && *p == ':' ? p + 1 : nullptr;
}

// Past "<kMarker>:" after blanks at `p`; null when the text there is other.
template <char kMarker>
const char* PastMarker(const char* p) {
    p = plain_number_detail::SkipBlanks(p);
    return p[0] == kMarker && p[1] == ':' ? p + 2 : nullptr;
}

// The plain number after blanks at `p`, as ValueAt reads it where the text that follows it is a blank
// or a marker: past it, or null when it is no plain number. Where it starts goes to `text`, what was
// read of it to `read`.
[[gnu::always_inline]] inline const char* ReadPlainValue(const char* p, const char*& text,
                                                         PlainDigits& read) {
    text = plain_number_detail::SkipBlanks(p);
    read = ReadPlainDigits<true>(text);
    return read.read ? read.end : nullptr;
}

// Where the digits of the number `read` at `text` stand in the `line`.
PlainNumberPlace PlaceIn(const char* line, const char* text, const PlainDigits& read) {
    const bool negative = *text == '-';
    return {negative, static_cast<unsigned>(text + negative - line), read.integerDigits,
            static_cast<unsigned>(read.end - read.fractionDigits - line), read.fractionDigits};
}

// A vertex line the way nearly every exporter writes it, " 12:  X:120.0     Y:40.0     Z:3.25" after
// "Vertex" and nothing but blanks after Z's number, read in one pass, its layout taken by `layout`
// where it wants it: ReadMarked and ValueAt would read the same values, and with the faces read
// alike this saves an eighth of a whole conversion of a large grid. False on any other text, which
// they then read.
bool ReadUsualVertex(const char* p, const char* end, double (&values)[3], VertexLayout& layout) {
    const char* const line = p;
    const char* texts[3];
    PlainDigits reads[3];
    if (!(p = PastPrintedNumber(p)) || !(p = PastMarker<'X'>(p)) ||
        !(p = ReadPlainValue(p, texts[0], reads[0])) || !(p = PastMarker<'Y'>(p)) ||
        !(p = ReadPlainValue(p, texts[1], reads[1])) || !(p = PastMarker<'Z'>(p)) ||
        !(p = ReadPlainValue(p, texts[2], reads[2])) || plain_number_detail::SkipBlanks(p) != end)
        return false;
    for (int k = 0; k < 3; ++k) values[k] = reads[k].value;
    if (layout.Wants()) {
        layout.Take(line, end,
                    {PlaceIn(line, texts[0], reads[0]), PlaceIn(line, texts[1], reads[1]),
                     PlaceIn(line, texts[2], reads[2])});
    }
    return true;
}

bool TakeVertex(const char* p, const char* end, UpAxis up, MeshRun& run) {
    double values[3] = {kMissing, kMissing, kMissing};
    const bool plain =
        run.vertexLayout.Read(p, end, values) || ReadUsualVertex(p, end, values, run.vertexLayout);
    if (!plain && ReadMarked<'X', 'Y', 'Z'>(p, end, [&](unsigned slot, const char* text) {
                      values[slot] = ValueAt(text, end);
                  }) == 0)
        return true;  // "Vertex list:"
    const auto [x, y, z] = values;
    // Not -z: a ground at Z = 0 would be told as -0 in messages and the POV-Ray include.
    const GroundPoint point = up == UpAxis::kZ ? GroundPoint{x, y, z} : GroundPoint{x, 0.0 - z, y};
    run.extent.Add(point);
    return plain ? run.vertices.Append(point) : run.vertices.AppendAny(point);
}

// The vertex number right after a marker's colon at `p`, as ReadPlainWhole reads it where a blank or
// a marker follows: past it, or null for any other text.
const char* ReadPlainCorner(const char* p, std::uint32_t& corner) {
    const unsigned digits = ReadWholeDigits(p, corner);
    return digits > 0 ? p + digits : nullptr;
}

// A face line the way exporters write it, " 7:    A:3 B:4 C:8" after "Face", then the line's end or
// blanks and "AB:", read in one pass, its layout taken by `layout` where it wants it; false on any other
// text, which ReadMarked then reads.
bool ReadUsualFace(const char* p, const char* end, MeshFace& face, FaceLayout& layout) {
    const char* const line = p;
    const char* corners[3];
    const char* past[3];
    if (!(p = PastPrintedNumber(p)) || !(corners[0] = PastMarker<'A'>(p)) ||
        !(past[0] = ReadPlainCorner(corners[0], face.a)) || !(corners[1] = PastMarker<'B'>(past[0])) ||
        !(past[1] = ReadPlainCorner(corners[1], face.b)) || !(corners[2] = PastMarker<'C'>(past[1])) ||
        !(past[2] = ReadPlainCorner(corners[2], face.c)))
        return false;
    p = plain_number_detail::SkipBlanks(past[2]);
    if (p != end && !(p[0] == 'A' && p[1] == 'B')) return false;
    const unsigned digits[3] = {static_cast<unsigned>(past[0] - corners[0]),
                                static_cast<unsigned>(past[1] - corners[1]),
                                static_cast<unsigned>(past[2] - corners[2])};
    if (layout.Wants()) layout.Take(line, end, corners, digits);
    return true;
}

// A face line in any other form than the usual, as ReadMarked reads it into `face`, noting in `run`
// the first face that names no vertex by number; false for a line with no A, B or C ("Face list:").
[[gnu::noinline]] bool ReadOtherFace(const char* p, const char* end, MeshRun& run, MeshFace& face) {
    face = {kNoVertexNumber, kNoVertexNumber, kNoVertexNumber};
    std::uint32_t* const corners[3] = {&face.a, &face.b, &face.c};
    double read[3] = {kMissing, kMissing, kMissing};  // what a corner names that is no vertex number
    const auto take = [&](unsigned slot, const char* text) {
        if (ReadPlainWhole<true>(text, end, *corners[slot])) return;
        read[slot] = ValueAt(text, end);
        *corners[slot] = VertexNumber(read[slot]);
    };
    if (ReadMarked<'A', 'B', 'C'>(p, end, take) == 0) return false;
    for (int corner = 0; corner < 3 && !run.strayFace; ++corner) {
        if (*corners[corner] == kNoVertexNumber) run.strayFace = StrayFace{run.faceLines, read[corner]};
    }
    return true;
}

// A named object's name: the text after the colon, without blanks or quotes around it.
std::string_view NameAfter(const char* p, const char* end) {
    while (p < end && IsBlank(*p)) ++p;
    while (end > p && IsBlank(end[-1])) --end;
    if (end - p >= 2 && *p == '"' && end[-1] == '"') {
        ++p;
        --end;
    }
    return std::string_view(p, static_cast<std::size_t>(end - p));
}

}  // namespace

bool UsedPlaces::Grow(std::size_t places) {
    try {
        bytes_.resize(LastStart() + (places + 7) / 8 * 8);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool UsedPlaces::Join(UsedPlaces&& next, bool continues) {
    const std::size_t carried = continues ? next.PlacesOf(0) : 0;
    if (carried > PlacesOf(Objects() - 1) && !Grow(carried)) return false;
    std::uint8_t* const last = bytes_.data() + LastStart();
    // Eight places at a time: byte by byte, joining the places of a large grid's last run took 2% of
    // its whole conversion.
    for (std::size_t place = 0; place < carried; place += 8) {
        std::uint64_t mine;
        std::uint64_t theirs;
        std::memcpy(&mine, last + place, sizeof mine);
        std::memcpy(&theirs, next.bytes_.data() + place, sizeof theirs);
        mine |= theirs;
        std::memcpy(last + place, &mine, sizeof mine);
    }
    if (next.laterStarts_.empty()) return true;
    try {
        const std::size_t shift = bytes_.size() - next.laterStarts_.front();
        bytes_.insert(bytes_.end(),
                      next.bytes_.begin() + static_cast<std::ptrdiff_t>(next.laterStarts_.front()),
                      next.bytes_.end());
        for (const std::size_t start : next.laterStarts_) laterStarts_.push_back(start + shift);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::uint64_t UsedPlaces::BitsFrom(std::size_t object, std::size_t first) const {
    std::uint64_t bits = 0;
    const std::size_t count = std::min<std::size_t>(64, PlacesOf(object) - first);
    const std::uint8_t* const places = bytes_.data() + Start(object) + first;
    for (std::size_t place = 0; place < count; place += 8) {
        std::uint64_t eight;  // eight places, each 0 or 1, which the multiplication gathers in its top byte
        std::memcpy(&eight, places + place, sizeof eight);
        if constexpr (std::endian::native != std::endian::little) eight = __builtin_bswap64(eight);
        bits |= (eight * 0x0102040810204080u) >> 56 << place;
    }
    return bits;
}

bool MeshLines::TakeFace(const char* p, const char* end, MeshRun& run) const {
    MeshFace face;
    if (!run.faceLayout.Read(p, end, face) && !ReadUsualFace(p, end, face, run.faceLayout) &&
        !ReadOtherFace(p, end, run, face))
        return true;  // "Face list:"
    ++run.faceLines;
    if (faces_ == FaceReading::kKeep) return run.faces.Append(face);
    if (run.marks.Size() > 0 && !run.marks.Back().MakesMesh()) return true;  // no mesh's
    return run.places.TryMark(face) || MarkBeyond(face, run);
}

bool MeshLines::MarkBeyond(MeshFace face, MeshRun& run) const {
    // How many vertices the object may have, which bounds the memory its faces take: where it
    // begins in the run, its vertex lines so far; where it began before, as many vertex lines as the
    // listing could hold, each taking more than eight bytes.
    const std::uint64_t vertices =
        run.marks.Size() == 0 ? sourceBytes_ / 8 + 1 : run.vertices.Size() - run.marks.Back().vertex;
    const std::uint32_t most = std::max({face.a, face.b, face.c});
    if (most == kNoVertexNumber || most >= vertices) {
        run.doubtfulFace = true;
        return true;
    }
    return run.places.Grow(std::size_t{most} + 1) && run.places.TryMark(face);
}

bool MeshLines::Mark(ObjectMark::Kind kind, std::string_view name, MeshRun& run) const {
    using Kind = ObjectMark::Kind;
    ObjectMark* const named =
        run.marks.Size() > 0 && !run.marks.Back().MakesMesh() ? &run.marks.Back() : nullptr;
    if (named && kind == Kind::kNamed) {
        // Named objects without a mesh (lights, cameras) one after another, whatever lines lie
        // between them (they belong to no mesh): only the first's place counts, where it ends the
        // mesh before it, and only the last's name, which the next mesh may take. So a listing of
        // many of them keeps one mark and one name.
        run.names.resize(named->nameStart);
        run.names.append(name);
        named->nameSize = name.size();
        return true;
    }
    if (kind == Kind::kTriMesh && faces_ == FaceReading::kMarkPlaces) run.places.Open();
    if (named && named->vertex == run.vertices.Size() && named->face == run.faceLines) {
        named->kind = Kind::kNamedMesh;  // the usual header, right after the name: one mark for both
        return true;
    }
    if (!run.marks.Append({kind, run.names.size(), name.size(), run.vertices.Size(), run.faceLines}))
        return false;
    run.names.append(name);
    return true;
}

[[gnu::always_inline]] inline bool MeshLines::Take(std::string_view line, MeshRun& run) const {
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end && IsBlank(*p)) ++p;
    switch (*p) {  // the line's end, where it is empty
        case 'V':
            return !StartsWith(p, end, "Vertex") || TakeVertex(p + 6, end, up_, run);
        case 'F':
            return !StartsWith(p, end, "Face") || TakeFace(p + 4, end, run);
        case 'N':
            if (StartsWith(p, end, "Named object:") || StartsWith(p, end, "Named Object:"))
                return Mark(ObjectMark::Kind::kNamed, NameAfter(p + 13, end), run);
            return true;
        case 'T':
            return !StartsWith(p, end, "Tri-mesh") || Mark(ObjectMark::Kind::kTriMesh, "", run);
        default:
            return true;
    }
}

bool MeshLines::TakeLine(std::string_view line, MeshRun& run) const {
    return Take(line, run);
}

RunEnd MeshLines::Read(LineSource& lines, MeshRun& run, std::int64_t mostLines) const {
    if (mostLines <= 0) return RunEnd::kPaused;
    std::int64_t left = mostLines;
    bool linesLeft = false;
    // A line that needs more than the blocks' memory (an object's mark, its name) may throw, on
    // either reading thread.
    try {
        linesLeft = lines.ForEachLine([&](std::string_view line, const char*) __attribute__((always_inline)) {
            if (!Take(line, run)) {
                run.outOfMemory = true;
                return false;
            }
            return --left > 0;
        });
    } catch (const std::bad_alloc&) {
        run.outOfMemory = true;
    }
    if (run.outOfMemory) return RunEnd::kFinished;
    if (linesLeft) return RunEnd::kPaused;
    run.failure = lines.Failure();
    return RunEnd::kLinesEnded;
}

RunEnd MeshLines::Join(MeshRun& first, MeshRun&& next) const {
    const std::uint64_t vertices = first.vertices.Size();
    const std::uint64_t faces = first.faceLines;
    // The face lines before the next run's first mark belong with the last mark of this one.
    const bool placesHeld =
        first.places.Join(std::move(next.places), first.marks.Size() == 0 || first.marks.Back().MakesMesh());
    bool marksHeld = true;
    try {
        const std::size_t names = first.names.size();
        first.names += next.names;
        next.marks.ForEach([&](ObjectMark mark) {
            mark.nameStart += names;
            mark.vertex += vertices;
            mark.face += faces;
            marksHeld = marksHeld && first.marks.Append(mark);
        });
    } catch (const std::bad_alloc&) {
        marksHeld = false;
    }
    if (!marksHeld) {
        first.outOfMemory = true;
        return RunEnd::kFinished;
    }
    if (!first.strayFace && next.strayFace)
        first.strayFace = StrayFace{next.strayFace->face + faces, next.strayFace->vertex};
    first.extent.Add(next.extent);
    const bool verticesHeld = first.vertices.AppendFrom(std::move(next.vertices));
    first.faces.AppendFrom(std::move(next.faces), next.faces.Size());
    first.faceLines += next.faceLines;
    first.doubtfulFace = first.doubtfulFace || next.doubtfulFace;
    first.outOfMemory = next.outOfMemory || !placesHeld || !verticesHeld;
    first.failure = std::move(next.failure);
    return first.outOfMemory ? RunEnd::kFinished : RunEnd::kLinesEnded;
}

}  // namespace tessiloom
