#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/test_files.h"

namespace tessiloom {
namespace {

TEST(SettingsFile, StaysBesideTheProgramWhereItCanElseGoesToTheUsersConfiguration) {
    const std::string program = "/home/u/tessiloom";
    // clang-format off
    const std::pair<SettingsPlaces, std::string> cases[] = {
        // The program's folder, whether it can be written, whether it holds the user's own settings,
        // $XDG_CONFIG_HOME, $HOME; where the file goes.
        {{program, true, false, "/config", "/home/u"}, program + "/Quarnel.ini"},
        {{program, false, true, "/config", "/home/u"}, program + "/Quarnel.ini"},
        {{program, false, false, "/config", "/home/u"}, "/config/tessiloom/Quarnel.ini"},  // none, or another's
        {{program, false, false, "", "/home/u"}, "/home/u/.config/tessiloom/Quarnel.ini"},
        {{program, false, false, "config", "/home/u"}, "/home/u/.config/tessiloom/Quarnel.ini"},  // not absolute
        {{program, false, false, "", ""}, program + "/Quarnel.ini"},
        // Installed: root can write there, yet nobody's settings go there.
        {{"/usr/bin", true, true, "/config", "/root"}, "/config/tessiloom/Quarnel.ini"},
        {{"/usr/local/bin/", true, false, "", "/root"}, "/root/.config/tessiloom/Quarnel.ini"},
        {{"/usr/src/app/build/app", true, false, "", "/root"}, "/usr/src/app/build/app/Quarnel.ini"},
    };
    // clang-format on
    for (const auto& [places, expected] : cases)
        EXPECT_EQ(ChooseSettingsFile(places), expected) << places.programFolder << " " << places.configHome;
}

// A Quarnel.ini counts as the user's own only when it is theirs, not one another user (root, say)
// left there.
TEST(SettingsFile, FindsTheUsersOwnSettingsBesideTheProgram) {
    TemporaryFolder folder;
    EXPECT_FALSE(CurrentSettingsPlaces(folder.Path()).ownSettingsBeside);
    WriteFile(folder / "Quarnel.ini", "[app]\n");
    EXPECT_TRUE(CurrentSettingsPlaces(folder.Path()).ownSettingsBeside);
    EXPECT_FALSE(CurrentSettingsPlaces(folder.Path(), geteuid() + 1).ownSettingsBeside);
}

}  // namespace
}  // namespace tessiloom
