#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

// The layouts of vertex and face lines. Exporters write thousands of such lines one after another in
// one layout, which changes only where a number gains a digit or a sign: a line of the layout of the
// last one read in the usual form reads as that one did, its numbers' digits from the same places.
// That the line has the layout is checked sixteen bytes at a time, instead of followed from marker to
// marker: every byte that was no digit must be the same, every digit a digit, and the line's end
// where it was. The usual reading would read such a line the same way, since where it goes next
// depends only on which bytes are digits and what the others are.
namespace tessiloom {

// A face line's A, B and C, vertices of its object by their place; kNoVertexNumber where the text is
// no whole number from 0 on, or the marker is missing.
struct MeshFace {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
};
inline constexpr std::uint32_t kNoVertexNumber = std::numeric_limits<std::uint32_t>::max();

// Which bytes of a line are digits and what the others are.
class LineShape {
  public:
    static constexpr std::size_t kLongest = 79;  // bytes before the line's end
    // A shape no line has had is dropped, and the next taken only this many lines later: where the
    // layout changes at nearly every line (corners numbered at random), taking each would cost more
    // than it saves.
    static constexpr unsigned kPatience = 256;

    // Whether the line from `p` to its `end` has this shape; the bytes its source holds readable
    // after its end are read too.
    bool Fits(const char* p, const char* end) {
        return static_cast<std::size_t>(end - p) == length_ && FitsBytes(p);
    }
    // Whether the shape of the next line read in the usual form, not in this shape, is to be taken:
    // where this one was used, or none was taken for kPatience lines. One that is not is dropped.
    bool Wants() {
        if (!used_ && ++offered_ < kPatience) {
            length_ = kNone;  // so that the lines until the next is taken are not compared with it
            return false;
        }
        return true;
    }
    // Takes the shape of the line from `p` to `end`; false, taking none, where it is longer than
    // kLongest.
    bool Take(const char* p, const char* end);

  private:
    static constexpr std::size_t kBytes = 80;
    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

    bool FitsBytes(const char* p);

    alignas(16) char shape_[kBytes] = {};  // the bytes, each digit as '0'
    alignas(16) char bound_[kBytes] = {};  // how far above its shape a byte may lie
    std::size_t length_ = kNone;           // none a line has: no shape
    bool used_ = true;                     // some line had this shape, or none was taken yet
    unsigned offered_ = 0;                 // lines offered since the last was taken
};

// The layout of a face line, " 7:    A:3 B:4 C:8 AB:1 BC:1 CA:0" after "Face".
class FaceLayout {
  public:
    // Sets `face` from the line from `p` to its `end` where it has this layout; false where not.
    bool Read(const char* p, const char* end, MeshFace& face);
    // Whether the layout of the next line read in the usual form is to be taken, as LineShape says.
    bool Wants() { return shape_.Wants(); }
    // Takes the layout of a line read in the usual form, its corners' digits standing `digits[k]`
    // long (one to seven) at `corners[k]`.
    void Take(const char* p, const char* end, const char* const (&corners)[3], const unsigned (&digits)[3]);

  private:
    LineShape shape_;
    unsigned at_[3] = {};     // where the corners' digits start
    unsigned shift_[3] = {};  // and how far they go to the top of a word: how many there are
};

// Where a plain number's digits stand in a line: "-123.456" as its sign, the digits before its
// point and those after.
struct PlainNumberPlace {
    bool negative = false;
    unsigned integer = 0;  // where the digits before the point start
    unsigned integerDigits = 0;
    unsigned fraction = 0;  // and those after it
    unsigned fractionDigits = 0;
};

// The layout of a vertex line, " 12:  X:120.0     Y:40.0     Z:3.25" after "Vertex".
class VertexLayout {
  public:
    // Sets `values` from the line from `p` to its `end` where it has this layout; false where not.
    bool Read(const char* p, const char* end, double (&values)[3]);
    // Whether the layout of the next line read in the usual form is to be taken, as LineShape says.
    bool Wants() { return shape_.Wants(); }
    // Takes the layout of a line read in the usual form, its numbers standing at `numbers`.
    void Take(const char* p, const char* end, const PlainNumberPlace (&numbers)[3]);

  private:
    LineShape shape_;
    PlainNumberPlace numbers_[3];
};

}  // namespace tessiloom
