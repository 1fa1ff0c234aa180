#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/large_memory.h"

namespace tessiloom {

// The vertex heights in listing order. Storage grows in blocks of large pages as heights are
// appended, so memory follows the vertex lines actually read (never a count a header claims) and
// growing never copies: the peak stays at 8 bytes a height plus one block. Another list's blocks
// can be taken over whole, so that lists read apart are joined without copying.
class HeightList {
  public:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 18;  // 2 MiB of heights, one large page

    HeightList() = default;
    HeightList(std::initializer_list<double> heights) {
        for (const double height : heights) Append(height);
    }

    // False, appending nothing, when there is no memory for another block.
    bool Append(double height) {
        if (next_ == blockEnd_ && !AddBlock()) [[unlikely]]
            return false;
        *next_++ = height;
        ++size_;
        return true;
    }
    std::size_t Size() const { return size_; }
    double operator[](std::size_t index) const { return RunFrom(index).front(); }

    // The heights from `index` on that lie next to each other in memory: at least one, and at most
    // up to the end of the list.
    std::span<const double> RunFrom(std::size_t index) const {
        const auto after =
            std::upper_bound(blocks_.begin(), blocks_.end(), index,
                             [](std::size_t wanted, const Block& block) { return wanted < block.first; });
        const std::size_t end = after == blocks_.end() ? size_ : after->first;
        const Block& block = *(after - 1);
        return {block.heights.get() + (index - block.first), end - index};
    }

    // Moves the first `count` heights of `other` (all of them if it holds fewer) to the end of this
    // list, taking over the blocks that hold them. Returns how many were moved.
    std::size_t AppendFrom(HeightList&& other, std::size_t count) {
        count = std::min(count, other.size_);
        for (Block& block : other.blocks_) {
            if (block.first >= count) break;
            next_ = block.heights.get() + (count - block.first);  // appending goes on after the last moved
            blockEnd_ = block.heights.get() + kBlockSize;
            blocks_.push_back({std::move(block.heights), size_ + block.first});
        }
        size_ += count;
        other = HeightList();
        return count;
    }

  private:
    struct Block {
        LargeArray<double> heights;
        std::size_t first;  // the index of its first height
    };

    // Out of line: it runs once in 262144 appends, and the rest stay small enough to inline.
    [[gnu::noinline]] bool AddBlock() {
        LargeArray<double> heights = MakeLargeArray<double>(kBlockSize);
        if (!heights) return false;
        blocks_.push_back({std::move(heights), size_});
        next_ = blocks_.back().heights.get();
        blockEnd_ = next_ + kBlockSize;
        return true;
    }

    std::vector<Block> blocks_;
    double* next_ = nullptr;  // where the next height goes
    double* blockEnd_ = nullptr;
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
