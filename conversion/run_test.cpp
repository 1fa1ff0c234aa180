#include "conversion/run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "conversion/recording_host.h"
#include "conversion/test_listing.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

using Names = std::vector<std::string>;

const Trace kReading = {"status Reading Vertices...", "events"};
const Trace kWriting = {"status Writing POV-Ray Targa file...", "events"};

// The run's conversation with its host: the pointer goes busy, then `steps`, then it goes back.
Trace BusyRun(const std::vector<Trace>& steps) {
    Trace trace{"busy on"};
    for (const Trace& step : steps) trace.insert(trace.end(), step.begin(), step.end());
    trace.push_back("busy off");
    return trace;
}

std::string WithSource(std::string text, const std::string& source) {
    for (std::size_t at; (at = text.find("{source}")) != std::string::npos;) text.replace(at, 8, source);
    return text;
}

class RunConversionTest : public ::testing::Test {
  protected:
    RunConversionTest() { host_.sourcePath = source_; }

    TemporaryFolder folder_;
    const std::string source_ = folder_ / "hill.asc";
    const std::string image_ = folder_ / "hill.tga";
    RecordingHost host_;
};

TEST_F(RunConversionTest, ConvertsAndReportsEachStepInOrder) {
    WriteFile(source_, TwoByTwoListing());
    const ConversionOutcome outcome = RunConversion(host_);
    EXPECT_EQ(host_.trace, BusyRun({kReading, kWriting, {"status Finished writing: " + image_}}));
    EXPECT_TRUE(outcome.converted);
    EXPECT_EQ(ReadFile(image_), kTwoByTwoImage);
    EXPECT_EQ(folder_.Names(), (Names{"hill.asc", "hill.tga"}));
}

TEST_F(RunConversionTest, WarnsAfterWritingWhenThePresetRangeClips) {
    WriteFile(source_, GridListing({"-3", "10", "20", "130"}));
    host_.usePresetRanges = true;
    host_.minPreset = "0";
    host_.maxPreset = "1 00 with text after";
    RunConversion(host_);
    EXPECT_EQ(host_.trace,
              BusyRun({kReading,
                       kWriting,
                       {"message Warning: a height value was lower than your minimum height range!",
                        "message Warning: a height value in was higher than your maximum height range!",
                        "status Finished writing: " + image_}}));
}

struct FailureCase {
    const char* name;
    std::string listing;         // written to hill.asc
    std::vector<Trace> reached;  // the steps before the message
    std::string message;         // with {source} for the source path
    std::optional<std::pair<std::string, std::string>> preset = std::nullopt;
    bool rectangular = false;
};

// A listing whose header describes a grid of 4 x 3 (or 3 x 4), but whose rows hold two vertices.
std::string RowsOfTwo() {
    std::string text = "Vertices: 12 Faces: 12\nVertex list\n";
    for (int i = 0; i < 12; ++i)
        text += "X:" + std::to_string(i % 2) + " Y:" + std::to_string(i / 2) + " Z:1\n";
    return text;
}

TEST_F(RunConversionTest, StopsWithOneMessageAndLeavesAnOlderImageUntouched) {
    const std::string four = GridListing({"1", "2", "3", "4"});
    const FailureCase cases[] = {
        {"not square",
         "Vertices: 9 Faces: 10\r\nVertex list:\r\n",
         {},
         "You terrain does not appear to be sqaure."},
        {"unreadable vertex",
         "Vertices: 4 Faces: 2\nVertex list\nZ:1\nZ:2\nVertex 2: no height\nZ:4\n",
         {kReading},
         "Failed to read vertex 2"},
        {"header",
         "Vertices: -4 Faces: 2\r\n",
         {},
         "Could not read '{source}': the vertex count -4 is negative."},
        {"grid too large",
         "Vertices: 1073741824 Faces: 2147352578\r\n",
         {},
         "Could not convert '{source}': its grid of 32768 x 32768 vertices is larger than the 32767 x 32767 "
         "a "
         "height-field image can hold."},
        {"no vertex list",
         "Vertices: 4 Faces: 2\r\nFace list:\r\n",
         {},
         "Could not read '{source}': the file ends before the line with \"Vertex list\"."},
        {"too few vertex lines",
         "Vertices: 4 Faces: 2\r\nVertex list:\r\nZ:1\r\nZ:2\r\n",
         {kReading},
         "Could not read '{source}': the file ends before vertex line 2 (of 4)."},
        {"equal heights",
         GridListing({"7", "7", "7", "7"}),
         {kReading},
         "Could not convert '{source}': every height is 7, which leaves no range to scale the heights over; "
         "use "
         "a preset height range."},
        {"automatic range too wide",
         GridListing({"-1e308", "1", "2", "1e308"}),
         {kReading},
         "Could not convert '{source}': the height range from -1e+308 to 1e+308 is too wide to scale."},
        {"empty presets",
         four,
         {kReading},
         "Could not convert '{source}': the preset minimum and maximum are both 0, which leaves no range to "
         "scale "
         "the heights over.",
         std::pair{"", ""}},
        {"infinite preset minimum",
         four,
         {kReading},
         "Could not convert '{source}': the preset minimum '-1e999' is not a finite number.",
         std::pair{"-1e999", "0"}},
        {"infinite preset maximum",
         four,
         {kReading},
         "Could not convert '{source}': the preset maximum '1e999' is not a finite number.",
         std::pair{"0", "1e999"}},
        {"preset range too wide",
         four,
         {kReading},
         "Could not convert '{source}': the height range from -1e+308 to 1e+308 is too wide to scale.",
         std::pair{"-1e308", "1e308"}},
        {"counts that fit no rectangle",
         "Vertices: 10 Faces: 10\r\nVertex list:\r\n",
         {},
         "Could not read '{source}': its 10 vertices and 10 faces fit no grid of C x R vertices (C and R "
         "from 2) "
         "with 2(C-1)(R-1) faces.",
         std::nullopt,
         true},
        {"a single row",
         "Vertices: 5 Faces: 0\r\nVertex list:\r\n",
         {},
         "Could not read '{source}': its 5 vertices and 0 faces fit no grid of C x R vertices (C and R from "
         "2) "
         "with 2(C-1)(R-1) faces.",
         std::nullopt,
         true},
        {"a rectangle too tall",
         "Vertices: 65536 Faces: 65534\r\n",
         {},
         "Could not convert '{source}': its grid of 2 x 32768 vertices is larger than the 32767 x 32767 a "
         "height-field image can hold.",
         std::nullopt,
         true},
        {"a first row that disagrees",
         RowsOfTwo(),
         {kReading},
         "Could not read '{source}': its first row holds 2 vertices (those with vertex 0's Y), but its 12 "
         "vertices and 12 faces make a grid of 3 x 4 or 4 x 3.",
         std::nullopt,
         true},
    };
    for (const auto& [name, listing, reached, message, preset, rectangular] : cases) {
        SCOPED_TRACE(name);
        WriteFile(source_, listing);
        WriteFile(image_, "older image");
        host_.trace.clear();
        host_.usePresetRanges = preset.has_value();
        if (preset) std::tie(host_.minPreset, host_.maxPreset) = *preset;
        RunOptions options;
        options.read.rectangular = rectangular;
        EXPECT_FALSE(RunConversion(host_, options).converted);
        std::vector<Trace> steps = reached;
        steps.push_back({"message " + WithSource(message, source_)});
        EXPECT_EQ(host_.trace, BusyRun(steps));
        EXPECT_EQ(ReadFile(image_), "older image");
        EXPECT_EQ(folder_.Names(), (Names{"hill.asc", "hill.tga"}));
    }
}

