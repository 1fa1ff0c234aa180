#include "conversion/run.h"

#include <gtest/gtest.h>

#include <string>

#include "conversion/recording_host.h"
#include "conversion/test_listing.h"
#include "files/test_files.h"

namespace tessiloom {
namespace {

const std::string kTwoByTwoImage(
    "\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20"
    "\0\xAA\xAA\0\xFF\xFF\0\0\0\0\x55\x55",
    30);

class RunConversionTest : public ::testing::Test {
  protected:
    RunConversionTest() { host_.sourcePath = folder_ / "hill.asc"; }

    TemporaryFolder folder_;
    RecordingHost host_;
};

TEST_F(RunConversionTest, ConvertsAndReportsEachStepInOrder) {
    WriteFile(host_.sourcePath, GridListing({"0", "10", "20", "30"}));
    const ConversionOutcome outcome = RunConversion(host_);
    const std::string output = folder_ / "hill.tga";
    EXPECT_EQ(host_.trace, (Trace{"busy on", "status Reading Vertices...", "events",
                                  "status Writing POV-Ray Targa file...", "events",
                                  "status Finished writing: " + output, "busy off"}));
    EXPECT_TRUE(outcome.converted);
    EXPECT_EQ(ReadFile(output), kTwoByTwoImage);
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"hill.asc", "hill.tga"}));
}

TEST_F(RunConversionTest, WarnsAfterWritingWhenThePresetRangeClips) {
    WriteFile(host_.sourcePath, GridListing({"-3", "10", "20", "130"}));
    host_.usePresetRanges = true;
    host_.minPreset = "0";
    host_.maxPreset = "1 00 with text after";
    RunConversion(host_);
    EXPECT_EQ(
        host_.trace,
        (Trace{"busy on", "status Reading Vertices...", "events", "status Writing POV-Ray Targa file...",
               "events", "message Warning: a height value was lower than your minimum height range!",
               "message Warning: a height value in was higher than your maximum height range!",
               "status Finished writing: " + folder_ / "hill.tga", "busy off"}));
}

TEST_F(RunConversionTest, ReportsTheTwoForeseenFailuresInTheirOwnWords) {
    WriteFile(host_.sourcePath, "Vertices: 9 Faces: 10\r\nVertex list:\r\n");
    RunConversion(host_);
    EXPECT_EQ(host_.trace,
              (Trace{"busy on", "message You terrain does not appear to be sqaure.", "busy off"}));

    host_.trace.clear();
    WriteFile(host_.sourcePath, "Vertices: 4 Faces: 2\nVertex list\nZ:1\nZ:2\nVertex 2: no height\nZ:4\n");
    RunConversion(host_);
    EXPECT_EQ(host_.trace, (Trace{"busy on", "status Reading Vertices...", "events",
                                  "message Failed to read vertex 2", "busy off"}));
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"hill.asc"});
}

struct FailureCase {
    const char* name;
    std::string listing;  // written to hill.asc
    std::string message;  // with {source} for the source path
    bool usePresetRanges = false;
    std::string minPreset = "0.0";
    std::string maxPreset = "1000.0";
};

std::string WithSource(std::string text, const std::string& source) {
    const std::string placeholder = "{source}";
    if (const auto at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), source);
    return text;
}

