#include "conversion/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <utility>

#include "conversion/recording_host.h"
#include "conversion/test_listing.h"
#include "formats/targa.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

using Names = std::vector<std::string>;

// The reading and the writing status, each followed by its events.
const std::string kReading = "status Reading Vertices...|events|",
                  kWriting = "status Writing POV-Ray Targa file...|events|";

// A run's conversation with its host inside the busy pointer's on and off, each step but the last
// followed by "|". The run counts as converted exactly when it finishes.
std::string Conversation(RecordingHost&& host, bool rectangular = false) {
    RunOptions options;  // the window's: its defaults take square grids only
    if (rectangular) options.read.rectangular = true;
    const bool converted = RunConversion(host, kTargaFormat, options).converted;
    std::string steps;
    for (const std::string& step : host.trace) steps += step + "|";
    EXPECT_EQ(converted, steps.find("|status Finished writing: ") != std::string::npos) << steps;
    EXPECT_TRUE(steps.starts_with("busy on|") && steps.ends_with("|busy off|")) << steps;
    return steps.substr(8, steps.size() - 18);
}

// Runs in a folder of their own, naming files by their names alone.
struct RunConversionTest : ::testing::Test {
    RunConversionTest() { std::filesystem::current_path(folder_.Path()); }
    ~RunConversionTest() override { std::filesystem::current_path(before_); }
    const std::filesystem::path before_ = std::filesystem::current_path();
    TemporaryFolder folder_;
};

TEST_F(RunConversionTest, ConvertsAndReportsEachStepInOrderWarningsAfterTheImage) {
    WriteFile("hill.asc", kTwoByTwoListing);
    EXPECT_EQ(Conversation(RecordingHost("hill.asc")),
              kReading + kWriting + "status Finished writing: hill.tga");
    EXPECT_EQ(ReadFile("hill.tga"), kTwoByTwoImage);
    EXPECT_EQ(folder_.Names(), (Names{"hill.asc", "hill.tga"}));
    WriteFile("hill.asc", GridListing({"-3", "10", "20", "130"}));
    EXPECT_EQ(Conversation(RecordingHost("hill.asc", true, "0", "1 00 with text after")),
              kReading + kWriting +
                  "message Warning: a height value was lower than your minimum height range!|"
                  "message Warning: a height value in was higher than your maximum height range!|"
                  "status Finished writing: hill.tga");
    // Heights read only up to a decimal comma: the image as ever, and a warning after the others.
    WriteFile("hill.asc", GridListing({"-3", "10,5", "20", "130,25"}));
    EXPECT_EQ(
        Conversation(RecordingHost("hill.asc", true, "0", "100")),
        kReading + kWriting +
            "message Warning: a height value was lower than your minimum height range!|"
            "message Warning: a height value in was higher than your maximum height range!|"
            "message Warning: the heights seem to be written with decimal commas, and were read only up to "
            "the comma!|status Finished writing: hill.tga");
}

struct FailureCase {
    std::string listing, steps;
    bool rectangular = false;
    std::string min = "", max = "";  // a preset range when given
};

