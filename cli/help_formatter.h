#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace tessiloom {

// The help as a terminal and help2man show it: within 80 columns, and each option's value named
// alone ("--min HEIGHT"), without CLI11's "TEXT:HEIGHT Needs: --max Excludes: --shared-range",
// which the descriptions say in words. An option's value name is its option_text().
class HelpFormatter : public CLI::Formatter {
  public:
    HelpFormatter();
    std::string make_description(const CLI::App* app) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
};

}  // namespace tessiloom
