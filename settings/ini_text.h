#pragma once

#include <optional>
#include <string>
#include <string_view>

// The INI format over text in memory; the file functions in ini_file.h are thin wrappers.
//
// A section line is '[' name ']' (blanks allowed around the name); an entry line is
// name '=' value. Blanks (space, tab) around names and values are not part of them.
// Lines starting with ';' are comments. Lines end in LF or CRLF; a UTF-8 byte order
// mark at the start is skipped. Entries before the first section belong to no section.
namespace tessiloom {

// Section and key names compare without regard to ASCII case; every comparison goes
// through this one helper so that reading and writing can never disagree.
bool SameName(std::string_view stored, std::string_view wanted);

// The value of `key` in the first section named `section`, read in full and unchanged.
// Only that first section is searched and its first matching entry wins.
// nullopt when there is no such section or entry.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// `text` with `key` in the first section named `section` set to `value`.
// An existing entry keeps its line, spelling and line end; only its value changes.
// A missing entry goes after the last entry of the section; a missing section is added
// at the end. Added lines end like the first line of `text` (LF when it has none).
// Every other byte of `text` stays as it was. The caller ensures CheckIniWrite() passed.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// Why writing these names and value would break the file's structure (a line end in
// any of them, ']' in the section, '=' in the key, an empty key); nullopt when fine.
std::optional<std::string> CheckIniWrite(std::string_view section, std::string_view key,
                                         std::string_view value);

}  // namespace tessiloom