TEST_F(RunConversionTest, StopsWithOneMessageAndLeavesAnOlderImageUntouched) {
    const std::string four = GridListing({"1", "2", "3", "4"});
    const std::string read = "message Could not read 'hill.asc': ",
                      convert = "message Could not convert 'hill.asc': ";
    const std::string noGrid = " fit no grid of C x R vertices (C and R from 2) with 2(C-1)(R-1) faces.";
    const std::string tooLarge = " vertices is larger than the 32767 x 32767 a height-field image can hold.";
    // clang-format off
    const FailureCase cases[] = {
        {"Vertices: 9 Faces: 10\r\nVertex list:\r\n", "message You terrain does not appear to be sqaure."},
        {"Vertices: 4 Faces: 2\nThe Vertex list\nZ:1\nZ:2\nVertex 2: no height\nZ:4\n", kReading + "message Failed to read vertex 2"},
        {"Vertices: -4 Faces: 2\r\n", read + "the vertex count -4 is negative."},
        {"Vertices: 1073741824 Faces: 2147352578\r\n", convert + "its grid of 32768 x 32768" + tooLarge},
        {"Vertices: 1073676289 Faces: 2147221512\r\n", read + "the file ends before the line with \"Vertex list\"."},  // 32767 fits
        {"Vertices: 4 Faces: 2\r\nVertex lis\r\nvertex list\r\n", read + "the file ends before the line with \"Vertex list\"."},
        {"Vertices: 4 Faces: 2\r\nVertex list:\r\nZ:1\r\nZ:2\r\n", kReading + read + "the file ends before vertex line 2 (of 4)."},
        {GridListing({"7", "7", "7", "7"}), kReading + convert + "every height is 7, which leaves no range to scale the heights over; use a preset height range."},
        {GridListing({"-1e308", "1", "2", "1e308"}), kReading + convert + "the height range from -1e+308 to 1e+308 is too wide to scale."},
        {four, kReading + convert + "the preset minimum and maximum are both 0, which leaves no range to scale the heights over.", false, "0", " 0.0"},
        {four, kReading + convert + "the preset minimum '-1e999' is not a finite number.", false, "-1e999", "0"}, {four, kReading + convert + "the preset maximum '1e999' is not a finite number.", false, "0", "1e999"},
        {four, kReading + convert + "the height range from -1e+308 to 1e+308 is too wide to scale.", false, "-1e308", "1e308"},
        {"Vertices: 10 Faces: 10\r\n", read + "its 10 vertices and 10 faces" + noGrid, true}, {"Vertices: 5 Faces: 0\r\n", read + "its 5 vertices and 0 faces" + noGrid, true},
        {"Vertices: 65536 Faces: 65534\r\n", convert + "its grid of 2 x 32768" + tooLarge, true},
        // The header describes 3 x 4 (or 4 x 3), but the first row ends where Y changes.
        {"Vertices: 12 Faces: 12\nVertex list\nY:0 Z:1\nY:0 Z:1\nY:1 Z:1\nZ:1\nZ:1\nZ:1\nZ:1\nZ:1\nZ:1\nZ:1\nZ:1\nZ:1\n",
         kReading + read + "its first row holds 2 vertices (those with vertex 0's Y), but its 12 vertices and 12 faces make a grid of 3 x 4 or 4 x 3.", true},
    };
    // clang-format on
    for (const auto& [listing, steps, rectangular, min, max] : cases) {
        WriteFile("hill.asc", listing);
        WriteFile("hill.tga", "older image");
        EXPECT_EQ(Conversation(RecordingHost("hill.asc", !min.empty(), min, max), rectangular), steps);
        EXPECT_EQ(ReadFile("hill.tga"), "older image");
        EXPECT_EQ(folder_.Names(), (Names{"hill.asc", "hill.tga"}));
    }
}

TEST_F(RunConversionTest, RefusesSourcesItCannotOpenOrWouldOverwriteAndImagesItCannotWrite) {
    std::filesystem::create_directory("maps.asc");
    std::filesystem::create_directory("blocked.tga");  // in the way of the rename
    ASSERT_EQ(mkfifo("pipe.asc", 0600), 0);
    for (const char* name : {"abc", "over.tga", "blocked.asc"}) WriteFile(name, kTwoByTwoListing);
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"", "message There is no source file to convert: the source path is empty."}, {"missing.asc", "message Could not open 'missing.asc': No such file or directory."},
        {"maps.asc", "message Could not open 'maps.asc': it is a folder, not a file."},
        // A device or a pipe never ends the way a file does, or never opens.
        {"/dev/zero", "message Could not open '/dev/zero': it is not a regular file."}, {"pipe.asc", "message Could not open 'pipe.asc': it is not a regular file."},
        {"abc", "message Could not convert 'abc': a source path needs at least four characters to name the image."},
        {"over.tga", "message Could not convert 'over.tga': its image 'over.tga' would be written over the source itself."},
        {"blocked.asc", kReading + kWriting + "message Could not write 'blocked.tga': Is a directory."},
    };
    // clang-format on
    for (const auto& [source, steps] : cases) EXPECT_EQ(Conversation(RecordingHost(source)), steps);
    EXPECT_EQ(folder_.Names(),
              (Names{"abc", "blocked.asc", "blocked.tga", "maps.asc", "over.tga", "pipe.asc"}));
}

