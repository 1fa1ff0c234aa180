#include "settings/settings_file.h"

namespace tessiloom {

std::filesystem::path SettingsFilePath(const std::filesystem::path& programFolder) {
    return programFolder / kSettingsFileName;
}

}  // namespace tessiloom
