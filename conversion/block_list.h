#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <vector>

#include "platform/large_memory.h"

namespace tessiloom {

// A list of plain values in reading order. Storage grows in blocks of large pages as values are
// appended, so memory follows the lines actually read (never a count a header claims) and growing
// never copies: the peak stays at the values plus one block. Another list's blocks can be taken over
// whole, so that lists read apart are joined without copying.
template <typename T>
class BlockList {
  public:
    static constexpr std::size_t kBlockSize = (std::size_t{1} << 21) / sizeof(T);  // one large page

    BlockList() = default;
    BlockList(std::initializer_list<T> values) {
        for (const T& value : values) Append(value);
    }

    // False, appending nothing, when there is no memory for another block.
    bool Append(const T& value) {
        if (next_ == blockEnd_ && !AddBlock()) [[unlikely]]
            return false;
        *next_++ = value;
        ++size_;
        return true;
    }
    std::size_t Size() const { return size_; }
    const T& operator[](std::size_t index) const { return RunFrom(index).front(); }
    // The last value, which the list must hold; it may be changed where it stands.
    T& Back() { return blocks_.back().values[size_ - 1 - blocks_.back().first]; }
    const T& Back() const { return blocks_.back().values[size_ - 1 - blocks_.back().first]; }

    // The values from `index` on that lie next to each other in memory: at least one, and at most
    // up to the end of the list.
    std::span<const T> RunFrom(std::size_t index) const {
        const Run run = RunHolding(index);
        return run.values.subspan(index - run.first);
    }

    // The values that lie next to each other in memory around `index`, and the index of the first.
    struct Run {
        std::size_t first = 0;
        std::span<const T> values;
    };
    Run RunHolding(std::size_t index) const {
        const auto after =
            std::upper_bound(blocks_.begin(), blocks_.end(), index,
                             [](std::size_t wanted, const Block& block) { return wanted < block.first; });
        const std::size_t end = after == blocks_.end() ? size_ : after->first;
        const Block& block = *(after - 1);
        return {block.first, {block.values.get(), end - block.first}};
    }

    // Looks values up by index, as operator[] does, but quicker where one lies near the last: it
    // keeps the run that held the last.
    class Lookup {
      public:
        explicit Lookup(const BlockList& list) : list_(list) {}
        const T& operator[](std::size_t index) {
            if (index - run_.first >= run_.values.size()) run_ = list_.RunHolding(index);
            return run_.values[index - run_.first];
        }

      private:
        const BlockList& list_;
        Run run_;
    };

    // Calls `visit` with each value in order.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        for (std::size_t index = 0; index < size_;) {
            const std::span<const T> run = RunFrom(index);
            for (const T& value : run) visit(value);
            index += run.size();
        }
    }

    // Hands each value in order to `take`, freeing each block once its values are handed on, so that
    // what they are handed to grows while this list shrinks; the list is then empty. False, where
    // `take` returns false, at once.
    template <typename Take>
    bool Drain(Take&& take) {
        bool taken = true;
        for (std::size_t block = 0; block < blocks_.size() && taken; ++block) {
            const std::size_t end = block + 1 < blocks_.size() ? blocks_[block + 1].first : size_;
            const T* const values = blocks_[block].values.get();
            for (std::size_t at = 0; at < end - blocks_[block].first && taken; ++at) taken = take(values[at]);
            blocks_[block].values.reset();
        }
        *this = BlockList();
        return taken;
    }

    // Moves the first `count` values of `other` (all of them if it holds fewer) to the end of this
    // list, taking over the blocks that hold them. Returns how many were moved.
    std::size_t AppendFrom(BlockList&& other, std::size_t count) {
        count = std::min(count, other.size_);
        for (Block& block : other.blocks_) {
            if (block.first >= count) break;
            next_ = block.values.get() + (count - block.first);  // appending goes on after the last moved
            blockEnd_ = block.values.get() + kBlockSize;
            blocks_.push_back({std::move(block.values), size_ + block.first});
        }
        size_ += count;
        other = BlockList();
        return count;
    }

    // A list of the `count` values `values` holds, taken over whole.
    static BlockList Adopt(LargeArray<T> values, std::size_t count) {
        BlockList list;
        list.size_ = count;
        list.blocks_.push_back({std::move(values), 0});
        // Appending starts a block of its own.
        return list;
    }

  private:
    struct Block {
        LargeArray<T> values;
        std::size_t first;  // the index of its first value
    };

    // Out of line: it runs once a block, and the rest stays small enough to inline.
    [[gnu::noinline]] bool AddBlock() {
        LargeArray<T> values = MakeLargeArray<T>(kBlockSize);
        if (!values) return false;
        blocks_.push_back({std::move(values), size_});
        next_ = blocks_.back().values.get();
        blockEnd_ = next_ + kBlockSize;
        return true;
    }

    std::vector<Block> blocks_;
    T* next_ = nullptr;  // where the next value goes
    T* blockEnd_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace tessiloom
