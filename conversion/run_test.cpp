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

// The conversation of a run with its host, from the busy pointer on to the busy pointer off: "R" for
// the reading status and its events, "W" for the writing ones, anything else as it stands, with
// {source} for the source path.
Trace BusyRun(const std::vector<std::string>& steps, const std::string& source) {
    Trace trace{"busy on"};
    for (std::string step : steps) {
        if (step == "R") trace.insert(trace.end(), {"status Reading Vertices...", "events"});
        if (step == "W") trace.insert(trace.end(), {"status Writing POV-Ray Targa file...", "events"});
        if (step == "R" || step == "W") continue;
        for (std::size_t at; (at = step.find("{source}")) != std::string::npos;) step.replace(at, 8, source);
        trace.push_back(step);
    }
    trace.push_back("busy off");
    return trace;
}

class RunConversionTest : public ::testing::Test {
  protected:
    RunConversionTest() { host_.sourcePath = source_; }

    TemporaryFolder folder_;
    const std::string source_ = folder_ / "hill.asc";
    const std::string image_ = folder_ / "hill.tga";
    RecordingHost host_;
};

TEST_F(RunConversionTest, ConvertsAndReportsEachStepInOrderWarningsAfterTheImage) {
    WriteFile(source_, TwoByTwoListing());
    EXPECT_TRUE(RunConversion(host_).converted);
    EXPECT_EQ(host_.trace, BusyRun({"R", "W", "status Finished writing: " + image_}, source_));
    EXPECT_EQ(ReadFile(image_), kTwoByTwoImage);
    EXPECT_EQ(folder_.Names(), (Names{"hill.asc", "hill.tga"}));

    WriteFile(source_, GridListing({"-3", "10", "20", "130"}));
    host_ = RecordingHost{source_, true, "0", "1 00 with text after"};
    RunConversion(host_);
    EXPECT_EQ(host_.trace,
              BusyRun({"R", "W", "message Warning: a height value was lower than your minimum height range!",
                       "message Warning: a height value in was higher than your maximum height range!",
                       "status Finished writing: " + image_},
                      source_));
}

// A listing whose header describes a grid of 4 x 3 (or 3 x 4), but whose rows hold two vertices.
std::string RowsOfTwo() {
    std::string text = "Vertices: 12 Faces: 12\nVertex list\n";
    for (int i = 0; i < 12; ++i)
        text += "X:" + std::to_string(i % 2) + " Y:" + std::to_string(i / 2) + " Z:1\n";
    return text;
}

struct FailureCase {
    std::string listing;             // written to hill.asc
    std::vector<std::string> steps;  // as BusyRun takes them
    std::optional<std::pair<std::string, std::string>> preset = std::nullopt;
    bool rectangular = false;
};

