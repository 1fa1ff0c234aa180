#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/fetch_ahead.h"
#include "conversion/line_end.h"
#include "platform/byte_source.h"
#include "platform/large_memory.h"

namespace tessiloom {

// The memory a LineSource reads into where its source cannot be seen in place: a block of bytes
// followed by kPadding more, in a large page. One block serves the line sources a thread makes one
// after another, so that its fresh memory is faulted in once: it is touched when first held.
class LineBlock {
  public:
    static constexpr std::size_t kPadding = 64;
    // A block and its padding fill one large page.
    static constexpr std::size_t kDefaultBytes = (std::size_t{1} << 21) - kPadding;

    explicit LineBlock(std::size_t bytes = kDefaultBytes) : capacity_(std::max<std::size_t>(bytes, 2)) {}

    // Makes the block's memory where it has none yet; false when there is none to be had.
    bool Hold();
    char* Data() const { return bytes_.get(); }
    std::size_t Capacity() const { return capacity_; }
    // Doubles the block, keeping its first `keep` bytes; false, leaving it as it was, when there is
    // no memory for that.
    bool Grow(std::size_t keep);

  private:
    std::size_t capacity_;
    LargeArray<char> bytes_;  // capacity_ bytes and the padding
};

// Splits a byte source, from `begin` on, into lines ended as line_end.h says; the last line may end
// at the end of the input instead. Lines are handed out as views into the block, so reading a line
// allocates nothing; the block grows only for a line longer than it.
class LineSource {
  public:
    static constexpr std::size_t kPadding = LineBlock::kPadding;
    // Where the source is seen in place, how much is taken at a time: the pages passed are released
    // as soon as a quarter of a large page is taken past them, so that they take little memory.
    static constexpr std::size_t kViewBytes = std::size_t{1} << 18;

    // Reads into `block`, which must outlive the line source.
    LineSource(const ByteSource& bytes, std::uint64_t begin, LineBlock& block);
    // Reads from the start, into a block of its own of `blockBytes`.
    explicit LineSource(const ByteSource& bytes, std::size_t blockBytes = LineBlock::kDefaultBytes);
    ~LineSource();
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // Sets `line` to the next line without its terminator; it stays valid until the next call. The
    // line is followed in memory by its terminator (a line feed where the input ends without one)
    // and at least kPadding - 1 more readable bytes, so that a parser may load a whole word or
    // vector past its end. Returns false at the end of the input or after a failure (Failure()).
    bool NextLine(std::string_view& line) {
        const char* const begin = data_ + begin_;
        const char* const end = FindLineEnd(begin);
        // Only the byte after a CR tells whether it ends the line alone.
        if (end + 1 < data_ + end_) [[likely]] {
            line = std::string_view(begin, static_cast<std::size_t>(end - begin));
            begin_ = static_cast<std::size_t>(PastLineEnd(end) - data_);
            return true;
        }
        return NextLineAtBlockEnd(line);
    }

    // Hands the next lines, as NextLine would, to `take(line, mark)` until it returns false, `mark`
    // being where one of kBytes first stands in the line, or the line's end when none does. Returns
    // false when the lines ran out first. The lines the block holds whole go by in a loop that keeps
    // its place in a register and finds kBytes in the same pass as the line's end: that saves a tenth
    // of the instructions a whole conversion takes, against a search of its own after the line's end.
    template <char... kBytes, typename Take>
    [[gnu::always_inline]] bool ForEachLine(Take&& take) {
        for (;;) {
            const char* begin = data_ + begin_;
            const char* const held = data_ + end_;
            for (;;) {
                const char* const mark = FindLineEndOr<kBytes...>(begin);
                const char* const end = ((*mark == kBytes) || ...) ? FindLineEnd(mark + 1) : mark;
                if (end + 1 >= held) break;
                const std::string_view line(begin, static_cast<std::size_t>(end - begin));
                // The lines of a file seen in place come from memory, not from a block just copied.
                FetchAhead(end, 1);
                begin = PastLineEnd(end);
                if (!take(line, mark)) {
                    begin_ = static_cast<std::size_t>(begin - data_);
                    return true;
                }
            }
            begin_ = static_cast<std::size_t>(begin - data_);
            std::string_view line;
            if (!NextLineAtBlockEnd(line)) return false;
            if (!take(line, FindLineEndOr<kBytes...>(line.data()))) return true;
        }
    }

    // Why the source could not be read, or there was no memory for a line; empty when neither.
    const std::optional<std::string>& Failure() const { return failure_; }

    // The offset in the source of the first byte not yet handed out in a line.
    std::uint64_t Position() const { return offset_ - (end_ - begin_); }
    // The offset in the source where `line`, the last line handed out, starts.
    std::uint64_t PositionOf(std::string_view line) const {
        return offset_ - (end_ - static_cast<std::size_t>(line.data() - data_));
    }

  private:
    // Makes the line source ready to read its block, or to fail at once when there is none.
    void Start();
    // NextLine where the line, or the byte after it, does not lie in the bytes read yet.
    bool NextLineAtBlockEnd(std::string_view& line);
    // Hands out the line from begin_ up to the terminator at `end`, or up to end_ when it is end_.
    bool HandOut(std::string_view& line, std::size_t end);
    // Moves the unread bytes to the front, grows the block if they fill it, and reads more; or,
    // where the source is seen in place, sees more of it. Sets atEnd_ when nothing more could be read.
    void Refill();
    // Where the source is seen in place: the view of the bytes after those seen, and taking it in.
    ByteSource::View ViewNext() const;
    void TakeView(ByteSource::View view);
    // Puts what must follow the bytes read after them: a line feed, then zeros.
    void EndBytes();

    const ByteSource& bytes_;
    std::optional<LineBlock> ownBlock_;  // before block_, which may refer to it
    LineBlock& block_;
    const char* data_ = nullptr;  // the block's bytes, where lines are read
    std::uint64_t offset_;        // where the next read starts
    std::optional<std::string> failure_;
    std::size_t begin_ = 0;  // first unread byte
    std::size_t end_ = 0;    // one past the last byte read
    bool atEnd_ = false;     // nothing more can be read
    // The source is seen in place, data_ being where its bytes lie from where it began: no block.
    bool viewing_ = false;
    std::uint64_t released_ = 0;  // the bytes seen before this offset have been released
};

}  // namespace tessiloom
