#include "settings/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <system_error>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace tessiloom {
namespace {

namespace fs = std::filesystem;

constexpr int kNameAttempts = 16;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

// Without the sync the rename can reach the disk before the data does, and a crash
// in between would leave an empty settings file behind.
bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#if defined(__unix__) || defined(__APPLE__)
    return ::fsync(::fileno(file)) == 0;
#else
    return true;
#endif
}

// A new file beside the target. Until Commit() succeeds, destruction closes and removes
// it, so every early return leaves the folder as it was.
class TemporaryFile {
  public:
    explicit TemporaryFile(fs::path target) : target_(std::move(target)) {}
    ~TemporaryFile() {
        file_.reset();
        std::error_code ignored;
        if (!path_.empty() && !committed_) fs::remove(path_, ignored);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::optional<std::string> Create();
    std::optional<std::string> Write(std::string_view bytes);
    std::optional<std::string> Commit();

  private:
    std::optional<std::string> Failure(const std::string& reason) const {
        return "writing '" + target_.string() + "': " + reason;
    }

    fs::path target_;
    fs::path path_;
    FileHandle file_;
    bool committed_ = false;
};

std::optional<std::string> TemporaryFile::Create() {
    std::random_device random;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        fs::path candidate = target_;
        candidate += ".tmp-" + std::to_string(random());
        // "x" refuses an existing file, so two writers never share a temporary.
        file_.reset(std::fopen(candidate.string().c_str(), "wbx"));
        if (file_) {
            path_ = std::move(candidate);
            return std::nullopt;
        }
        const int error = errno;
        if (error != EEXIST) return Failure("cannot create a temporary file beside it: " + ErrorText(error));
    }
    return Failure("no free temporary file name beside it");
}

std::optional<std::string> TemporaryFile::Write(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size() ||
        !FlushToDisk(file_.get())) {
        return Failure(ErrorText(errno));
    }
    return std::nullopt;
}

std::optional<std::string> TemporaryFile::Commit() {
    // Closing can still report a failed write-back, so it has to happen before the rename.
    if (std::fclose(file_.release()) != 0) return Failure(ErrorText(errno));
    std::error_code error;
    const fs::file_status old = fs::status(target_, error);
    if (fs::exists(old)) {
        fs::permissions(path_, old.permissions(), fs::perm_options::replace, error);
        if (error) return Failure("cannot keep its permissions: " + error.message());
    }
    fs::rename(path_, target_, error);
    if (error) return Failure(error.message());
    committed_ = true;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ReplaceFileAtomically(const fs::path& target, std::string_view bytes) {
    // Renaming onto a symbolic link would replace the link itself; write where it points.
    fs::path resolved = target;
    std::error_code error;
    if (fs::is_symlink(target, error)) {
        fs::path pointee = fs::canonical(target, error);
        if (!error) resolved = std::move(pointee);
    }
    TemporaryFile temporary(resolved);
    if (auto failure = temporary.Create()) return failure;
    if (auto failure = temporary.Write(bytes)) return failure;
    return temporary.Commit();
}

}  // namespace tessiloom
