#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <random>
#include <system_error>

#include "platform/utf8.h"

namespace tessiloom {
namespace {

namespace fs = std::filesystem;

// Another writer may hold the name drawn; a few draws settle it.
constexpr int kNameAttempts = 16;
// The longest name (not path) the usual file systems take, in bytes.
constexpr std::size_t kLongestName = 255;

// Renaming onto a symbolic link would replace the link itself; the file goes where it points, also
// where nothing is yet. A loop of links is left as it is, for opening it to fail.
fs::path ResolveLink(const fs::path& target) {
    constexpr int kMostLinks = 40;  // as the kernel follows
    fs::path resolved = target;
    for (int link = 0; link < kMostLinks; ++link) {
        std::error_code error;
        if (!fs::is_symlink(resolved, error)) return resolved;
        const fs::path pointee = fs::read_symlink(resolved, error);
        if (error) return resolved;
        resolved = pointee.is_absolute() ? pointee : resolved.parent_path() / pointee;
    }
    return target;
}

// A new name beside `target`. Where the target's name and the suffix would make a name longer than
// a file system takes, the end of the name gives way, whole UTF-8 characters at a time: a target
// name that is legal must never fail for want of a legal temporary one.
fs::path TemporaryPathFor(const fs::path& target) {
    const std::string name = target.filename().string();
    const std::string suffix = ".partial-" + std::to_string(std::random_device{}());
    std::size_t end = name.size();
    if (end + suffix.size() > kLongestName) {
        end = Utf8CharacterStart(name, kLongestName - suffix.size());
    }
    return target.parent_path() / (name.substr(0, end) + suffix);
}

// A file that replaces another keeps its owner, group and permissions, as writing it in place would:
// a user's image converted again by root stays theirs to convert, and a file a group shares stays
// the group's. Only root may give a file away and only the group's members may keep its group; for
// others the new file stays their own. The owner first: a change of owner clears the set-ID bits.
bool KeepOwnerAndPermissions(const fs::path& target, int descriptor) {
    struct stat older {};
    if (::stat(target.c_str(), &older) != 0 || !S_ISREG(older.st_mode)) return true;
    if (::fchown(descriptor, older.st_uid, older.st_gid) != 0 &&
        ::fchown(descriptor, static_cast<uid_t>(-1), older.st_gid) != 0) {
        // neither root nor of the group: the file stays the writer's
    }
    return ::fchmod(descriptor, older.st_mode & 07777) == 0;
}

// The rename is an entry in the folder, which reaches the disk on its own way. A file system that
// cannot sync a folder has the file in place all the same, so a failure here is no failure to write.
void SyncFolder(const fs::path& folder) {
    const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// The temporary files alive at this moment, where a signal handler can find them: fixed slots of
// atomic pointers, since a handler may neither lock nor allocate.
constexpr std::size_t kLiveSlots = 8;
std::atomic<const char*> liveTemporaryFiles[kLiveSlots];
static_assert(std::atomic<const char*>::is_always_lock_free);
// Set by the handler before it reads the slots.
std::atomic<bool> ending{false};

void Track(const char* path) {
    for (auto& slot : liveTemporaryFiles) {
        const char* empty = nullptr;
        if (slot.compare_exchange_strong(empty, path)) return;
    }
}

void Untrack(const char* path) {
    for (auto& slot : liveTemporaryFiles) {
        const char* mine = path;
        if (slot.compare_exchange_strong(mine, nullptr)) break;
    }
    // A handler on another thread may have read this path before it left its slot, and be removing
    // it now: the path must outlive that, and the handler ends the program anyway.
    while (ending.load()) ::pause();
}

// Ends the program as the signal would have, without the temporary files it was writing.
void RemoveTemporaryFilesAndEnd(int signal) {
    ending.store(true);
    for (auto& slot : liveTemporaryFiles) {
        if (const char* path = slot.load()) ::unlink(path);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void RemoveTemporaryFilesOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored from the start stays so: nohup ignores SIGHUP, and a shell SIGINT for the
        // jobs it starts in the background.
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) continue;
        std::signal(signal, RemoveTemporaryFilesAndEnd);
    }
}

AtomicFile::AtomicFile(const fs::path& target) : target_(ResolveLink(target)) {
    // The rename would replace a file its owner has made read-only, which writing it in place
    // could not: such a file stays, as it would for any program that opens it to write.
    if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
        Fail(errno);
        return;
    }
    // Nor may it replace a folder, or a device or a pipe (a link to /dev/null would leave a plain
    // file in its place): those are refused before anything is written.
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            Fail(EISDIR);
        } else {
            failure_ = "it is not a regular file";
        }
        return;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporaryPath_ = TemporaryPathFor(target_);
        // "x": never open a file that is already there, such as another writer's temporary file.
        file_.reset(std::fopen(temporaryPath_.c_str(), "wbx"));
        if (file_ || errno != EEXIST) break;
    }
    if (!file_) {
        const int error = errno;
        temporaryPath_.clear();
        Fail(error);
        return;
    }
    std::setbuf(file_.get(), nullptr);  // writers hand over whole blocks already
    Track(temporaryPath_.c_str());
}

AtomicFile::~AtomicFile() {
    file_.reset();
    if (!temporaryPath_.empty()) {
        std::error_code ignored;
        fs::remove(temporaryPath_, ignored);
        Untrack(temporaryPath_.c_str());
    }
}

void AtomicFile::Fail(int error) {
    if (!failure_) failure_ = std::generic_category().message(error != 0 ? error : EIO);
}

bool AtomicFile::Write(const char* data, std::size_t size) {
    if (!file_ || failure_) return false;
    errno = 0;
    if (std::fwrite(data, 1, size, file_.get()) != size) Fail(errno);
    written_ += size;
#if defined(SYNC_FILE_RANGE_WRITE)
    // The disk starts on what is written while the rest is still being made, so that the sync in
    // Commit() waits on the last stretch alone: 7% of a conversion of the 2049 x 2049 listing, 5% of
    // the 708 x 708 one. Only a hint: the sync reports what fails.
    if (written_ - startedToDisk_ >= kStretchToDisk) {
        ::sync_file_range(::fileno(file_.get()), static_cast<off_t>(startedToDisk_),
                          static_cast<off_t>(written_ - startedToDisk_), SYNC_FILE_RANGE_WRITE);
        startedToDisk_ = written_;
    }
#endif
    return !failure_;
}

void AtomicFile::Commit() {
    if (!file_ || failure_) return;
    errno = 0;
    // Without the sync the rename could reach the disk before the data, and a crash in between would
    // leave an empty or partial file under the target's name, the older one already gone.
    const int descriptor = ::fileno(file_.get());
    if (std::fflush(file_.get()) != 0 || !KeepOwnerAndPermissions(target_, descriptor) ||
        ::fsync(descriptor) != 0) {
        Fail(errno);
        return;
    }
    // Closing can still report a failed write-back, so it has to happen before the rename.
    if (std::fclose(file_.release()) != 0 || std::rename(temporaryPath_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
        return;
    }
    Untrack(temporaryPath_.c_str());
    temporaryPath_.clear();  // the name is the target's now
    SyncFolder(target_.parent_path());
}

std::optional<std::string> WriteFileAtomically(const fs::path& target, std::string_view bytes) {
    AtomicFile file(target);
    if (file.Write(bytes.data(), bytes.size())) file.Commit();
    return file.Failure();
}

}  // namespace tessiloom
