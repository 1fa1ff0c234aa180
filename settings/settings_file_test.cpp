#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include "platform/test_files.h"

namespace tessiloom {
namespace {

TEST(SettingsFile, StaysBesideTheProgramWhereItCanElseGoesToTheUsersConfiguration) {
    TemporaryFolder folder;
    const std::string program = folder / "program", installed = folder.Path();  // installed holds one
    WriteFile(folder / "Quarnel.ini", "[app]\n");
    // clang-format off
    const std::pair<SettingsPlaces, std::string> cases[] = {
        // The program's folder, whether it can be written, $XDG_CONFIG_HOME, $HOME; where the file goes.
        {{program, true, "/config", "/home/u"}, program + "/Quarnel.ini"},
        {{installed, false, "/config", "/home/u"}, installed + "/Quarnel.ini"},
        {{program, false, "/config", "/home/u"}, "/config/tessiloom/Quarnel.ini"},
        {{program, false, "", "/home/u"}, "/home/u/.config/tessiloom/Quarnel.ini"},
        {{program, false, "config", "/home/u"}, "/home/u/.config/tessiloom/Quarnel.ini"},  // not absolute
        {{program, false, "", ""}, program + "/Quarnel.ini"},
        // Installed under /usr: root can write there, yet nobody's settings go there.
        {{"/usr/bin", true, "/config", "/home/u"}, "/config/tessiloom/Quarnel.ini"},
        {{"/usr/local/bin", true, "", "/root"}, "/root/.config/tessiloom/Quarnel.ini"},
        {{"/usr2/bin", true, "", "/root"}, "/usr2/bin/Quarnel.ini"},
    };
    // clang-format on
    for (const auto& [places, expected] : cases)
        EXPECT_EQ(ChooseSettingsFile(places), expected) << places.programFolder << " " << places.configHome;
}

}  // namespace
}  // namespace tessiloom
