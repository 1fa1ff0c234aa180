#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <vector>

#include "platform/test_files.h"

namespace tessiloom {
namespace {

namespace fs = std::filesystem;

constexpr char kOlder[] = "the older file, longer than the new one";
constexpr auto kOlderPermissions = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

// Dies between writing and renaming, as a crash would: no commit, no destructors.
std::optional<std::string> CrashBeforeRename(const fs::path& target, std::string_view bytes) {
    if (fork() == 0) {
        AtomicFile file(target);
        file.Write(bytes.data(), bytes.size());
        _exit(0);
    }
    wait(nullptr);
    return std::nullopt;
}

// Interrupted between writing and renaming, as by Ctrl-C, after a batch of more files than are
// tracked at once has come and gone; with the interrupt ignored, as in a job a shell starts in the
// background, the program goes on and puts the file in place.
template <bool kIgnored>
std::optional<std::string> InterruptBeforeRename(const fs::path& target, std::string_view bytes) {
    if (fork() == 0) {
        std::signal(SIGINT, kIgnored ? SIG_IGN : SIG_DFL);  // not as the test was started
        RemoveTemporaryFilesOnSignals();
        std::vector<std::unique_ptr<AtomicFile>> batch;  // committed, and still alive
        for (int earlier = 0; earlier < 10; ++earlier) {
            batch.push_back(std::make_unique<AtomicFile>(target));
            batch.back()->Write(kOlder, sizeof kOlder - 1);
            batch.back()->Commit();
        }
        AtomicFile file(target);
        file.Write(bytes.data(), bytes.size());
        std::raise(SIGINT);
        file.Commit();
        _exit(0);
    }
    int status = 0;
    wait(&status);
    const bool interrupted = WIFSIGNALED(status) && WTERMSIG(status) == SIGINT;
    return interrupted == kIgnored ? std::optional<std::string>("ended otherwise") : std::nullopt;
}

std::pair<uid_t, gid_t> OwnerOf(const fs::path& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return {status.st_uid, status.st_gid};
}

struct Case {
    const char* name;
    // The file written, in a folder that holds hill.tga (kOlder, with kOlderPermissions), and its bytes.
    std::string target, bytes;
    std::optional<std::string> failure;
    std::string expected;            // what hill.tga holds afterwards
    std::vector<std::string> names;  // the folder afterwards, a temporary file's random part left out
    void (*prepare)(const fs::path& folder) = nullptr;
    decltype(&WriteFileAtomically) write = WriteFileAtomically;
};

TEST(AtomicFile, PutsTheFileInPlaceWholeOrNotAtAll) {
    const std::string longName(255, 'x');
    // clang-format off
    const Case cases[] = {
        {"replaces a longer file", "hill.tga", "new", std::nullopt, "new", {"hill.tga"}},
        {"a name as long as a name can be", longName, "new", std::nullopt, kOlder, {"hill.tga", longName}},
        {"writes through a link", "link.tga", "new", std::nullopt, "new", {"hill.tga", "link.tga"},
         [](const fs::path& folder) { fs::create_symlink("hill.tga", folder / "link.tga"); }},
        {"writes through a link to no file yet", "link.tga", "new", std::nullopt, kOlder, {"hill.tga", "link.tga", "made.tga"},
         [](const fs::path& folder) { fs::create_symlink("made.tga", folder / "link.tga"); }},
        {"a pipe in the way", "pipe", "new", "it is not a regular file", kOlder, {"hill.tga", "pipe"},
         [](const fs::path& folder) { mkfifo((folder / "pipe").c_str(), 0600); }},
        {"a disk that fills up", "hill.tga", std::string(64 * 1024, 'p'), "File too large", kOlder, {"hill.tga"}},
        {"a crash between writing and renaming", "hill.tga", "new", std::nullopt, kOlder,
         {"hill.tga", "hill.tga.partial-"}, nullptr, CrashBeforeRename},
        {"an interrupt between writing and renaming", "hill.tga", "new", std::nullopt, kOlder, {"hill.tga"}, nullptr,
         InterruptBeforeRename<false>},
        {"an ignored interrupt", "hill.tga", "new", std::nullopt, "new", {"hill.tga"}, nullptr, InterruptBeforeRename<true>},
        {"a folder that is missing", "missing/hill.tga", "new", "No such file or directory", kOlder, {"hill.tga"}},
        {"a folder in the way", "folder", "new", "Is a directory", kOlder, {"folder", "hill.tga"},
         [](const fs::path& folder) { fs::create_directory(folder / "folder"); }},
        {"a read-only folder", "hill.tga", "new", "Permission denied", kOlder, {"hill.tga"},
         [](const fs::path& folder) { fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec); }},
        // Given away where the test may (as root), and set-group-ID, which a change of owner clears.
        {"keeps the owner", "hill.tga", "new", std::nullopt, "new", {"hill.tga"}, [](const fs::path& folder) {
            if (chown((folder / "hill.tga").c_str(), 4321, 4321) != 0) {}
            chmod((folder / "hill.tga").c_str(), 02750);
        }},
        {"a read-only file", "hill.tga", "new", "Permission denied", kOlder, {"hill.tga"},
         [](const fs::path& folder) { fs::permissions(folder / "hill.tga", fs::perms::owner_read); }},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.failure == "Permission denied" && geteuid() == 0) continue;  // root writes all the same
        TemporaryFolder folder;
        WriteFile(folder / "hill.tga", kOlder);
        fs::permissions(folder / "hill.tga", kOlderPermissions);
        if (c.prepare) c.prepare(folder.Path());
        const fs::perms permissions = fs::status(folder / "hill.tga").permissions();
        const std::pair<uid_t, gid_t> owner = OwnerOf(folder / "hill.tga");
        FileSizeCap fullDisk(4096);
        EXPECT_EQ(c.write(folder / c.target, c.bytes), c.failure);
        EXPECT_EQ(ReadFile(folder / "hill.tga"), c.expected);
        EXPECT_EQ(fs::status(folder / "hill.tga").permissions(), permissions);
        EXPECT_EQ(OwnerOf(folder / "hill.tga"), owner);
        auto names = folder.Names();
        std::ranges::replace_if(
            names, [](auto& name) { return name.starts_with("hill.tga.partial-"); }, "hill.tga.partial-");
        EXPECT_EQ(names, c.names);
    }
}

// Some file systems refuse a name that is not UTF-8, so a name too long for its suffix gives way
// whole characters at a time.
TEST(AtomicFile, ShortensALongNameForItsTemporaryFileByWholeCharacters) {
    TemporaryFolder folder;
    std::string name;
    for (int i = 0; i < 127; ++i) name += "\xC3\xA9";  // e acute, 254 bytes in all
    CrashBeforeRename(folder / name, "new");
    const std::string temporary = folder.Names().at(0);
    const std::string kept = temporary.substr(0, temporary.find(".partial-"));
    EXPECT_TRUE(temporary.size() <= 255 && kept.size() % 2 == 0 && name.starts_with(kept)) << temporary;
}

}  // namespace
}  // namespace tessiloom
