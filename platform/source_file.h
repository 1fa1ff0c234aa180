#pragma once

#include <optional>
#include <string>

#include "platform/byte_source.h"
#include "platform/file_handle.h"
#include "platform/file_view.h"

namespace tessiloom {

// A regular file opened for reading on construction and closed on destruction, read from any offset
// and from several threads at once.
class SourceFile final : public ByteSource {
  public:
    explicit SourceFile(const std::string& path);

    // Why the file could not be opened ("No such file or directory", "it is a folder, not a
    // file", "it is not a regular file" for a device or a pipe), to follow the path in a message;
    // empty when it is open. Read failures are worded the same way.
    const std::optional<std::string>& OpenFailure() const { return openFailure_; }

    // Whether bytes of the file were lost while it was read: it is shorter than when it was opened,
    // or bytes seen in place were gone where they were read (another program shortened it, or its
    // disk failed). What was read is then no longer the file's, and may make no sense: a page
    // shortened in the middle reads as zeros past the new end. Views tell it as kBytesLostProblem.
    bool BytesLost() const;
    static constexpr const char* kBytesLostProblem =
        "the file was shortened, or its disk failed, while it was read";

    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override;
    View ViewAt(std::uint64_t offset, std::size_t capacity) const override;
    std::uint64_t Release(std::uint64_t from, std::uint64_t to, bool goesOn) const override {
        return view_ ? view_->Release(from, to, goesOn) : from;
    }
    std::uint64_t Size() const override { return size_; }

  private:
    FileHandle file_;
    std::optional<std::string> openFailure_;
    std::uint64_t size_ = 0;
    std::optional<FileView> view_;  // where the file is seen in place
};

}  // namespace tessiloom