TEST_F(RunConversionTest, StopsWithOneMessageAndLeavesAnOlderImageUntouched) {
    const std::string four = GridListing({"1", "2", "3", "4"});
    const std::string read = "message Could not read '{source}': ";
    const std::string convert = "message Could not convert '{source}': ";
    const std::string noGrid = " fit no grid of C x R vertices (C and R from 2) with 2(C-1)(R-1) faces.";
    const std::string tooLarge = " vertices is larger than the 32767 x 32767 a height-field image can hold.";
    // clang-format off
    const FailureCase cases[] = {
        {"Vertices: 9 Faces: 10\r\nVertex list:\r\n", {"message You terrain does not appear to be sqaure."}},
        {"Vertices: 4 Faces: 2\nVertex list\nZ:1\nZ:2\nVertex 2: no height\nZ:4\n", {"R", "message Failed to read vertex 2"}},
        {"Vertices: -4 Faces: 2\r\n", {read + "the vertex count -4 is negative."}},
        {"Vertices: 1073741824 Faces: 2147352578\r\n", {convert + "its grid of 32768 x 32768" + tooLarge}},
        {"Vertices: 4 Faces: 2\r\nFace list:\r\n", {read + "the file ends before the line with \"Vertex list\"."}},
        {"Vertices: 4 Faces: 2\r\nVertex list:\r\nZ:1\r\nZ:2\r\n", {"R", read + "the file ends before vertex line 2 (of 4)."}},
        {GridListing({"7", "7", "7", "7"}),
         {"R", convert + "every height is 7, which leaves no range to scale the heights over; use a preset height range."}},
        {GridListing({"-1e308", "1", "2", "1e308"}), {"R", convert + "the height range from -1e+308 to 1e+308 is too wide to scale."}},
        {four, {"R", convert + "the preset minimum and maximum are both 0, which leaves no range to scale the heights over."},
         std::pair{"", ""}},
        {four, {"R", convert + "the preset minimum '-1e999' is not a finite number."}, std::pair{"-1e999", "0"}},
        {four, {"R", convert + "the preset maximum '1e999' is not a finite number."}, std::pair{"0", "1e999"}},
        {four, {"R", convert + "the height range from -1e+308 to 1e+308 is too wide to scale."}, std::pair{"-1e308", "1e308"}},
        {"Vertices: 10 Faces: 10\r\n", {read + "its 10 vertices and 10 faces" + noGrid}, std::nullopt, true},
        {"Vertices: 5 Faces: 0\r\n", {read + "its 5 vertices and 0 faces" + noGrid}, std::nullopt, true},
        {"Vertices: 65536 Faces: 65534\r\n", {convert + "its grid of 2 x 32768" + tooLarge}, std::nullopt, true},
        {RowsOfTwo(), {"R", read + "its first row holds 2 vertices (those with vertex 0's Y), but its 12 vertices and "
                                   "12 faces make a grid of 3 x 4 or 4 x 3."}, std::nullopt, true},
    };
    // clang-format on
    for (const auto& [listing, steps, preset, rectangular] : cases) {
        WriteFile(source_, listing);
        WriteFile(image_, "older image");
        host_ = RecordingHost{source_, preset.has_value()};
        if (preset) std::tie(host_.minPreset, host_.maxPreset) = *preset;
        RunOptions options;
        options.read.rectangular = rectangular;
        EXPECT_FALSE(RunConversion(host_, options).converted);
        EXPECT_EQ(host_.trace, BusyRun(steps, source_));
        EXPECT_EQ(ReadFile(image_), "older image");
        EXPECT_EQ(folder_.Names(), (Names{"hill.asc", "hill.tga"}));
    }
}

TEST_F(RunConversionTest, RefusesSourcesItCannotOpenOrWouldOverwriteAndImagesItCannotWrite) {
    std::filesystem::create_directory(folder_ / "maps.asc");
    ASSERT_EQ(mkfifo((folder_ / "pipe.asc").c_str(), 0600), 0);
    for (const char* name : {"abc", "over.tga", "blocked.asc"}) WriteFile(folder_ / name, TwoByTwoListing());
    std::filesystem::create_directory(folder_ / "blocked.tga");  // in the way of the rename
    const std::string notRegular = "message Could not open '{source}': it is not a regular file.";
    // clang-format off
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {"message There is no source file to convert: the source path is empty."}},
        {folder_ / "missing.asc", {"message Could not open '{source}': No such file or directory."}},
        {folder_ / "maps.asc", {"message Could not open '{source}': it is a folder, not a file."}},
        {"/dev/zero", {notRegular}},  // a device or a pipe never ends the way a file does, or never opens
        {folder_ / "pipe.asc", {notRegular}},
        {"abc", {"message Could not convert 'abc': a source path needs at least four characters to name the image."}},
        {folder_ / "over.tga", {"message Could not convert '{source}': its image '{source}' would be written over the source itself."}},
        {folder_ / "blocked.asc", {"R", "W", "message Could not write '" + folder_ / "blocked.tga" + "': Is a directory."}},
    };
    // clang-format on
    std::filesystem::current_path(folder_.Path());
    for (const auto& [source, steps] : cases) {
        host_ = RecordingHost{source};
        RunConversion(host_);
        EXPECT_EQ(host_.trace, BusyRun(steps, source)) << source;
    }
    EXPECT_EQ(folder_.Names(),
              (Names{"abc", "blocked.asc", "blocked.tga", "maps.asc", "over.tga", "pipe.asc"}));
}

TEST(OutputPathFor, ReplacesTheLastFourCharactersWhateverTheyAre) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {{"/maps/hill.asc", "/maps/hill.tga"},
                                                                        {"hill.ascii", "hill.a.tga"},
                                                                        {"/maps/hill", "/maps/.tga"},
                                                                        {"abcd", ".tga"},
                                                                        {"abc", std::nullopt},
                                                                        {"", std::nullopt},
                                                                        {"berg.äsc", "berg.tga"},
                                                                        {"höhe", ".tga"}};
    for (const auto& [source, output] : cases) EXPECT_EQ(OutputPathFor(source, ".tga"), output) << source;
}

}  // namespace
}  // namespace tessiloom