TEST_F(RunConversionTest, RefusesSourcesItCannotOpenOrWouldOverwriteAndImagesItCannotWrite) {
    std::filesystem::create_directory(folder_ / "maps.asc");
    ASSERT_EQ(mkfifo((folder_ / "pipe.asc").c_str(), 0600), 0);
    WriteFile(folder_ / "abc", TwoByTwoListing());
    WriteFile(folder_ / "over.tga", TwoByTwoListing());
    WriteFile(folder_ / "blocked.asc", TwoByTwoListing());
    std::filesystem::create_directory(folder_ / "blocked.tga");  // in the way of the rename
    const std::pair<std::string, Trace> cases[] = {
        {"", {"message There is no source file to convert: the source path is empty."}},
        {folder_ / "missing.asc", {"message Could not open '{source}': No such file or directory."}},
        {folder_ / "maps.asc", {"message Could not open '{source}': it is a folder, not a file."}},
        // A device or a pipe never ends the way a file does, or never opens.
        {"/dev/zero", {"message Could not open '{source}': it is not a regular file."}},
        {folder_ / "pipe.asc", {"message Could not open '{source}': it is not a regular file."}},
        {"abc",
         {"message Could not convert 'abc': a source path needs at least four characters to name the "
          "image."}},
        {folder_ / "over.tga",
         {"message Could not convert '{source}': its image '{source}' would be written over the source "
          "itself."}},
        {folder_ / "blocked.asc",
         {"status Reading Vertices...", "events", "status Writing POV-Ray Targa file...", "events",
          "message Could not write '" + folder_ / "blocked.tga" + "': Is a directory."}},
    };
    std::filesystem::current_path(folder_.Path());
    for (const auto& [source, steps] : cases) {
        host_.sourcePath = source;
        host_.trace.clear();
        RunConversion(host_);
        Trace expected = steps;
        for (std::string& entry : expected) entry = WithSource(entry, source);
        EXPECT_EQ(host_.trace, BusyRun({expected})) << source;
    }
    EXPECT_EQ(folder_.Names(),
              (Names{"abc", "blocked.asc", "blocked.tga", "maps.asc", "over.tga", "pipe.asc"}));
}

TEST_F(RunConversionTest, WritesIntoTheOutputFolderUnderTheUsualName) {
    WriteFile(source_, TwoByTwoListing());
    std::filesystem::create_directory(folder_ / "scenes");
    RunOptions options;
    options.outputFolder = folder_ / "scenes";
    EXPECT_EQ(RunConversion(host_, options).outputPath, folder_ / "scenes/hill.tga");
    EXPECT_EQ(ReadFile(folder_ / "scenes/hill.tga"), kTwoByTwoImage);
}

TEST(OutputPathFor, ReplacesTheLastFourCharactersWhateverTheyAre) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"/maps/hill.asc", "/maps/hill.tga"},
        {"hill.ascii", "hill.a.tga"},
        {"/maps/hill", "/maps/.tga"},
        {"abcd", ".tga"},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"berg.äsc", "berg.tga"},
        {"höhe", ".tga"},
    };
    for (const auto& [source, output] : cases) EXPECT_EQ(OutputPathFor(source, ".tga"), output) << source;
}

}  // namespace
}  // namespace tessiloom
