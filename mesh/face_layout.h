#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace tessiloom {

// A face line's A, B and C, vertices of its object by their place; kNoVertexNumber where the text is
// no whole number from 0 on, or the marker is missing.
struct MeshFace {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t c = 0;
};
inline constexpr std::uint32_t kNoVertexNumber = std::numeric_limits<std::uint32_t>::max();

// The layout of a face line read in the usual form, from after "Face" up to and with the byte that
// ends it: which of its bytes are digits, what the others are, and where its corners' digits
// stand. Face lines follow one another in one layout for thousands of lines, changing only where
// a number gains a digit; a line of the same layout reads as the last one did, its corners from
// the same places, checked sixteen bytes at a time instead of followed from marker to marker.
class FaceLayout {
  public:
    static constexpr std::size_t kLongest = 63;  // bytes before the line's end
    // A layout no line has used is dropped, and the next taken only this many lines later: where
    // the layout changes at nearly every line (corners numbered at random), taking each would cost
    // more than it saves.
    static constexpr unsigned kPatience = 256;

    // Sets `face` from the line from `p` to its `end` where it has this layout; false where it has
    // not, or there is none.
    bool Read(const char* p, const char* end, MeshFace& face) {
        // The line's end lies where it did, so that the bytes compared are the line's and those
        // its source holds readable after it.
        return static_cast<std::size_t>(end - p) == length_ && ReadSame(p, face);
    }
    // Offers the layout of a line from `p` to `end` that was read in the usual form, not in this
    // layout, its corners' digits standing `digits[k]` long (one to seven) at `corners[k]`: taken
    // where the last was used, or none was taken for kPatience lines, and the line is no longer
    // than kLongest.
    void Offer(const char* p, const char* end, const char* const (&corners)[3], const unsigned (&digits)[3]) {
        if (!used_ && ++offered_ < kPatience) {
            length_ = kNone;  // so that the lines until the next is taken are not compared with it
            return;
        }
        Take(p, end, corners, digits);
    }

  private:
    static constexpr std::size_t kBytes = kLongest + 1;

    // Read for a line as long as this layout's.
    bool ReadSame(const char* p, MeshFace& face);
    void Take(const char* p, const char* end, const char* const (&corners)[3], const unsigned (&digits)[3]);

    static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

    alignas(16) char shape_[kBytes] = {};  // the bytes, each digit as '0'
    alignas(16) char bound_[kBytes] = {};  // how far above its shape a byte may lie
    std::size_t length_ = kNone;           // none a line has: no layout
    unsigned at_[3] = {};                  // where the corners' digits start
    unsigned shift_[3] = {};               // and how many there are
    bool used_ = true;                     // some line was read in this layout, or none was taken yet
    unsigned offered_ = 0;                 // lines offered since the last was taken
};

}  // namespace tessiloom
