#include "conversion/atomic_file.h"

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

namespace tessiloom {
namespace {

constexpr int kNameAttempts = 16;
// The longest name (not path) the usual file systems take, in bytes.
constexpr std::size_t kLongestName = 255;

std::string RandomSuffix(std::mt19937_64& random) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix(12, '0');
    for (char& digit : suffix) digit = kDigits[random() % 16];
    return suffix;
}

// `path` with `suffix` appended. Where the two would make a name longer than a file system takes,
// the end of the name gives way, whole UTF-8 characters at a time: a final name that is legal
// must never fail for want of a legal temporary one.
std::string TemporaryPathFor(const std::string& path, const std::string& suffix) {
    const std::size_t nameStart = path.find_last_of('/') + 1;  // 0 when there is no folder part
    std::size_t end = path.size();
    if (end - nameStart + suffix.size() > kLongestName) {
        end = nameStart + (kLongestName - suffix.size());
        while (end > nameStart && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80) --end;
    }
    return path.substr(0, end) + suffix;
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    std::mt19937_64 random(std::random_device{}());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporaryPath_ = TemporaryPathFor(path_, ".partial-" + RandomSuffix(random));
        errno = 0;
        // "x": never open a file that is already there, even one of a concurrent run.
        file_.reset(std::fopen(temporaryPath_.c_str(), "wbx"));
        if (file_ || errno != EEXIST) break;
    }
    if (!file_) {
        const int error = errno != 0 ? errno : EEXIST;
        temporaryPath_.clear();
        Fail(error);
        return;
    }
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);  // writers hand over large blocks already
}

AtomicFile::~AtomicFile() {
    file_.reset();
    if (!committed_ && !temporaryPath_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(temporaryPath_, ignored);
    }
}

void AtomicFile::Fail(int error) {
    if (!failure_) failure_ = std::generic_category().message(error);
}

bool AtomicFile::Write(const char* data, std::size_t size) {
    if (!file_ || failure_) return false;
    errno = 0;
    if (std::fwrite(data, 1, size, file_.get()) != size) {
        Fail(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool AtomicFile::Commit() {
    if (!file_ || failure_) return false;
    errno = 0;
    const bool flushed = std::fflush(file_.get()) == 0;
    const int flushError = errno;
    errno = 0;
    const bool closed = std::fclose(file_.release()) == 0;
    if (!flushed || !closed) {
        Fail(!flushed ? (flushError != 0 ? flushError : EIO) : (errno != 0 ? errno : EIO));
        return false;
    }
    std::error_code renameError;
    std::filesystem::rename(temporaryPath_, path_, renameError);
    if (renameError) {
        failure_ = renameError.message();
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace tessiloom
