#include "settings/ini_text.h"

#include <cstddef>

namespace tessiloom {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNone = std::string_view::npos;

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The result stays a view into the same text, so an empty value still knows where it is:
// that is where a replacement value goes.
std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == kNone) return text.substr(text.size());
    text.remove_prefix(first);
    text.remove_suffix(text.size() - 1 - text.find_last_not_of(kBlanks));
    return text;
}

// One line: its bytes without the line end, and where the next line starts.
struct Line {
    std::string_view content;
    std::size_t next = 0;
};

// Splits INI text into lines at LF, each without its CR LF or LF; unlike a listing's lines, a lone
// CR ends nothing. Each line knows where the next one starts, so that an edit can keep every other
// byte of the text.
class IniLines {
  public:
    explicit IniLines(std::string_view text)
        : text_(text), position_(text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0) {}

    bool Next(Line& line) {
        if (position_ >= text_.size()) return false;
        const std::size_t newline = text_.find('\n', position_);
        const std::size_t next = newline == kNone ? text_.size() : newline + 1;
        std::size_t end = newline == kNone ? text_.size() : newline;
        if (end > position_ && text_[end - 1] == '\r') --end;
        line = {text_.substr(position_, end - position_), next};
        position_ = next;
        return true;
    }

  private:
    std::string_view text_;
    std::size_t position_;
};

enum class LineKind { kOther, kSection, kEntry };

struct ParsedLine {
    LineKind kind = LineKind::kOther;
    std::string_view name;
    std::string_view value;
};

ParsedLine Parse(std::string_view content) {
    const std::string_view body = Trim(content);
    if (body.starts_with(';')) return {};
    if (body.starts_with('[')) {
        const std::size_t close = body.find(']');
        if (close == kNone) return {};
        return {LineKind::kSection, Trim(body.substr(1, close - 1)), {}};
    }
    const std::size_t equals = body.find('=');
    if (equals == kNone) return {};
    return {LineKind::kEntry, Trim(body.substr(0, equals)), Trim(body.substr(equals + 1))};
}

struct Location {
    bool sectionFound = false;
    std::size_t insertAt = 0;  // just past the section's last entry, or its header when it has none
    std::optional<std::string_view> value;  // a view into the searched text
};

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    Location found;
    bool inSection = false;
    IniLines lines(text);
    for (Line line; lines.Next(line);) {
        const ParsedLine parsed = Parse(line.content);
        if (parsed.kind == LineKind::kSection) {
            if (inSection) break;  // later sections of the same name are never consulted
            inSection = SameName(parsed.name, section);
            if (inSection) found = {true, line.next, std::nullopt};
        } else if (inSection && parsed.kind == LineKind::kEntry) {
            found.insertAt = line.next;
            if (SameName(parsed.name, key)) {
                found.value = parsed.value;
                break;
            }
        }
    }
    return found;
}

std::string_view LineEndOf(std::string_view text) {
    const std::size_t newline = text.find('\n');
    return (newline != kNone && newline > 0 && text[newline - 1] == '\r') ? "\r\n" : "\n";
}

}  // namespace

bool SameName(std::string_view stored, std::string_view wanted) {
    if (stored.size() != wanted.size()) return false;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (FoldCase(stored[i]) != FoldCase(wanted[i])) return false;
    }
    return true;
}

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    const Location found = Locate(text, section, key);
    if (!found.value) return std::nullopt;
    return std::string(*found.value);
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    const Location found = Locate(text, section, key);
    std::string result(text);
    if (found.value) {
        const auto offset = static_cast<std::size_t>(found.value->data() - text.data());
        return result.replace(offset, found.value->size(), value);
    }
    const std::string_view lineEnd = LineEndOf(text);
    const std::size_t at = found.sectionFound ? found.insertAt : text.size();
    std::string added;
    // A last line without a line end must get one before anything can follow it.
    if (at > 0 && text[at - 1] != '\n') added += lineEnd;
    if (!found.sectionFound) added.append("[").append(Trim(section)).append("]").append(lineEnd);
    added.append(Trim(key)).append("=").append(value).append(lineEnd);
    return result.insert(at, added);
}

std::optional<std::string> CheckIniWrite(std::string_view section, std::string_view key,
                                         std::string_view value) {
    constexpr std::string_view kLineEnds = "\r\n";
    if (section.find_first_of(kLineEnds) != kNone || section.find(']') != kNone) {
        return "a section name cannot hold a line end or ']'";
    }
    const std::string_view name = Trim(key);
    if (name.empty() || name.starts_with(';') || name.starts_with('[') ||
        key.find_first_of(kLineEnds) != kNone || key.find('=') != kNone) {
        return "a key name cannot be empty, start with ';' or '[', or hold '=' or a line end";
    }
    if (value.find_first_of(kLineEnds) != kNone) return "a value cannot hold a line end";
    return std::nullopt;
}

}  // namespace tessiloom
