#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <string_view>

// Where the tool keeps the one value it remembers between runs, and under which names.
namespace tessiloom {

inline constexpr std::string_view kSettingsFileName = "Quarnel.ini";
// The window reads "App" and writes "app"; both find the same section.
inline constexpr std::string_view kSettingsSectionRead = "App";
inline constexpr std::string_view kSettingsSectionWritten = "app";
inline constexpr std::string_view kSourceFileKey = "SourceFile";

// What decides where the settings file goes, as the program finds it at start.
struct SettingsPlaces {
    std::filesystem::path programFolder;  // the folder holding the running executable
    bool programFolderWritable = false;
    bool ownSettingsBeside = false;  // that folder holds a Quarnel.ini, and it is this user's
    std::string configHome;          // $XDG_CONFIG_HOME, "" when unset
    std::string home;                // $HOME, "" when unset
};

// The places of the running program: its folder, whether this user may write there, and the
// environment's configuration folders.
SettingsPlaces CurrentSettingsPlaces(const std::filesystem::path& programFolder);
// The same, with a Quarnel.ini beside the program counting as one's own when `user` owns it, so that
// tests can stand for a user other than the file's owner.
SettingsPlaces CurrentSettingsPlaces(const std::filesystem::path& programFolder, uid_t user);

// Quarnel.ini beside the executable when that folder already holds one of the user's own or can
// be written (a portable copy, a build folder), unless it is /usr/bin or /usr/local/bin. Otherwise,
// as for an installed copy, tessiloom/Quarnel.ini in the user's configuration folder:
// $XDG_CONFIG_HOME, or ~/.config where that is unset or not absolute. The first save creates it
// there. With no home either, beside the executable all the same.
std::filesystem::path ChooseSettingsFile(const SettingsPlaces& places);

}  // namespace tessiloom
