#include "settings/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace tessiloom {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The folders programs are installed into, which stay read-only while they run, as Debian and the
// FHS have it. Root may write there all the same, but a file it left there would be found by every
// other user's copy.
bool IsInstallFolder(const std::filesystem::path& folder) {
    const std::filesystem::path normal = (folder / "").lexically_normal();
    return normal == "/usr/bin/" || normal == "/usr/local/bin/";
}

}  // namespace

SettingsPlaces CurrentSettingsPlaces(const std::filesystem::path& programFolder) {
    return CurrentSettingsPlaces(programFolder, ::geteuid());
}

SettingsPlaces CurrentSettingsPlaces(const std::filesystem::path& programFolder, uid_t user) {
    struct stat beside {};
    const bool owned =
        ::stat((programFolder / kSettingsFileName).c_str(), &beside) == 0 && beside.st_uid == user;
    return {programFolder, ::access(programFolder.c_str(), W_OK) == 0, owned, Environment("XDG_CONFIG_HOME"),
            Environment("HOME")};
}

std::filesystem::path ChooseSettingsFile(const SettingsPlaces& places) {
    const std::filesystem::path beside = places.programFolder / kSettingsFileName;
    const bool portable = places.programFolderWritable || places.ownSettingsBeside;
    if (portable && !IsInstallFolder(places.programFolder)) return beside;
    std::filesystem::path configuration = places.configHome;
    if (!configuration.is_absolute()) {
        if (places.home.empty()) return beside;
        configuration = std::filesystem::path(places.home) / ".config";
    }
    return configuration / "tessiloom" / kSettingsFileName;
}

}  // namespace tessiloom
