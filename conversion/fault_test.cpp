// Whole runs against a file system that misbehaves: a folder that takes no files, a disk that
// fills up in the middle of the pixels, a source cut short while it is read.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/recording_host.h"
#include "conversion/run.h"
#include "conversion/targa_writer.h"
#include "conversion/test_listing.h"
#include "files/test_files.h"

namespace tessiloom {
namespace {

using Names = std::vector<std::string>;

// A host whose first event delivery, the one right after "Reading Vertices...", also runs `meddle`.
class MeddlingHost : public RecordingHost {
  public:
    std::function<void()> meddle;
    void DoEvents() override {
        RecordingHost::DoEvents();
        if (auto now = std::exchange(meddle, nullptr)) now();
    }
};

class FaultTest : public ::testing::Test {
  protected:
    FaultTest() {
        host_.sourcePath = source_;
        WriteFile(image_, "older image");
    }

    // The run ended with `message` and the pointer off, and left the folder as it found it.
    void ExpectCleanFailure(const std::string& message) {
        ASSERT_GE(host_.trace.size(), 3u);
        EXPECT_EQ(host_.trace[host_.trace.size() - 2], "message " + message);
        EXPECT_EQ(host_.trace.back(), "busy off");
        EXPECT_EQ(ReadFile(image_), "older image");
        EXPECT_EQ(folder_.Names(), (Names{"hill.asc", "hill.tga"}));
    }

    TemporaryFolder folder_;
    const std::string source_ = folder_ / "hill.asc";
    const std::string image_ = folder_ / "hill.tga";
    MeddlingHost host_;
};

TEST_F(FaultTest, ReportsAnOutputFolderThatCannotHoldFiles) {
    WriteFile(source_, GridListing({"0", "10", "20", "30"}));
    const std::pair<std::string, std::string> cases[] = {
        {source_, "Not a directory"},
        {folder_ / "missing", "No such file or directory"},
    };
    for (const auto& [outputFolder, reason] : cases) {
        host_.trace.clear();
        RunOptions options;
        options.outputFolder = outputFolder;
        EXPECT_FALSE(RunConversion(host_, options).converted) << outputFolder;
        ExpectCleanFailure("Could not write '" + outputFolder + "/hill.tga': " + reason + ".");
    }
}

TEST_F(FaultTest, ReportsAReadOnlyFolder) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    WriteFile(source_, GridListing({"0", "10", "20", "30"}));
    std::filesystem::permissions(folder_.Path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    RunConversion(host_);
    std::filesystem::permissions(folder_.Path(), std::filesystem::perms::owner_all);
    ExpectCleanFailure("Could not write '" + image_ + "': Permission denied.");
}

TEST_F(FaultTest, ReportsADiskThatFillsUpInTheMiddleOfThePixels) {
    constexpr int kSide = 40;
    std::vector<std::string> heights(kSide * kSide, "5");
    heights.back() = "9";
    WriteFile(source_, GridListing(heights));
    {
        FileSizeCap cap(18 + 3 * kSide * kSide / 2);
        RunConversion(host_);
    }
    ExpectCleanFailure("Could not write '" + image_ + "': File too large.");
}

TEST(StreamHeightField, StopsAtTheFirstBlockTheSinkRefuses) {
    constexpr int kSide = 513;  // more pixels than one block holds
    HeightList heights;
    for (int i = 0; i < kSide * kSide; ++i) heights.Append(i % 7);
    MemorySink sink(1);  // the header only
    EXPECT_EQ(StreamHeightField(sink, {kSide, kSide}, heights, 0, 6).failure,
              "the image could not be written in full");
    EXPECT_EQ(sink.writes, 1);
}

// Larger than the line source's first block, so that what changes on disk after the header has
// been read is still to be read.
std::string LargeListing(int side) {
    std::vector<std::string> heights;
    for (int i = 0; i < side * side; ++i) heights.push_back(std::to_string(i % 1000));
    return GridListing(heights);
}

TEST_F(FaultTest, ReportsASourceShortenedWhileItIsRead) {
    const std::string listing = LargeListing(180);
    const std::size_t cut = listing.find("\r\nVertex 30000:") + 2;
    ASSERT_GT(cut, std::size_t{1} << 20);
    WriteFile(source_, listing);
    host_.meddle = [&] { std::filesystem::resize_file(source_, cut); };
    RunConversion(host_);
    ExpectCleanFailure("Could not read '" + source_ +
                       "': the file ends before vertex line 30000 (of 32400).");
}

// Removing a file only removes its name: the run goes on reading what it opened, to the end.
TEST_F(FaultTest, ConvertsASourceWhoseNameIsRemovedWhileItIsRead) {
    const std::string listing = LargeListing(180);
    WriteFile(source_, listing);
    RunConversion(host_);
    const std::string intactImage = ReadFile(image_);
    ASSERT_EQ(intactImage.size(), 18u + 3 * 180 * 180);

    WriteFile(image_, "older image");
    host_.trace.clear();
    host_.meddle = [&] { std::filesystem::remove(source_); };
    EXPECT_TRUE(RunConversion(host_).converted);
    EXPECT_EQ(host_.trace.back(), "busy off");
    EXPECT_EQ(ReadFile(image_), intactImage);
    EXPECT_EQ(folder_.Names(), Names{"hill.tga"});
}

// /dev/zero is one endless line that would fill memory; a pipe with no writer would never open.
TEST(SourceFaults, RefusesASourceThatIsADeviceOrAPipe) {
    TemporaryFolder folder;
    const std::string pipe = folder / "pipe.asc";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& source : {std::string("/dev/zero"), pipe}) {
        RecordingHost host;
        host.sourcePath = source;
        RunConversion(host);
        EXPECT_EQ(host.trace,
                  (Trace{"busy on", "message Could not open '" + source + "': it is not a regular file.",
                         "busy off"}));
    }
    EXPECT_EQ(folder.Names(), Names{"pipe.asc"});
}

// A name near the 255-byte limit of a file name still leaves room for the temporary file's.
TEST_F(FaultTest, WritesAnImageWhoseNameIsAsLongAsANameCanBe) {
    const std::string stem(251, 'x');
    host_.sourcePath = folder_ / (stem + ".asc");
    WriteFile(host_.sourcePath, GridListing({"0", "10", "20", "30"}));
    EXPECT_TRUE(RunConversion(host_).converted) << host_.trace[host_.trace.size() - 2];
    EXPECT_EQ(folder_.Names(), (Names{"hill.tga", stem + ".asc", stem + ".tga"}));
}

}  // namespace
}  // namespace tessiloom
