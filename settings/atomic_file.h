#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessiloom {

// Replaces the contents of `target` with `bytes` all at once: the bytes go to a new
// temporary file in the same folder, which is flushed to disk and then renamed onto
// `target`. An existing target keeps its permission bits. On failure `target` is left as
// it was, no temporary file remains, and the result is a message naming `target` and the
// reason ("writing '<target>': <reason>"); nullopt on success.
std::optional<std::string> ReplaceFileAtomically(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tessiloom
