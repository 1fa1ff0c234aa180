#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "platform/test_files.h"
#include "settings/settings_file.h"

namespace tessiloom {
namespace {

TEST(IniFile, ReadsLikeTheProfileFunctions) {
    // The file (none at all for nullopt), and the value read from it.
    // clang-format off
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, ""}, {"[APP]\nsourcefile=C:\\x.asc\n", "C:\\x.asc"},
        {" [ app ]\r\n\tSOURCEFILE =  C:\\x.asc \r\n", "C:\\x.asc"},  // blanks around names and value, CRLF
        {"[Other]\nSourceFile=x\n", ""}, {"[Bpp]\nSourceFile=x\n", ""}, {"[App]\nSource=x\n", ""},
        {"[App]\nSourceFile=NOENTRYFOUND\n", ""}, {"[App]\nSourceFile=noentryfound\n", "noentryfound"},  // the sentinel
        {"[App]\nSourceFile=" + std::string(300, 'p') + "\n", std::string(300, 'p')}, {"[app]\nSourceFile=1\nSourceFile=2\n[App]\nSourceFile=3\n", "1"},  // the first section and key win
        {"[App]\n;SourceFile=x\n", ""}, {"\xEF\xBB\xBF[App]\nSourceFile=x", "x"},  // a comment; a byte order mark
    };
    // clang-format on
    for (const auto& [file, expected] : cases) {
        TemporaryFolder folder;
        if (file) WriteFile(folder / "Quarnel.ini", *file);
        EXPECT_EQ(ReadIniValue(folder / "Quarnel.ini", kSettingsSectionRead, kSourceFileKey), expected)
            << file.value_or("no file");
    }
}

TEST(IniFile, WritesOneValueAndKeepsEverythingElse) {
    const std::string other =
        "; kept\r\n[Window]\r\nSourceFile=other\r\n\r\n[App]\r\nSourceFile=old\r\nZ=1\r\n";
    // The file before (nullopt: none), the value written, why writing fails after "writing '<file>': ", the
    // file afterwards.
    // clang-format off
    const std::tuple<std::optional<std::string>, std::string, std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, "C:\\x.asc", std::nullopt, "[app]\nSourceFile=C:\\x.asc\n"},
        {other, "/home/u/new.asc", std::nullopt,
         "; kept\r\n[Window]\r\nSourceFile=other\r\n\r\n[App]\r\nSourceFile=/home/u/new.asc\r\nZ=1\r\n"},
        {other, "a\nb", "a value cannot hold a line end", other}, {"\n", "x", std::nullopt, "\n[app]\nSourceFile=x\n"}, {"\r\n", "x", std::nullopt, "\r\n[app]\r\nSourceFile=x\r\n"},
        {other, std::string(64 * 1024, 'x'), "File too large", other},  // a disk that fills up
    };
    // clang-format on
    for (const auto& [before, value, failure, after] : cases) {
        TemporaryFolder folder;
        const std::string file = folder / "Quarnel.ini";
        if (before) WriteFile(file, *before);
        FileSizeCap fullDisk(4096);
        EXPECT_EQ(WriteIniValue(file, kSettingsSectionWritten, kSourceFileKey, value),
                  failure ? std::optional("writing '" + file + "': " + *failure) : std::nullopt);
        EXPECT_EQ(ReadFile(file), after);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"Quarnel.ini"});
    }
}

// Folders made for the file are the user's alone; one that was there keeps its permissions.
TEST(IniFile, MakesTheMissingFoldersForTheUserAlone) {
    TemporaryFolder folder;
    const auto there = std::filesystem::status(folder.Path()).permissions();
    EXPECT_EQ(
        WriteIniValue(folder / ".config/tessiloom/Quarnel.ini", kSettingsSectionWritten, kSourceFileKey, "x"),
        std::nullopt);
    EXPECT_EQ(ReadFile(folder / ".config/tessiloom/Quarnel.ini"), "[app]\nSourceFile=x\n");
    for (const char* made : {".config", ".config/tessiloom"})
        EXPECT_EQ(std::filesystem::status(folder / made).permissions(), std::filesystem::perms::owner_all)
            << made;
    EXPECT_EQ(std::filesystem::status(folder.Path()).permissions(), there);
}

// A pipe in the file's place never ends as a file does: it is neither waited on nor replaced.
TEST(IniFile, LeavesAPipeAlone) {
    TemporaryFolder folder;
    const std::string pipe = folder / "Quarnel.ini";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(ReadIniValue(pipe, kSettingsSectionRead, kSourceFileKey), "");
    EXPECT_EQ(WriteIniValue(pipe, kSettingsSectionWritten, kSourceFileKey, "x"),
              "writing '" + pipe + "': cannot read its present contents");
}

}  // namespace
}  // namespace tessiloom
