#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "conversion/test_listing.h"
#include "platform/test_files.h"
#include "tessiloom/version.h"

namespace tessiloom {
namespace {

struct Result {
    int exitCode;
    std::string out;
    std::string log;
};

Result Convert(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tessiloom-convert");
    std::vector<const char*> argv;
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    std::ostringstream out;
    std::ostringstream log;
    const int exitCode = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, log);
    return {exitCode, out.str(), log.str()};
}

class CommandLineTest : public ::testing::Test {
  protected:
    CommandLineTest() {
        WriteFile(hill_, TwoByTwoListing());
        WriteFile(flat_, "Vertices: 9 Faces: 10\r\n");
    }
    TemporaryFolder folder_;
    const std::string hill_ = folder_ / "hill.asc";
    const std::string flat_ = folder_ / "flat.asc";
};

TEST_F(CommandLineTest, ConvertsEveryFileAndFailsIfAnyFailed) {
    const Result result = Convert({flat_, hill_});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.log, flat_ +
                              ": You terrain does not appear to be sqaure.\n"
                              "Reading Vertices...\nWriting POV-Ray Targa file...\nFinished writing: " +
                              folder_ / "hill.tga" + "\n");
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc", "hill.tga"}));
    EXPECT_EQ(Convert({hill_}).exitCode, 0);
}

// Clipping is a warning, not a failure: the image is written, and each side says what it clipped.
TEST_F(CommandLineTest, PassesThePresetRangeAndKeepsOnlyMessagesWhenQuiet) {
    const Result result = Convert({"--quiet", "--min", "15", "--max=1.8e1", hill_});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, hill_ + ": Warning: a height value was lower than your minimum height range!\n" +
                              hill_ + ": 2 heights were clipped below the minimum 15; the lowest was 0.\n" +
                              hill_ +
                              ": Warning: a height value in was higher than your maximum height range!\n" +
                              hill_ + ": 2 heights were clipped above the maximum 18; the highest was 30.\n");
    // Vertices 2 and 3 (20 and 30) form the top row, clipped to 18; 0 and 10, below, to 15.
    EXPECT_EQ(ReadFile(folder_ / "hill.tga").substr(18), std::string("\0\xff\xff\0\xff\xff\0\0\0\0\0\0", 12));
}

TEST_F(CommandLineTest, RejectsBadArgumentsBeforeConvertingAnything) {
    const std::string missing = folder_ / "missing";
    // clang-format off
    const std::vector<std::string> usageErrors[] = {
        {}, {"--min", "0", hill_}, {"--max", "9", hill_}, {"--bogus", hill_}, {"--format", "bmp", hill_},
        {"--min", "abc", "--max", "9", hill_}, {"--min", "1,5", "--max", "9", hill_},
        {"--min", "1 5", "--max", "9", hill_}, {"--min", "1e", "--max", "9", hill_},
        {"--min", "&H", "--max", "9", hill_}, {"--min", "", "--max", "9", hill_},
        {"--output-dir", missing, hill_}, {"--pov-name", "Hill", hill_},
        {"--pov-include", "--pov-name", "2hill", hill_}, {"--info", "--pov-include", hill_},
        {"--info", "--format", "png", hill_}, {"--info", "--shared-range", hill_},
        {"--shared-range", "--min", "0", "--max", "9", hill_},
    };
    // clang-format on
    for (const auto& arguments : usageErrors) {
        const Result result = Convert(arguments);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(arguments);
        EXPECT_FALSE(result.log.empty()) << testing::PrintToString(arguments);
    }
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc"}));
}

TEST_F(CommandLineTest, DescribesListingsWithoutWritingAnything) {
    const Result result = Convert({"--info", "--min", "5", "--max", "25", hill_, flat_});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, hill_ +
                              "\n"
                              "  vertices          4\n"
                              "  faces             2\n"
                              "  grid              2 x 2\n"
                              "  automatic range   0 to 30\n"
                              "  heights           0 to 30\n"
                              "  preset range      5 to 25\n"
                              "  clipped below     1 (lowest 0)\n"
                              "  clipped above     1 (highest 30)\n");
    EXPECT_EQ(result.log, flat_ + ": You terrain does not appear to be sqaure.\n");
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc"}));

    WriteFile(hill_, GridListing({"1", "2", "3", "4", "5", "6"}, "\n", 3));
    EXPECT_NE(Convert({"--info", "--rectangular", hill_}).out.find("  grid              3 x 2\n"),
              std::string::npos);
}

TEST_F(CommandLineTest, WritesImagesAndIncludesIntoTheOutputFolder) {
    std::filesystem::create_directory(folder_ / "scenes");
    const Result result = Convert({"--quiet", "--pov-include", "--pov-name", "Crater", "--format", "png",
                                   "--output-dir", folder_ / "scenes", hill_});
    EXPECT_EQ(result.exitCode, 0) << result.log;
    EXPECT_EQ(ReadFile(folder_ / "scenes/hill.png").substr(1, 3), "PNG");
    EXPECT_NE(ReadFile(folder_ / "scenes/hill.inc")
                  .find("#declare Crater = height_field {\n    png \"hill.png\"\n"),
              std::string::npos);
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc", "scenes"}));
}

// Each tile converts exactly as it would with --min and --max set to the range that holds them all;
// a tile that cannot be read is told first and counts for nothing.
TEST_F(CommandLineTest, MapsEveryTileOverOneSharedRange) {
    const std::string tile = folder_ / "tile.asc";
    const std::string missing = folder_ / "missing.asc";
    const std::pair<std::vector<std::string>, std::pair<std::string, std::string>> cases[] = {
        {{"20", "40", "50", "60"}, {"0", "60"}},       // ranges that overlap
        {{"100", "110", "120", "130"}, {"0", "130"}},  // ranges apart
    };
    for (const auto& [heights, range] : cases) {
        WriteFile(tile, GridListing(heights));
        const Result shared = Convert({"--shared-range", missing, hill_, tile});
        EXPECT_EQ(shared.exitCode, 1);
        EXPECT_TRUE(shared.log.starts_with(missing + ": Could not open '" + missing +
                                           "': No such file or directory.\nShared range: " + range.first +
                                           " to " + range.second + "\nReading Vertices...\n"))
            << shared.log;
        const std::string images = ReadFile(folder_ / "hill.tga") + ReadFile(folder_ / "tile.tga");
        EXPECT_EQ(Convert({"--min", range.first, "--max", range.second, hill_, tile}).exitCode, 0);
        EXPECT_EQ(ReadFile(folder_ / "hill.tga") + ReadFile(folder_ / "tile.tga"), images);
    }
}

TEST(CommandLine, AnswersHelpAndVersionOnStandardOutput) {
    const Result version = Convert({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("tessiloom-convert ") + kVersionText + "\n");
    const Result help = Convert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--min"), std::string::npos);
}

}  // namespace
}  // namespace tessiloom
