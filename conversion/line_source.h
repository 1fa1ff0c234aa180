#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/byte_source.h"
#include "platform/large_memory.h"

namespace tessiloom {

// Splits a byte source, from `begin` on, into lines. A line ends at CR LF, at a lone CR or
// at a lone LF; the last line may end at the end of the input instead. Lines are handed out as
// views into one large block, so reading a line allocates nothing; the block grows only for a line
// longer than it.
class LineSource {
  public:
    // The bytes read are followed in memory by a line feed and then by zeros, this many bytes in all,
    // so that a search for a line's end always ends and a parser may load a whole word or vector
    // past it.
    static constexpr std::size_t kPadding = 64;
    // A block and its padding fill one large page: fresh memory is faulted in once, not 512 times.
    static constexpr std::size_t kBlockBytes = (std::size_t{1} << 21) - kPadding;

    static constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

    explicit LineSource(const ByteSource& bytes, std::size_t blockBytes = kBlockBytes,
                        std::uint64_t begin = 0);
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // Sets `line` to the next line without its terminator; it stays valid until the next call.
    // Returns false at the end of the input or after a read failure (see Failure()).
    bool NextLine(std::string_view& line);

    // The bytes read but not yet handed out, for a reader that takes whole lines from them in place.
    // A line feed stands at `end`, and kPadding - 1 more readable bytes after it.
    struct Unread {
        const char* begin;
        const char* end;
    };
    Unread UnreadBytes() const { return {buffer_.get() + begin_, buffer_.get() + end_}; }
    // Hands out the first `count` unread bytes, which end in a whole line, as NextLine would have.
    void Skip(std::size_t count) {
        begin_ += count;
        scanned_ = begin_;
    }

    // Why the source could not be read; empty when it could.
    const std::optional<std::string>& Failure() const { return failure_; }

    // The offset in the source of the first byte not yet handed out in a line.
    std::uint64_t Position() const { return offset_ - (end_ - begin_); }
    // The offset up to which the source has been read; nothing before it is read again.
    std::uint64_t ReadUpTo() const { return offset_; }
    const ByteSource& Bytes() const { return *bytes_; }
    // Reads on from `bytes`, which must give the same bytes as the source so far, or fewer.
    void ReadThrough(const ByteSource& bytes) { bytes_ = &bytes; }
    std::size_t BlockBytes() const { return capacity_; }
    // Reads `bytes` from `begin` on, as a new source would, in the block it has: fresh memory is
    // slow to fault in, so a block is made ready before the start is known, and read again.
    void Restart(const ByteSource& bytes, std::uint64_t begin);

  private:
    // The first CR or LF at or after scanned_, or end_.
    std::size_t FindLineEnd();
    // Moves the unread bytes to the front, grows the block if they fill it, and reads more.
    // Returns false when nothing more could be read.
    bool Refill();
    // Sets what follows the bytes read: a line feed, then zeros.
    void EndBytes();

    const ByteSource* bytes_;
    std::uint64_t offset_;  // where the next read starts
    std::optional<std::string> failure_;
    std::size_t capacity_;
    LargeArray<char> buffer_;  // capacity_ bytes and the padding
    std::size_t begin_ = 0;    // first unread byte
    std::size_t end_ = 0;      // one past the last byte read
    std::size_t scanned_ = 0;  // no line end lies in [begin_, scanned_)
    bool endOfInput_ = false;
};

}  // namespace tessiloom
