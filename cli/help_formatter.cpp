#include "cli/help_formatter.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace tessiloom {
namespace {

constexpr std::size_t kHelpWidth = 80;
constexpr std::size_t kNameColumn = 22;

// Lines of at most `width` characters, broken at spaces; a longer word stands on a line of its own.
std::string WrapText(std::string_view text, std::size_t width) {
    std::string wrapped;
    std::size_t lineStart = 0;
    while (!text.empty()) {
        const std::size_t wordEnd = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, wordEnd);
        if (wrapped.size() > lineStart) {
            if (wrapped.size() - lineStart + 1 + word.size() > width) {
                wrapped += '\n';
                lineStart = wrapped.size();
            } else {
                wrapped += ' ';
            }
        }
        wrapped += word;
        text.remove_prefix(std::min(wordEnd + 1, text.size()));
    }
    return wrapped;
}

}  // namespace

HelpFormatter::HelpFormatter() {
    column_width(kNameColumn);
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
    return WrapText(app->get_description(), kHelpWidth) + "\n\n";
}

std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
    const std::string& value = option->get_option_text();
    return value.empty() ? "" : " " + value;
}

std::string HelpFormatter::make_option_desc(const CLI::Option* option) const {
    return WrapText(option->get_description(), kHelpWidth - kNameColumn);
}

}  // namespace tessiloom
