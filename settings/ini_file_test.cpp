#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/test_files.h"
#include "settings/settings_file.h"

namespace tessiloom {
namespace {

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
        {"a section one letter off", "[Bpp]\nSourceFile=x\n", ""},
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
        TemporaryFolder folder;
        if (c.file) WriteFile(folder / "Quarnel.ini", *c.file);
        EXPECT_EQ(ReadIniValue(folder / "Quarnel.ini", kSettingsSectionRead, kSourceFileKey), c.expected);
    }
}

struct WriteCase {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file at all
    std::string value;
    std::optional<std::string> failure;  // after "writing '<file>': "
    std::string after;
};

TEST(IniFile, WritesOneValueAndKeepsEverythingElse) {
    const std::string other =
        "; kept\r\n[Window]\r\nSourceFile=other\r\n\r\n[App]\r\nSourceFile=old\r\nZ=1\r\n";
    const WriteCase cases[] = {
        {"missing file", std::nullopt, "C:\\x.asc", std::nullopt, "[app]\nSourceFile=C:\\x.asc\n"},
        {"other lines", other, "/home/u/new.asc", std::nullopt,
         "; kept\r\n[Window]\r\nSourceFile=other\r\n\r\n[App]\r\nSourceFile=/home/u/new.asc\r\nZ=1\r\n"},
        {"a line end in the value", other, "a\nb", "a value cannot hold a line end", other},
        {"a disk that fills up", other, std::string(64 * 1024, 'x'), "File too large", other},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        const std::string file = folder / "Quarnel.ini";
        if (c.before) WriteFile(file, *c.before);
        std::optional<std::string> failure;
        {
            FileSizeCap cap(4096);
            failure = WriteIniValue(file, kSettingsSectionWritten, kSourceFileKey, c.value);
        }
        EXPECT_EQ(failure, c.failure ? std::optional("writing '" + file + "': " + *c.failure) : std::nullopt);
        EXPECT_EQ(ReadFile(file), c.after);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"Quarnel.ini"});
    }
}

}  // namespace
}  // namespace tessiloom
