#pragma once

#include <optional>
#include <string>

#include "platform/byte_source.h"
#include "platform/file_handle.h"

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

    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override;
    std::uint64_t Size() const override { return size_; }

  private:
    FileHandle file_;
    std::optional<std::string> openFailure_;
    std::uint64_t size_ = 0;
};

}  // namespace tessiloom
