#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "settings/settings_file.h"

namespace tessiloom {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder()
        : path_(fs::temp_directory_path() /
                ("tessiloom-settings-" + std::to_string(std::random_device()()))) {
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    fs::path File() const { return SettingsFilePath(path_); }
    void Put(const std::string& bytes) const { std::ofstream(File(), std::ios::binary) << bytes; }
    std::string Bytes() const {
        std::ostringstream bytes;
        bytes << std::ifstream(File(), std::ios::binary).rdbuf();
        return bytes.str();
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {}));
    }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// Files may grow only to `bytes` while this lives; the signal is ignored so the write fails instead.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

  private:
    sighandler_t oldHandler_;
    rlimit old_{};
};

struct ReadCase {
    const char* name;
    std::optional<std::string> file;  // nullopt: no file at all
    std::string expected;
};

TEST(IniFile, ReadsLikeTheProfileFunctions) {
    const std::string longValue(300, 'p');
    const ReadCase cases[] = {
        {"missing file", std::nullopt, ""},
        {"upper-case section, lower-case key", "[APP]\nsourcefile=C:\\x.asc\n", "C:\\x.asc"},
        {"blanks around names and value, CRLF", " [ app ]\r\n\tSOURCEFILE =  C:\\x.asc \r\n", "C:\\x.asc"},
        {"missing section", "[Other]\nSourceFile=x\n", ""},
        {"missing key", "[App]\nSource=x\n", ""},
        {"sentinel reads as missing", "[App]\nSourceFile=NOENTRYFOUND\n", ""},
        {"sentinel in other case stands", "[App]\nSourceFile=noentryfound\n", "noentryfound"},
        {"300 characters read whole", "[App]\nSourceFile=" + longValue + "\n", longValue},
        {"first section and first key win", "[app]\nSourceFile=1\nSourceFile=2\n[App]\nSourceFile=3\n", "1"},
        {"comment is not a key", "[App]\n;SourceFile=x\n", ""},
        {"byte order mark skipped", "\xEF\xBB\xBF[App]\nSourceFile=x", "x"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        if (c.file) folder.Put(*c.file);
        EXPECT_EQ(ReadIniValue(folder.File(), kSettingsSectionRead, kSourceFileKey), c.expected);
    }
}

TEST(IniFile, WriteCreatesMissingFile) {
    ScratchFolder folder;
    EXPECT_EQ(WriteIniValue(folder.File(), kSettingsSectionWritten, kSourceFileKey, "C:\\x.asc"),
              std::nullopt);
    EXPECT_EQ(folder.Bytes(), "[app]\nSourceFile=C:\\x.asc\n");
    EXPECT_EQ(ReadIniValue(folder.File(), kSettingsSectionRead, kSourceFileKey), "C:\\x.asc");
}

TEST(IniFile, WriteReplacesValueAndKeepsEverythingElse) {
    ScratchFolder folder;
    folder.Put("; kept\r\n[Window]\r\nSourceFile=other\r\n\r\n[App]\r\nSourceFile=old\r\nZ=1\r\n");
    fs::permissions(folder.File(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(WriteIniValue(folder.File(), "app", "SourceFile", "/home/u/new.asc"), std::nullopt);
    EXPECT_EQ(folder.Bytes(),
              "; kept\r\n[Window]\r\nSourceFile=other\r\n\r\n[App]\r\nSourceFile=/home/u/new.asc\r\nZ=1\r\n");
    EXPECT_EQ(fs::status(folder.File()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folder.Entries(), 1u);
}

TEST(IniFile, FailedWriteLeavesOldFileAndNoTemporary) {
    const std::string old = "[app]\r\nSourceFile=old\r\n";
    for (const std::string& value : {std::string("a\nb"), std::string("a\rb"), std::string(64 * 1024, 'x')}) {
        SCOPED_TRACE(value.substr(0, 3));
        ScratchFolder folder;
        folder.Put(old);
        std::optional<std::string> failure;
        {
            FileSizeLimit limit(1024);  // only the long value runs into it, halfway through the temporary
            failure = WriteIniValue(folder.File(), "app", "SourceFile", value);
        }
        ASSERT_TRUE(failure.has_value());
        EXPECT_TRUE(failure->starts_with("writing '" + folder.File().string() + "': ")) << *failure;
        EXPECT_EQ(folder.Bytes(), old);
        EXPECT_EQ(folder.Entries(), 1u);
    }
}

TEST(IniFile, WriteIntoReadOnlyFolderFails) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    ScratchFolder folder;
    folder.Put("[app]\nSourceFile=old\n");
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_NE(WriteIniValue(folder.File(), "app", "SourceFile", "new"), std::nullopt);
    EXPECT_EQ(folder.Bytes(), "[app]\nSourceFile=old\n");
}

}  // namespace
}  // namespace tessiloom
