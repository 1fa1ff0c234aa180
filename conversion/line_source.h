#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessiloom {

// Where a LineSource gets its bytes: a file, or a string in tests.
class ByteSource {
  public:
    virtual ~ByteSource() = default;

    // Copies up to `capacity` bytes into `buffer` and returns how many; 0 means the end of the
    // input or a read failure, which Failure() then describes.
    virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;

    // Why reading failed, worded to follow the source's name in a message; empty when it did not.
    virtual std::optional<std::string> Failure() const = 0;
};

class StringByteSource final : public ByteSource {
  public:
    explicit StringByteSource(std::string_view text) : text_(text) {}
    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::optional<std::string> Failure() const override { return std::nullopt; }

  private:
    std::string_view text_;
};

// Splits a byte source into lines. A line ends at CR LF, at a lone CR or at a lone LF; the last
// line may end at the end of the input instead. Lines are handed out as views into one large
// block, so reading a line allocates nothing; the block grows only for a line longer than it.
class LineSource {
  public:
    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
    static constexpr std::size_t kNoMarker = std::string_view::npos;
    // Every line handed out is followed in memory by at least this many readable bytes (its
    // terminator, later lines, or zeros), so a parser may load a whole word at the line's end.
    static constexpr std::size_t kPadding = 8;

    explicit LineSource(ByteSource& bytes, std::size_t blockBytes = kBlockBytes);
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // Sets `line` to the next line without its terminator; it stays valid until the next call.
    // Returns false at the end of the input or after a read failure (see Failure()).
    bool NextLine(std::string_view& line);
    // The same, and sets `marker` to the index in `line` of the first `markerByte`, or kNoMarker:
    // the search rides along with the search for the line's end.
    bool NextLine(std::string_view& line, char markerByte, std::size_t& marker);

    std::optional<std::string> Failure() const { return bytes_.Failure(); }

  private:
    template <bool kSeekMarker>
    bool Next(std::string_view& line, char markerByte, std::size_t& marker);
    // The first CR or LF at or after scanned_, or end_; notes the first `markerByte` before it.
    template <bool kSeekMarker>
    std::size_t FindLineEnd(char markerByte);
    // Moves the unread bytes to the front, grows the block if they fill it, and reads more.
    // Returns false when nothing more could be read.
    bool Refill();

    ByteSource& bytes_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;  // capacity_ bytes and the padding
    std::size_t begin_ = 0;           // first unread byte
    std::size_t end_ = 0;             // one past the last byte read
    std::size_t scanned_ = 0;         // no line end lies in [begin_, scanned_)
    std::size_t marker_ = kNoMarker;  // the first marker byte in [begin_, scanned_)
    bool endOfInput_ = false;
};

}  // namespace tessiloom
