#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "conversion/conversion_host.h"
#include "conversion/run.h"

namespace tessiloom {

// Hosts one conversion on the command line: status lines and messages go to `log` (standard
// error), each message prefixed with the source path; `quiet` keeps only the messages.
class ConsoleHost final : public ConversionHost {
  public:
    ConsoleHost(std::string sourcePath, std::optional<PresetTexts> preset, bool quiet, std::ostream& log)
        : sourcePath_(std::move(sourcePath)), preset_(std::move(preset)), quiet_(quiet), log_(log) {}

    std::string SourcePathText() override { return sourcePath_; }
    bool UsePresetRanges() override { return preset_.has_value(); }
    std::string MinPresetText() override { return preset_ ? preset_->min : std::string(); }
    std::string MaxPresetText() override { return preset_ ? preset_->max : std::string(); }
    void ShowStatus(const std::string& text) override {
        if (!quiet_) log_ << text << '\n' << std::flush;
    }
    void ShowMessage(const std::string& text) override {
        log_ << sourcePath_ << ": " << text << '\n' << std::flush;
    }
    void SetBusyPointer(bool) override {}
    void DoEvents() override {}

  private:
    std::string sourcePath_;
    std::optional<PresetTexts> preset_;
    bool quiet_;
    std::ostream& log_;
};

}  // namespace tessiloom
