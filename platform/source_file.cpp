#include "platform/source_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
    // A file that says it holds nothing may hold something all the same (some file systems tell no
    // size): it is read by copying, as far as it goes.
    if (size_ > 0) view_.emplace(::fileno(file_.get()), size_);
    if (view_ && !view_->Held()) view_.reset();
}

bool SourceFile::BytesLost() const {
    if (view_ && view_->BytesLost()) return true;
    struct stat status {};
    return file_ && ::fstat(::fileno(file_.get()), &status) == 0 &&
           static_cast<std::uint64_t>(status.st_size) < size_;
}

ByteSource::View SourceFile::ViewAt(std::uint64_t offset, std::size_t capacity) const {
    if (!view_) return {};
    if (view_->BytesLost()) return {view_->Bytes(), 0, kBytesLostProblem};
    const std::uint64_t count = offset < size_ ? std::min<std::uint64_t>(capacity, size_ - offset) : 0;
    return {view_->Bytes() + std::min(offset, size_), static_cast<std::size_t>(count), std::nullopt};
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
