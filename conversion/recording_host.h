#pragma once

#include <string>
#include <vector>

#include "conversion/conversion_host.h"

namespace tessiloom {

using Trace = std::vector<std::string>;

// A host that answers from its fields and records everything the run tells it, in order, as
// "busy on", "status <text>", "message <text>", "events" and "busy off".
class RecordingHost : public ConversionHost {
  public:
    std::string sourcePath;
    bool usePresetRanges = false;
    std::string minPreset = "0.0";
    std::string maxPreset = "1000.0";
    Trace trace;

    std::string SourcePathText() override { return sourcePath; }
    bool UsePresetRanges() override { return usePresetRanges; }
    std::string MinPresetText() override { return minPreset; }
    std::string MaxPresetText() override { return maxPreset; }
    void ShowStatus(const std::string& text) override { trace.push_back("status " + text); }
    void ShowMessage(const std::string& text) override { trace.push_back("message " + text); }
    void SetBusyPointer(bool on) override { trace.push_back(on ? "busy on" : "busy off"); }
    void DoEvents() override { trace.push_back("events"); }
};

}  // namespace tessiloom
