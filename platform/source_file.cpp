#include "platform/source_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace tessiloom {
namespace {

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

}  // namespace

SourceFile::SourceFile(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::file_type type = std::filesystem::status(path, ignored).type();
    if (type == std::filesystem::file_type::directory) {
        // Opening a folder for reading succeeds on some systems and only its first read fails.
        openFailure_ = "it is a folder, not a file";
        return;
    }
    if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::not_found &&
        type != std::filesystem::file_type::none) {
        // A device or a pipe never ends the way a file does: /dev/zero would fill memory with one
        // endless line, and opening a pipe with no writer would wait forever.
        openFailure_ = "it is not a regular file";
        return;
    }
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) {
        openFailure_ = ErrorText(errno);
        return;
    }
    struct stat status {};
    if (::fstat(::fileno(file_.get()), &status) == 0) size_ = static_cast<std::uint64_t>(status.st_size);
}

ByteSource::Read SourceFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
    if (!file_) return {};
    // Positional reads share no file position, so threads may read different parts at once.
    ssize_t count;
    do {
        count = ::pread(::fileno(file_.get()), buffer, capacity, static_cast<off_t>(offset));
    } while (count < 0 && errno == EINTR);
    if (count < 0) return {0, ErrorText(errno)};
    return {static_cast<std::size_t>(count), std::nullopt};
}

}  // namespace tessiloom
