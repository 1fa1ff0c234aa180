#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/large_memory.h"

namespace tessiloom {

// The vertex heights in listing order. Storage grows in fixed blocks of large pages as heights are
// appended, so memory follows the vertex lines actually read (never a count a header claims) and
// growing never copies: the peak stays at 8 bytes a height plus one block.
class HeightList {
  public:
    static constexpr std::size_t kBlockBits = 18;  // 2 MiB, one large page
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;

    HeightList() = default;
    HeightList(std::initializer_list<double> heights) {
        for (const double height : heights) Append(height);
    }

    void Append(double height) {
        if ((size_ & (kBlockSize - 1)) == 0) [[unlikely]]
            AddBlock();
        next_[size_ & (kBlockSize - 1)] = height;
        ++size_;
    }
    double operator[](std::size_t index) const {
        return blocks_[index >> kBlockBits][index & (kBlockSize - 1)];
    }
    std::size_t Size() const { return size_; }
    // The heights from `index` on that lie next to each other in memory: at least one, and at most
    // up to the end of the list.
    std::span<const double> RunFrom(std::size_t index) const {
        const std::size_t offset = index & (kBlockSize - 1);
        return {blocks_[index >> kBlockBits].get() + offset, std::min(kBlockSize - offset, size_ - index)};
    }

    // Appends the first `count` heights of `other` (all of them if it holds fewer), letting each of
    // its blocks go as soon as it is copied, so that the two lists never hold more than one block
    // twice. Returns how many were appended.
    std::size_t AppendFrom(HeightList&& other, std::size_t count) {
        count = std::min(count, other.size_);
        for (std::size_t index = 0; index < count;) {
            for (const double height : other.RunFrom(index).first(std::min(kBlockSize, count - index)))
                Append(height);
            index += std::min(kBlockSize, count - index);
            other.blocks_[(index - 1) >> kBlockBits].reset();
        }
        other = HeightList();
        return count;
    }

  private:
    // Out of line: it runs once in 262144 appends, and the rest stay small enough to inline.
    [[gnu::noinline]] void AddBlock() {
        blocks_.push_back(MakeLargeArray<double>(kBlockSize));
        next_ = blocks_.back().get();
    }

    std::vector<LargeArray<double>> blocks_;
    double* next_ = nullptr;  // the block being filled
    std::size_t size_ = 0;
};

// The grid the vertices form: vertex i sits in column i mod columns of row i div columns, and
// row 0 is the bottom row of the image.
struct GridSize {
    std::int32_t columns = 0;
    std::int32_t rows = 0;
};

// What reading the vertex list yields. `lowest` starts at 65000.0 and `highest` at 0.0, so the
// automatic range always reaches down to at least 65000 and up to at least 0.
struct MeshHeights {
    HeightList heights;
    double lowest = 65000.0;
    double highest = 0.0;
};

}  // namespace tessiloom