// A host that cuts its source short at its first event delivery, right after "Reading Vertices...".
struct CuttingHost : RecordingHost {
    using RecordingHost::RecordingHost;
    std::uintmax_t cut = 0;
    void DoEvents() override {
        RecordingHost::DoEvents();
        if (cut > 0) std::filesystem::resize_file(sourcePath, std::exchange(cut, 0));
    }
};

// Large enough that what is cut on disk after the header has been read is still to be read, and
// that a second thread reads some of the vertex lines.
TEST_F(RunConversionTest, ReportsASourceCutShortWhileItIsRead) {
    const std::string line = "Vertex:  X:1.0     Y:2.0     Z:5.0\r\n";
    std::string listing = "Vertices: 263169 Faces: 524288\r\nVertex list:\r\n";
    for (int i = 0; i < 513 * 513; ++i) listing += line;
    WriteFile("hill.asc", listing);
    CuttingHost host("hill.asc");
    host.cut = listing.size() - (513 * 513 - 250000) * line.size();
    ASSERT_GT(host.cut, 3 * LineBlock::kDefaultBytes);
    EXPECT_EQ(Conversation(std::move(host)), kReading +
                                                 "message Could not read 'hill.asc': the file was shortened, "
                                                 "or its disk failed, while it was read.");
    EXPECT_EQ(folder_.Names(), Names{"hill.asc"});
}

// In a child process whose memory is limited, converts a listing with a line too long to hold in
// a folder of its own, gone again before the process ends: the conversation on standard error,
// and whether the folder held nothing else at the end as the exit code.
[[noreturn]] void ConvertBeyondMemory() {
    int code = 1;
    {
        TemporaryFolder folder;
        std::filesystem::current_path(folder.Path());
        WriteListingWithLongLine("big.asc");
        LimitAddressSpace(rlim_t{64} << 20);
        std::cerr << Conversation(RecordingHost("big.asc"));
        code = folder.Names() == Names{"big.asc"} ? 0 : 1;
        std::filesystem::current_path("/");
    }
    std::exit(code);
}

// Memory running out is a failure like any other: a message, and no file left.
TEST(RunConversionDeathTest, ReportsAListingTooLargeForTheMemoryThereIs) {
    if (!kCanLimitAddressSpace) GTEST_SKIP() << "under a sanitizer";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ConvertBeyondMemory(), testing::ExitedWithCode(0),
                "^status Reading Vertices...\\|events\\|message Could not read 'big.asc': there is not "
                "enough memory to hold it.$");
}

TEST(OutputPathFor, ReplacesTheLastFourCharactersWhateverTheyAre) {
    // clang-format off
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"/maps/hill.asc", "/maps/hill.tga"}, {"hill.ascii", "hill.a.tga"}, {"/maps/hill", "/maps/.tga"}, {"abcd", ".tga"},
        {"abc", std::nullopt}, {"", std::nullopt}, {"berg.äsc", "berg.tga"}, {"höhe", ".tga"}, {"äbcd", ".tga"}, {"hill🏔", "h.tga"},
        // Latin-1 names: a byte no lead byte reaches is a character of its own.
        {"lat\x80\x80\x80\x80", "lat.tga"}, {"dir/\x80\x80\x80\x80", "dir/.tga"}, {"a/bc\xE9\x80\x80\x80", "a/.tga"},
        {"ab\xF8\x80\x80\x80", "ab.tga"}};
    // clang-format on
    for (const auto& [source, output] : cases) EXPECT_EQ(OutputPathFor(source, ".tga"), output) << source;
}

}  // namespace
}  // namespace tessiloom
