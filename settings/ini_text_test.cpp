#include "settings/ini_text.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace tessiloom {
namespace {

TEST(IniText, SetChangesOnlyWhatItMust) {
    // Why, the text before, the section named, the value set, the text afterwards.
    // clang-format off
    const std::tuple<const char*, std::string, const char*, std::string, std::string> cases[] = {
        {"empty text gets section and key", "", "app", "C:\\x.asc", "[app]\nSourceFile=C:\\x.asc\n"},
        {"replace keeps spelling, blanks, CRLF and other lines",
         "; top\r\n[Other]\r\nSourceFile=keep\r\n\r\n[APP]\r\n  sourcefile = old \r\nNext=1\r\n", "app", "/new path",
         "; top\r\n[Other]\r\nSourceFile=keep\r\n\r\n[APP]\r\n  sourcefile = /new path \r\nNext=1\r\n"},
        {"missing key goes after the section's last entry, in CRLF", "[app]\r\nA=1\r\n\r\n; about b\r\n[b]\r\n", "App",
         "v", "[app]\r\nA=1\r\nSourceFile=v\r\n\r\n; about b\r\n[b]\r\n"},
        {"last line without a line end gets one", "[app]\nA=1", "app", "v", "[app]\nA=1\nSourceFile=v\n"},
        {"missing section is appended", "[x]\nA=1", "app", "v", "[x]\nA=1\n[app]\nSourceFile=v\n"},
        {"every letter matches either case, A to Z", "[Zap]\nSourceFile=old\n", "zAP", "v", "[Zap]\nSourceFile=v\n"},
        {"empty value leaves the key", "[app]\nSourceFile=old\n", "app", "", "[app]\nSourceFile=\n"},
        {"only the first matching section is written", "[app]\nA=1\n[App]\nSourceFile=2\n", "APP", "v",
         "[app]\nA=1\nSourceFile=v\n[App]\nSourceFile=2\n"},
        {"commented-out key is not the key", "[app]\n;SourceFile=old\n", "app", "v", "[app]\nSourceFile=v\n;SourceFile=old\n"},
        {"bytes pass through", "[app]\n", "app", "C:\\\xE9t\xE9\\m\xC3\xA9sh.asc", "[app]\nSourceFile=C:\\\xE9t\xE9\\m\xC3\xA9sh.asc\n"},
    };
    // clang-format on
    for (const auto& [why, before, section, value, after] : cases) {
        SCOPED_TRACE(why);
        EXPECT_EQ(SetIniValue(before, section, "SourceFile", value), after);
        EXPECT_EQ(FindIniValue(after, section, "sourcefile"), value);
    }
}

TEST(IniText, RefusesWhatWouldBreakTheLines) {
    const std::string badSection = "a section name cannot hold a line end or ']'",
                      badKey = "a key name cannot be empty, start with ';' or '[', or hold '=' or a line end",
                      badValue = "a value cannot hold a line end";
    // The section, key and value written; why they are refused.
    // clang-format off
    const std::tuple<const char*, const char*, const char*, std::string> refused[] = {
        {"a]b", "SourceFile", "v", badSection}, {"a\r\nb", "k", "v", badSection}, {"app", "a\nb", "v", badKey},
        {"app", "Source=File", "v", badKey}, {"app", " ", "v", badKey}, {"app", ";x", "v", badKey}, {"app", "[x", "v", badKey},
        {"app", "k", "a\rb", badValue}};
    // clang-format on
    for (const auto& [section, key, value, reason] : refused)
        EXPECT_EQ(CheckIniWrite(section, key, value), reason) << section << "/" << key << "/" << value;
}

}  // namespace
}  // namespace tessiloom
