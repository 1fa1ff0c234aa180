#include "settings/settings_file.h"

#include <unistd.h>

#include <cstdlib>

namespace tessiloom {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The /usr hierarchy is shared and read-only while programs run, as Debian and the FHS have it. Root
// may write there all the same, but a file it left beside an installed copy would be every other
// user's settings from then on, and one they could not save.
bool IsUnderUsr(const std::filesystem::path& folder) {
    auto part = folder.begin();
    return folder.is_absolute() && ++part != folder.end() && *part == "usr";
}

}  // namespace

SettingsPlaces CurrentSettingsPlaces(const std::filesystem::path& programFolder) {
    return {programFolder, ::access(programFolder.c_str(), W_OK) == 0, Environment("XDG_CONFIG_HOME"),
            Environment("HOME")};
}

std::filesystem::path ChooseSettingsFile(const SettingsPlaces& places) {
    const std::filesystem::path beside = places.programFolder / kSettingsFileName;
    std::error_code ignored;
    const bool portable = places.programFolderWritable || std::filesystem::exists(beside, ignored);
    if (portable && !IsUnderUsr(places.programFolder)) return beside;
    std::filesystem::path configuration = places.configHome;
    if (!configuration.is_absolute()) {
        if (places.home.empty()) return beside;
        configuration = std::filesystem::path(places.home) / ".config";
    }
    return configuration / "tessiloom" / kSettingsFileName;
}

}  // namespace tessiloom
