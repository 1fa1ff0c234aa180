// Whole runs against a source that another program changes while the run reads it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/line_source.h"
#include "conversion/recording_host.h"
#include "conversion/run.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// A host whose first event delivery, the one right after "Reading Vertices...", also runs `meddle`.
class MeddlingHost : public RecordingHost {
  public:
    std::function<void()> meddle;
    void DoEvents() override {
        RecordingHost::DoEvents();
        if (auto now = std::exchange(meddle, nullptr)) now();
    }
};

// Large enough that what changes on disk after the header has been read is still to be read, and
// that the second half of its vertex lines is read on a thread of its own.
std::string LargeListing(int side) {
    std::string text = "Vertices: " + std::to_string(side * side) +
                       " Faces: " + std::to_string(2 * (side - 1) * (side - 1)) + "\r\nVertex list:\r\n";
    for (int i = 0; i < side * side; ++i) {
        text += "Vertex " + std::to_string(i) + ":  X:" + std::to_string(i % side) +
                "  Z:" + std::to_string(i % 1000) + "\r\n";
    }
    return text;
}

TEST(SourceFaults, ReportsASourceCutShortWhileItIsRead) {
    TemporaryFolder folder;
    MeddlingHost host;
    host.sourcePath = folder / "hill.asc";
    const std::string listing = LargeListing(500);
    const std::size_t cut = listing.find("\r\nVertex 240000:") + 2;
    ASSERT_GT(cut, 3 * LineSource::kBlockBytes);
    WriteFile(host.sourcePath, listing);
    host.meddle = [&] { std::filesystem::resize_file(host.sourcePath, cut); };
    RunConversion(host);
    EXPECT_EQ(host.trace[host.trace.size() - 2],
              "message Could not read '" + host.sourcePath +
                  "': the file ends before vertex line 240000 (of 250000).");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"hill.asc"});
}

}  // namespace
}  // namespace tessiloom
