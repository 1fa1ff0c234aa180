#pragma once

#include <string>
#include <vector>

#include "conversion/conversion_host.h"

namespace tessiloom {

using Trace = std::vector<std::string>;

// A host that answers from its fields and records everything the run tells it, in order, as
// "busy on", "status <text>", "message <text>", "events" and "busy off".
struct RecordingHost : ConversionHost {
    explicit RecordingHost(std::string path = "", bool presetRanges = false, std::string min = "0.0",
                           std::string max = "1000.0")
        : sourcePath(path), minPreset(min), maxPreset(max), usePresetRanges(presetRanges) {}

    std::string sourcePath, minPreset, maxPreset;
    bool usePresetRanges;
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
