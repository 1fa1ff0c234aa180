#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "platform/test_files.h"

namespace tessiloom {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

constexpr char kOlder[] = "the older file, longer than the new one";
constexpr char kNewer[] = "new";
constexpr fs::perms kOlderPermissions =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

using Writer = std::function<std::optional<std::string>(const fs::path&, std::string_view)>;

std::optional<std::string> Write(const fs::path& target, std::string_view bytes) {
    return WriteFileAtomically(target, bytes);
}

// Dies between writing and renaming, as a crash would: no commit, no destructors.
std::optional<std::string> CrashBeforeRename(const fs::path& target, std::string_view bytes) {
    const pid_t child = fork();
    if (child == 0) {
        AtomicFile file(target);
        file.Write(bytes.data(), bytes.size());
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    return std::nullopt;
}

std::optional<std::string> WriteOnAFullDisk(const fs::path& target, std::string_view bytes) {
    FileSizeCap cap(1024);
    return WriteFileAtomically(target, bytes);
}

// The names in the folder, with a temporary file's random part left out.
Names NamesIn(const TemporaryFolder& folder) {
    Names names = folder.Names();
    for (std::string& name : names) {
        if (const auto at = name.find(".partial-"); at != std::string::npos) name.resize(at + 9);
    }
    return names;
}

struct Case {
    const char* name;
    std::string target;  // in a folder that holds hill.tga: kOlder, with kOlderPermissions
    std::string bytes;
    Writer write;
    std::optional<std::string> failure;
    std::string expected;  // what hill.tga holds afterwards
    Names names;           // the folder afterwards
    std::function<void(const TemporaryFolder&)> prepare = [](const TemporaryFolder&) {};
    bool asRootToo = true;
};

TEST(AtomicFile, PutsTheFileInPlaceWholeOrNotAtAll) {
    const std::string longName(255, 'x');
    const auto link = [](const TemporaryFolder& folder) {
        fs::create_symlink("hill.tga", folder / "link.tga");
    };
    const auto folderInTheWay = [](const TemporaryFolder& folder) {
        fs::create_directory(folder / "folder");
    };
    const auto readOnly = [](const TemporaryFolder& folder) {
        fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    };
    const std::string full(64 * 1024, 'p');
    // clang-format off
    const Case cases[] = {
        {"replaces a longer file", "hill.tga", kNewer, Write, std::nullopt, kNewer, {"hill.tga"}},
        {"a name as long as a name can be", longName, kNewer, Write, std::nullopt, kOlder, {"hill.tga", longName}},
        {"writes through a link", "link.tga", kNewer, Write, std::nullopt, kNewer, {"hill.tga", "link.tga"}, link},
        {"a disk that fills up", "hill.tga", full, WriteOnAFullDisk, "File too large", kOlder, {"hill.tga"}},
        {"a crash between writing and renaming", "hill.tga", kNewer, CrashBeforeRename, std::nullopt, kOlder,
         {"hill.tga", "hill.tga.partial-"}},
        {"a folder that is missing", "missing/hill.tga", kNewer, Write, "No such file or directory", kOlder,
         {"hill.tga"}},
        {"a folder in the way", "folder", kNewer, Write, "Is a directory", kOlder, {"folder", "hill.tga"},
         folderInTheWay},
        {"a read-only folder", "hill.tga", kNewer, Write, "Permission denied", kOlder, {"hill.tga"}, readOnly,
         false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.asRootToo && geteuid() == 0) continue;  // root writes into read-only folders
        TemporaryFolder folder;
        WriteFile(folder / "hill.tga", kOlder);
        fs::permissions(folder / "hill.tga", kOlderPermissions);
        c.prepare(folder);
        EXPECT_EQ(c.write(folder / c.target, c.bytes), c.failure);
        EXPECT_EQ(ReadFile(folder / "hill.tga"), c.expected);
        EXPECT_EQ(fs::status(folder / "hill.tga").permissions(), kOlderPermissions);
        EXPECT_EQ(NamesIn(folder), c.names);
    }
}

}  // namespace
}  // namespace tessiloom
