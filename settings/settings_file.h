#pragma once

#include <filesystem>
#include <string_view>

// Where the tool keeps the one value it remembers between runs, and under which names.
namespace tessiloom {

inline constexpr std::string_view kSettingsFileName = "Quarnel.ini";
// The window reads "App" and writes "app"; both find the same section.
inline constexpr std::string_view kSettingsSectionRead = "App";
inline constexpr std::string_view kSettingsSectionWritten = "app";
inline constexpr std::string_view kSourceFileKey = "SourceFile";

// The settings file inside `programFolder`, the folder holding the running executable
// (the caller resolves it from the executable, never from the working folder).
std::filesystem::path SettingsFilePath(const std::filesystem::path& programFolder);

}  // namespace tessiloom
