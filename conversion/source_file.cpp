#include "conversion/source_file.h"

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
    errno = 0;
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) {
        openFailure_ = ErrorText(errno != 0 ? errno : ENOENT);
        return;
    }
    // Lines are cut out of our own large blocks; a second buffer inside the stream would only copy.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

std::size_t SourceFile::Read(char* buffer, std::size_t capacity) {
    if (!file_ || readFailure_) return 0;
    errno = 0;
    const std::size_t count = std::fread(buffer, 1, capacity, file_.get());
    if (count == 0 && std::ferror(file_.get())) {
        const int error = errno != 0 ? errno : EIO;
        readFailure_ = ErrorText(error);
    }
    return count;
}

}  // namespace tessiloom
