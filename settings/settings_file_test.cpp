#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include "platform/test_files.h"
#include "settings/ini_file.h"

namespace tessiloom {
namespace {

struct PlaceCase {
    const char* name;
    bool writable;
    bool holdsOne;  // the program folder already holds a settings file
    std::string configHome;
    std::string home;
    std::string expected;
};

TEST(SettingsFile, StaysBesideTheProgramWhereItCanElseGoesToTheUsersConfiguration) {
    TemporaryFolder folder;
    const std::string program = folder / "program";
    const std::string installed = folder / "installed";
    std::filesystem::create_directories(installed);
    WriteFile(installed + "/Quarnel.ini", "[app]\n");
    const PlaceCase cases[] = {
        {"a folder that can be written", true, false, "/config", "/home/u", program + "/Quarnel.ini"},
        {"a folder that holds one", false, true, "/config", "/home/u", installed + "/Quarnel.ini"},
        {"installed", false, false, "/config", "/home/u", "/config/tessiloom/Quarnel.ini"},
        {"installed, no configuration folder", false, false, "", "/home/u",
         "/home/u/.config/tessiloom/Quarnel.ini"},
        {"installed, a relative one", false, false, "config", "/home/u",
         "/home/u/.config/tessiloom/Quarnel.ini"},
        {"installed, no home", false, false, "", "", program + "/Quarnel.ini"},
    };
    for (const auto& [name, writable, holdsOne, configHome, home, expected] : cases) {
        EXPECT_EQ(ChooseSettingsFile({holdsOne ? installed : program, writable, configHome, home}), expected)
            << name;
    }
}

TEST(SettingsFile, TheFirstSaveCreatesTheConfigurationFolder) {
    TemporaryFolder home;
    const std::filesystem::path file = ChooseSettingsFile({"/usr/bin", false, "", home.Path().string()});
    EXPECT_EQ(WriteIniValue(file, kSettingsSectionWritten, kSourceFileKey, "/maps/hill.asc"), std::nullopt);
    EXPECT_EQ(ReadIniValue(file, kSettingsSectionRead, kSourceFileKey), "/maps/hill.asc");
}

}  // namespace
}  // namespace tessiloom
