#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/byte_sink.h"
#include "platform/file_handle.h"

namespace tessiloom {

// A file that appears under its name only whole, and only once it is on disk. The bytes go to a
// new temporary file beside the target, its name kept within the 255 bytes a file name may have.
// Commit() flushes it to disk, gives it the permissions of the file it replaces, renames it onto
// the target and flushes the folder, so that a crash at any moment leaves the older file or the
// new one, each whole. A target that is a symbolic link is written where the link points, and the
// link stays. A target that may not be written (a read-only file) is refused, not replaced. Until
// Commit() succeeds, and whenever a step fails, the target is left exactly as it was, and the
// destructor removes the temporary file.
class AtomicFile final : public ByteSink {
  public:
    explicit AtomicFile(const std::filesystem::path& target);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Write(const char* data, std::size_t size) override;
    // Puts the file in place, unless writing failed already; Failure() tells whether it did.
    void Commit();

    // Why creating, writing or committing failed ("No space left on device"), to follow the
    // target's path in a message; empty while nothing failed.
    const std::optional<std::string>& Failure() const { return failure_; }

  private:
    void Fail(int error);

    std::filesystem::path target_;         // where the link, if any, points
    std::filesystem::path temporaryPath_;  // empty once it is the target's, or if it was never made
    FileHandle file_;
    std::optional<std::string> failure_;
    static constexpr std::uint64_t kStretchToDisk = std::uint64_t{1} << 20;
    std::uint64_t written_ = 0;
    std::uint64_t startedToDisk_ = 0;  // the bytes before it are on their way to the disk
};

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary files of the AtomicFiles alive at that
// moment before ending the program as they would, so that an interrupted program leaves behind
// only the files it had put in place.
void RemoveTemporaryFilesOnSignals();

// Writes `bytes` as the whole new contents of `target` through an AtomicFile: why it failed
// (worded as AtomicFile::Failure), or nothing.
std::optional<std::string> WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tessiloom
