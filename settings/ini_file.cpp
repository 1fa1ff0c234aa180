#include "settings/ini_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/source_file.h"
#include "settings/ini_text.h"

namespace tessiloom {
namespace {

// The whole file in one string: settings files are small, and the writer needs all of
// it anyway to keep the lines it does not touch. nullopt when it cannot be read, or is a pipe or a
// device, which would never end.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    const SourceFile file(path.string());
    if (file.OpenFailure()) return std::nullopt;
    std::string contents;
    char block[4096];
    for (;;) {
        const ByteSource::Read read = file.ReadAt(contents.size(), block, sizeof block);
        if (read.failure) return std::nullopt;
        if (read.count == 0) return contents;
        contents.append(block, read.count);
    }
}

// Creates `folder` and those above it that are missing, each for the user alone (0700), as the XDG
// base directory rules ask of a program that makes ~/.config or a folder in it.
std::error_code CreateFolders(const std::filesystem::path& folder) {
    std::error_code error;
    if (folder.empty() || std::filesystem::exists(folder, error) || error) return error;
    if ((error = CreateFolders(folder.parent_path()))) return error;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {errno, std::generic_category()};
    return {};
}

}  // namespace

std::string ReadIniValue(const std::filesystem::path& path, std::string_view section, std::string_view key) {
    const std::optional<std::string> text = ReadWholeFile(path);
    if (!text) return "";
    std::optional<std::string> value = FindIniValue(*text, section, key);
    if (!value || *value == kNoEntryFound) return "";
    return std::move(*value);
}

std::optional<std::string> WriteIniValue(const std::filesystem::path& path, std::string_view section,
                                         std::string_view key, std::string_view value) {
    const std::string where = "writing '" + path.string() + "': ";
    if (auto refusal = CheckIniWrite(section, key, value)) return where + *refusal;
    std::error_code error;
    const bool exists = std::filesystem::exists(path, error);
    if (error) return where + error.message();
    std::string text;
    if (exists) {
        // Starting from nothing here would wipe every other line of a file we failed to read.
        std::optional<std::string> old = ReadWholeFile(path);
        if (!old) return where + "cannot read its present contents";
        text = std::move(*old);
    }
    std::string updated = SetIniValue(text, section, key, value);
    if (exists && updated == text) return std::nullopt;
    if (!exists) {
        if ((error = CreateFolders(path.parent_path()))) return where + error.message();
    }
    if (auto failure = WriteFileAtomically(path, updated)) return where + *failure;
    return std::nullopt;
}

}  // namespace tessiloom