TEST_F(RunConversionTest, StopsWithAClearMessageAndLeavesAnOlderImageUntouched) {
    const std::string four = GridListing({"1", "2", "3", "4"});
    const FailureCase cases[] = {
        {"no header", "Vertex list:\r\nZ:1\r\n",
         "Could not read '{source}': the file ends before a line with \"Vertices:\"."},
        {"no faces", "Vertices: 4\r\n",
         "Could not read '{source}': the header line with \"Vertices:\" has no \"Faces:\"."},
        {"negative count", "Vertices: -4 Faces: 2\r\n",
         "Could not read '{source}': the vertex count -4 is negative."},
        {"count too large", "Vertices: 9999999999 Faces: 2\r\n",
         "Could not read '{source}': the vertex count 9999999999 does not fit a 32-bit integer."},
        {"grid too large", "Vertices: 1073741824 Faces: 2147352578\r\n",
         "Could not convert '{source}': its grid of 32768 x 32768 vertices is larger than the 32767 x 32767 "
         "a "
         "height-field image can hold."},
        {"no vertex list", "Vertices: 4 Faces: 2\r\nFace list:\r\n",
         "Could not read '{source}': the file ends before the line with \"Vertex list\"."},
        {"too few vertex lines", "Vertices: 4 Faces: 2\r\nVertex list:\r\nZ:1\r\nZ:2\r\n",
         "Could not read '{source}': the file ends before vertex line 2 (of 4)."},
        {"infinite height", GridListing({"1", "1e999", "3", "4"}),
         "Could not read '{source}': the height of vertex 1 is not a finite number."},
        {"equal heights", GridListing({"7", "7", "7", "7"}),
         "Could not convert '{source}': every height is 7, which leaves no range to scale the heights over; "
         "use "
         "a preset height range."},
        {"empty presets", four,
         "Could not convert '{source}': the preset minimum and maximum are both 0, which leaves no range to "
         "scale "
         "the heights over.",
         true, "", ""},
        {"infinite preset", four,
         "Could not convert '{source}': the preset maximum '1e999' is not a finite number.", true, "0",
         "1e999"},
        {"range too wide", four,
         "Could not convert '{source}': the height range from -1e+308 to 1e+308 is too wide to scale.", true,
         "-1e308", "1e308"},
    };
    const std::string output = folder_ / "hill.tga";
    for (const auto& [name, listing, message, usePresetRanges, minPreset, maxPreset] : cases) {
        WriteFile(host_.sourcePath, listing);
        WriteFile(output, "older image");
        host_.trace.clear();
        host_.usePresetRanges = usePresetRanges;
        host_.minPreset = minPreset;
        host_.maxPreset = maxPreset;
        EXPECT_FALSE(RunConversion(host_).converted) << name;
        ASSERT_GE(host_.trace.size(), 3u) << name;
        EXPECT_EQ(host_.trace[host_.trace.size() - 2], "message " + WithSource(message, host_.sourcePath))
            << name;
        EXPECT_EQ(host_.trace.back(), "busy off") << name;
        EXPECT_EQ(ReadFile(output), "older image") << name;
        EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"hill.asc", "hill.tga"})) << name;
    }
}

TEST_F(RunConversionTest, RefusesSourcesItCannotOpenOrWouldOverwrite) {
    std::filesystem::create_directory(folder_ / "maps.asc");
    WriteFile(folder_ / "abc", GridListing({"1", "2", "3", "4"}));
    WriteFile(folder_ / "hill.tga", GridListing({"1", "2", "3", "4"}));
    const std::pair<std::string, std::string> cases[] = {
        {"", "There is no source file to convert: the source path is empty."},
        {folder_ / "missing.asc", "Could not open '{source}': No such file or directory."},
        {folder_ / "maps.asc", "Could not open '{source}': it is a folder, not a file."},
        {"abc", "Could not convert 'abc': a source path needs at least four characters to name the image."},
        {folder_ / "hill.tga",
         "Could not convert '{source}': its image '{source}' would be written over the source itself."},
    };
    std::filesystem::current_path(folder_.Path());
    for (const auto& [source, message] : cases) {
        host_.sourcePath = source;
        host_.trace.clear();
        RunConversion(host_);
        std::string expected = WithSource(WithSource(message, source), source);
        EXPECT_EQ(host_.trace, (Trace{"busy on", "message " + expected, "busy off"})) << source;
    }
    EXPECT_EQ(ReadFile(folder_ / "hill.tga"), GridListing({"1", "2", "3", "4"}));
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"abc", "hill.tga", "maps.asc"}));
}

TEST_F(RunConversionTest, ReportsAnImageThatCannotBeWritten) {
    WriteFile(host_.sourcePath, GridListing({"0", "10", "20", "30"}));
    std::filesystem::create_directory(folder_ / "hill.tga");  // in the way of the rename
    RunConversion(host_);
    ASSERT_GE(host_.trace.size(), 2u);
    EXPECT_EQ(host_.trace[host_.trace.size() - 2],
              "message Could not write '" + folder_ / "hill.tga" + "': Is a directory.");
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"hill.asc", "hill.tga"}));
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
    for (const auto& [source, output] : cases) EXPECT_EQ(OutputPathFor(source), output) << source;
}

}  // namespace
}  // namespace tessiloom
