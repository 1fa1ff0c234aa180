#include "settings/settings_file.h"

#include <unistd.h>

#include <cstdlib>

namespace tessiloom {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

SettingsPlaces CurrentSettingsPlaces(const std::filesystem::path& programFolder) {
    return {programFolder, ::access(programFolder.c_str(), W_OK) == 0, Environment("XDG_CONFIG_HOME"),
            Environment("HOME")};
}

std::filesystem::path ChooseSettingsFile(const SettingsPlaces& places) {
    const std::filesystem::path beside = places.programFolder / kSettingsFileName;
    std::error_code ignored;
    if (places.programFolderWritable || std::filesystem::exists(beside, ignored)) return beside;
    std::filesystem::path configuration = places.configHome;
    if (!configuration.is_absolute()) {
        if (places.home.empty()) return beside;
        configuration = std::filesystem::path(places.home) / ".config";
    }
    return configuration / "tessiloom" / kSettingsFileName;
}

}  // namespace tessiloom
