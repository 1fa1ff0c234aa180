#pragma once

#include <optional>
#include <string>

#include "conversion/line_source.h"
#include "files/file_handle.h"

namespace tessiloom {

// The source listing, opened for reading on construction and closed on destruction.
class SourceFile final : public ByteSource {
  public:
    explicit SourceFile(const std::string& path);

    // Why the file could not be opened ("No such file or directory", "it is a folder, not a
    // file", "it is not a regular file" for a device or a pipe), to follow the path in a message;
    // empty when it is open. Read failures are worded the same way.
    const std::optional<std::string>& OpenFailure() const { return openFailure_; }

    std::size_t Read(char* buffer, std::size_t capacity) override;
    std::optional<std::string> Failure() const override { return readFailure_; }

  private:
    FileHandle file_;
    std::optional<std::string> openFailure_;
    std::optional<std::string> readFailure_;
};

}  // namespace tessiloom
