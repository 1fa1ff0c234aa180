#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessiloom {

// Where a reader gets its bytes: a file, or a string in tests. Every read names its offset, so that
// several readers, on several threads, may take different parts of one source at once.
class ByteSource {
  public:
    struct Read {
        std::size_t count = 0;  // bytes copied; 0 at the end of the source
        // Why reading failed, worded to follow the source's name in a message.
        std::optional<std::string> failure;
    };

    virtual ~ByteSource() = default;

    // Copies up to `capacity` bytes from `offset` on into `buffer`.
    virtual Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const = 0;

    struct View {
        // Null where the source cannot be seen in place; its bytes are then read with ReadAt.
        const char* bytes = nullptr;
        std::size_t count = 0;               // 0 at the end of the source
        std::optional<std::string> failure;  // worded as Read's
    };
    // Sees up to `capacity` bytes from `offset` on where they lie, with no copy. They stay there while
    // the source lives, followed by the rest of its bytes, then a line feed and at least a page of
    // zeros. Once one view is null, all are.
    virtual View ViewAt(std::uint64_t, std::size_t) const { return {}; }
    // Says that the bytes from `from` up to `to`, seen in place, will not be looked at again soon:
    // the memory they take may go, to come back if they are. Where reading `goesOn` from `to`, the
    // memory it goes on in stays, and that of the bytes before it with it: where the memory released
    // ends, from which a later call takes them.
    virtual std::uint64_t Release(std::uint64_t from, std::uint64_t, bool) const { return from; }
    // How many bytes the source held when it was opened: where reading it is expected to end.
    virtual std::uint64_t Size() const = 0;
};

class StringByteSource final : public ByteSource {
  public:
    explicit StringByteSource(std::string_view text) : text_(text) {}
    // It reads the text where it lies, so the text must outlive it.
    explicit StringByteSource(std::string&&) = delete;
    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override;
    std::uint64_t Size() const override { return text_.size(); }

  private:
    std::string_view text_;
};

}  // namespace tessiloom
