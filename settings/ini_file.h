#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Reading and writing one value of an INI file on disk, in the format described in
// ini_text.h. These take the place of the Windows profile functions.
namespace tessiloom {

// A stored value equal to this (exactly, case and all) reads as missing.
inline constexpr std::string_view kNoEntryFound = "NOENTRYFOUND";

// The value of `key` in `section` of the file at `path`, in full and byte for byte.
// "" when the file cannot be read or lacks the section or key, and when the stored value
// is exactly kNoEntryFound. Names match without regard to ASCII case. Never fails.
std::string ReadIniValue(const std::filesystem::path& path, std::string_view section, std::string_view key);

// Sets `key` in `section` of the file at `path` to `value`, creating the file, its folder
// and the section when missing; every other line stays byte for byte. The file is replaced whole
// (platform/atomic_file.h), so a failure leaves it as it was. Returns nullopt on success,
// otherwise a message naming the file, for standard error. A value or name that would
// break the file's lines (a line end, say) is refused and nothing is written.
std::optional<std::string> WriteIniValue(const std::filesystem::path& path, std::string_view section,
                                         std::string_view key, std::string_view value);

}  // namespace tessiloom
