#include "cli/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <tuple>
#include <utility>

#include "cli/test_command_line.h"
#include "conversion/messages.h"
#include "conversion/test_listing.h"
#include "mesh/test_mesh.h"
#include "platform/test_files.h"
#include "tessiloom/version.h"

namespace tessiloom {
namespace {

using testing::AllOf, testing::FieldsAre, testing::HasSubstr, testing::Not, testing::StartsWith;

// A log that runs `act` once, as soon as the line `cue` has been written to it: a way into a run
// between two of its steps.
class CueingLog final : public std::stringbuf {
  public:
    CueingLog(const std::string& cue, std::function<void()> act) : cue_(cue + '\n'), act_(std::move(act)) {}

  private:
    int sync() override {
        if (act_ && str().ends_with(cue_)) std::exchange(act_, nullptr)();
        return 0;
    }
    std::string cue_;
    std::function<void()> act_;
};

class CommandLineTest : public ::testing::Test {
  protected:
    CommandLineTest() {
        WriteFile(hill_, kTwoByTwoListing);
        WriteFile(flat_, "Vertices: 9 Faces: 10\r\n");
    }
    TemporaryFolder folder_;
    const std::string hill_ = folder_ / "hill.asc", flat_ = folder_ / "flat.asc";
    const std::string square_ = ": You terrain does not appear to be sqaure.\n";
};

TEST_F(CommandLineTest, ConvertsEveryFileAndFailsIfAnyFailed) {
    EXPECT_EQ(
        Convert({flat_, hill_}),
        Result(1, "",
               flat_ + square_ + "Reading Vertices...\nWriting POV-Ray Targa file...\nFinished writing: " +
                   folder_ / "hill.tga" + "\n"));
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc", "hill.tga"}));
}

// Clipping is a warning, not a failure: the image is written, and each side says what it clipped.
TEST_F(CommandLineTest, PassesThePresetRangeAndKeepsOnlyMessagesWhenQuiet) {
    EXPECT_EQ(Convert({"--quiet", "--min", "15", "--max=1.8e1", hill_}),
              Result(0, "",
                     hill_ + ": Warning: a height value was lower than your minimum height range!\n" + hill_ +
                         ": 2 heights were clipped below the minimum 15; the lowest was 0.\n" + hill_ +
                         ": Warning: a height value in was higher than your maximum height range!\n" + hill_ +
                         ": 2 heights were clipped above the maximum 18; the highest was 30.\n"));
    // Vertices 2 and 3 (20 and 30) form the top row, clipped to 18; 0 and 10, below, to 15.
    EXPECT_EQ(ReadFile(folder_ / "hill.tga").substr(18), std::string("\0\xff\xff\0\xff\xff\0\0\0\0\0\0", 12));
}

// Each usage error says what is wrong on one line of its own, then where to look.
TEST_F(CommandLineTest, RejectsBadArgumentsBeforeConvertingAnything) {
    const std::string notPov =
        "' is not a POV-Ray name: a letter, then letters, digits or underscores, 35 "
        "characters at most, and none of POV-Ray's own words";
    // clang-format off
    std::vector<std::pair<std::vector<std::string>, std::string>> usageErrors = {
        {{}, "FILE is required"}, {{"--min", "0", hill_}, "--min requires --max"},
        {{"--max", "9", hill_}, "--max requires --min"}, {{"--bogus", hill_}, "The following argument was not expected: --bogus"},
        {{"--format", "bmp", hill_}, "--format: bmp not in {tga,png,pgm,r16,tiff}"},
        {{"--output-dir", folder_ / "missing", hill_}, "--output-dir: Directory does not exist: " + folder_ / "missing"},
        {{"--pov-name", "Hill", hill_}, "--pov-name requires --pov-include"},
        {{"--pov-include", "--pov-name", "2hill", hill_}, "--pov-name: '2hill" + notPov},
        {{"--info", "--pov-include", hill_}, "--pov-include excludes --info"},
        {{"--info", "--format", "png", hill_}, "--format excludes --info"},
        {{"--info", "--shared-range", hill_}, "--shared-range excludes --info"},
        {{"--shared-range", "--min", "0", "--max", "9", hill_}, "--min excludes --shared-range"},
        {{"--size", "9x9", hill_}, "--size requires --mesh"}, {{"--up", "y", hill_}, "--up requires --mesh"},
        {{"--mesh", "--up", "x", hill_}, "--up: x not in {y,z}"},
        {{"--rectangular", "--mesh", hill_}, "--rectangular excludes --mesh"},
    };
    // clang-format on
    for (const std::string size : {"1x9", "9x32768", "9x", "9 x 9", "-9x9", "+9x9", "9x9x9"})
        usageErrors.push_back({{"--mesh", "--size", size, hill_},
                               "--size: '" + size + "' is not a size WxH of 2 to 32767 each way"});
    for (const std::string height : {"abc", "1,5", "1 5", "1e", "&H", ""})
        usageErrors.push_back(
            {{"--min", height, "--max", "9", hill_}, "--min: '" + height + "' is not a number"});
    for (const auto& [arguments, error] : usageErrors) {
        EXPECT_EQ(Convert(arguments), Result(2, "", error + "\nRun with --help for more information.\n"))
            << testing::PrintToString(arguments);
    }
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc"}));
}

TEST_F(CommandLineTest, DescribesListingsWithoutWritingAnything) {
    EXPECT_EQ(
        Convert({"--info", "--min", "5", "--max", "25", hill_, flat_}),
        Result(1,
               hill_ +
                   "\n  vertices          4\n  faces             2\n  grid              2 x 2\n"
                   "  automatic range   0 to 30\n  heights           0 to 30\n  preset range      5 to 25\n"
                   "  clipped below     1 (lowest 0)\n  clipped above     1 (highest 30)\n",
               flat_ + square_));
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc"}));
    // Vertex 0 counts like the others, holding the lowest height or the highest, where the automatic
    // range (from 65000 and 0) does not reach.
    for (const auto& [heights, row] : {std::pair<std::vector<std::string>, std::string>{
                                           {"70000", "70010", "70020", "70030"}, "70000 to 70030"},
                                       {{"-5", "-20", "-10", "-15"}, "-20 to -5"}}) {
        WriteFile(hill_, GridListing(heights));
        EXPECT_THAT(Convert({"--info", hill_}),
                    FieldsAre(0, HasSubstr("\n  heights           " + row + "\n"), ""));
    }
    WriteFile(hill_, GridListing({"1", "2", "3", "4", "5", "6"}, "\n", 3));
    EXPECT_THAT(Convert({"--info", "--rectangular", hill_}),
                FieldsAre(0, HasSubstr("  grid              3 x 2\n"), ""));
    // A range a conversion could not scale over fails as the conversion would, for the same reason.
    WriteFile(hill_, GridListing({"5", "5", "5", "5"}));
    EXPECT_THAT(Convert({"--info", hill_}),
                FieldsAre(1, HasSubstr("5 to 5 (no span)"), HasSubstr("every height is 5")));
    EXPECT_THAT(
        Convert({"--info", "--min", "1e400", "--max", "9", hill_}),
        FieldsAre(1, HasSubstr("preset range      inf to 9\n"), HasSubstr("'1e400' is not a finite number")));
}

TEST_F(CommandLineTest, WritesImagesAndIncludesIntoTheOutputFolder) {
    std::filesystem::create_directory(folder_ / "scenes");
    EXPECT_EQ(Convert({"--quiet", "--pov-include", "--pov-name", "Crater", "--format", "png", "--output-dir",
                       folder_ / "scenes", hill_}),
              Result(0, "", ""));
    EXPECT_EQ(ReadFile(folder_ / "scenes/hill.png").substr(1, 3), "PNG");
    EXPECT_THAT(ReadFile(folder_ / "scenes/hill.inc"),
                HasSubstr("#declare Crater = height_field {\n    png \"hill.png\"\n"));
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "hill.asc", "scenes"}));
}

// An include that cannot be made or written fails its listing before the image is written: a folder
// in its way, no corners to place it by, a disk with room for the image alone. One whose place is
// taken while the image is written fails it after. Each says why once.
TEST_F(CommandLineTest, FailsAListingWhoseIncludeCannotBeWritten) {
    const std::string include = folder_ / "hill.inc", image = folder_ / "hill.tga";
    const std::string reading = "Reading Vertices...\n", isFolder = "': Is a directory.\n";
    std::filesystem::create_directory(include);
    EXPECT_EQ(Convert({"--pov-include", hill_}),
              Result(1, "", reading + hill_ + ": Could not write '" + include + isFolder));
    std::filesystem::remove(include);
    CueingLog log("Finished writing: " + image, [&] { std::filesystem::create_directory(include); });
    EXPECT_EQ(Convert({"--pov-include", hill_}, &log),
              Result(1, "",
                     reading + "Writing POV-Ray Targa file...\nFinished writing: " + image + "\n" + hill_ +
                         ": Could not write '" + include + isFolder));
    std::string unplaced = kTwoByTwoListing;
    for (std::size_t at; (at = unplaced.find("X:")) != std::string::npos;) unplaced[at] = 'W';
    WriteFile(folder_ / "unplaced.asc", unplaced);
    EXPECT_EQ(Convert({"--quiet", "--pov-include", folder_ / "unplaced.asc"}),
              Result(1, "",
                     folder_ / "unplaced.asc: Could not write '" + folder_ / "unplaced.inc" +
                         "': a corner vertex (0, 1 or the last) has no finite \"X:\" or \"Y:\" to place the "
                         "terrain by.\n"));
    std::filesystem::create_directory(folder_ / "full");
    {
        const FileSizeCap fullDisk(kTwoByTwoImage.size());
        EXPECT_EQ(Convert({"--quiet", "--pov-include", "--output-dir", folder_ / "full", hill_}),
                  Result(1, "",
                         hill_ + ": Could not write '" + folder_ / "full/hill.inc" + "': File too large.\n"));
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "full"));
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"flat.asc", "full", "hill.asc", "hill.inc",
                                                         "hill.tga", "unplaced.asc"}));
}

// Nothing is written over the listing itself, nor over an image another listing of the same command
// wrote; converting one listing twice is no such clash.
TEST_F(CommandLineTest, RefusesToReplaceTheListingOrAnotherListingsImage) {
    const std::string listing = folder_ / "hill.inc";  // hill.asc's include, and its own
    WriteFile(listing, kTwoByTwoListing);
    EXPECT_THAT(
        Convert({"-q", "--pov-include", hill_, listing}),
        FieldsAre(1, "",
                  AllOf(HasSubstr("over the listing '" + listing), HasSubstr("over the source itself"))));
    EXPECT_EQ(ReadFile(listing), kTwoByTwoListing);

    std::filesystem::create_directories(folder_ / "b");
    std::filesystem::create_directory(folder_ / "out");
    WriteFile(folder_ / "b/hill.asc", GridListing({"5", "5", "5", "9"}));
    EXPECT_THAT(Convert({"-q", "--output-dir", folder_ / "out", hill_, folder_ / "b/hill.asc"}),
                FieldsAre(1, "", HasSubstr("would replace the image just written from '" + hill_)));
    EXPECT_EQ(std::get<0>(Convert({"-q", hill_, hill_})), 0);
    EXPECT_EQ(ReadFile(folder_ / "out/hill.tga"), ReadFile(folder_ / "hill.tga"));
}

// Each tile converts exactly as it would with --min and --max set to the range that holds them all, for
// ranges that overlap and ranges apart; a tile that cannot be read is told first and counts for nothing.
// In both orders, so that the range can come neither from the first tile read nor from the last alone.
TEST_F(CommandLineTest, MapsEveryTileOverOneSharedRange) {
    const std::string tile = folder_ / "tile.asc", missing = folder_ / "missing.asc";
    for (const auto& [low, high] : {std::pair<std::string, std::string>{"20", "60"}, {"100", "130"}}) {
        WriteFile(tile, GridListing({low, high, high, high}));
        const std::string told = missing + ": Could not open '" + missing +
                                 "': No such file or directory.\nShared range: 0 to " + high + "\nReading";
        for (const auto& [first, second] : {std::pair{hill_, tile}, {tile, hill_}})
            EXPECT_THAT(Convert({"--shared-range", missing, first, second}),
                        FieldsAre(1, "", StartsWith(told)));
        const std::string images = ReadFile(folder_ / "hill.tga") + ReadFile(folder_ / "tile.tga");
        EXPECT_EQ(std::get<0>(Convert({"--min", "0", "--max", high, hill_, tile})), 0);
        EXPECT_EQ(ReadFile(folder_ / "hill.tga") + ReadFile(folder_ / "tile.tga"), images);
    }
    WriteFile(tile, GridListing({"7", "7", "7", "7"}));
    EXPECT_EQ(
        Convert({"-q", "--shared-range", tile}),
        Result(1, "",
               tile + ": Could not convert '" + tile +
                   "': every height is 7, which leaves no range to scale the heights over; use a preset "
                   "height range.\n"));
}

// A whole mesh: a lattice as the plain reading makes it, one pixel a node; a mesh that is no lattice
// sampled, and told what the samples fell on.
TEST_F(CommandLineTest, ConvertsWholeMeshes) {
    const std::string grid = folder_ / "grid.asc", irregular = folder_ / "irregular.asc";
    WriteFile(grid, WriteListing({GridObject(4, 3)}));
    TestObject holed = GridObject(3, 3);
    holed.vertices[4] = {12, 21, 7};
    holed.faces.pop_back();
    WriteFile(irregular, WriteListing({holed}));
    EXPECT_EQ(Convert({"-q", "--rectangular", grid}), Result(0, "", ""));
    const std::string plain = ReadFile(folder_ / "grid.tga");
    EXPECT_EQ(Convert({"-q", "--mesh", "--pov-include", grid}), Result(0, "", ""));
    EXPECT_EQ(ReadFile(folder_ / "grid.tga"), plain);
    EXPECT_THAT(ReadFile(folder_ / "grid.inc"),
                HasSubstr("#declare Grid_X1 = 30;  // the highest X, its right edge\n"));
    EXPECT_EQ(Convert({"-q", "--mesh", "--size", "7x5", grid}), Result(0, "", ""));  // covered: no warning
    EXPECT_THAT(Convert({"--info", "--mesh", "--size", "4x3", grid}),  // its own size: still lossless
                FieldsAre(0, HasSubstr("image             4 x 3 nodes of the lattice\n"), ""));
    EXPECT_EQ(Convert({"-q", "--mesh", "--size", "5x4", irregular}),
              Result(0, "", irregular + ": Warning: 1 sample lies under no triangle; its level is 0.\n"));
    EXPECT_EQ(
        Convert({"--info", "--mesh", irregular}),
        Result(0,
               irregular + "\n  objects           1\n  used vertices     9\n  triangles         7\n  lattice "
                           "          none\n"
                           "  box               X 0 to 20, Y 0 to 40\n  image             2 x 4 samples\n"
                           "  empty samples     0\n  folded samples    0\n  automatic range   -3.5 to 7\n"
                           "  heights           -3.5 to 5.25\n",
               ""));
    WriteFile(irregular, WriteListing({{"Edge", {{0, 0, 1}, {1, 1, 2}, {2, 2, 3}}, {{0, 1, 2}}}}));
    EXPECT_THAT(
        Convert({"--info", "--mesh", irregular}),  // a triangle on edge holds no sample
        FieldsAre(0,
                  HasSubstr("  empty samples     4\n  folded samples    0\n  automatic range   1 to 3\n"
                            "  heights           none\n"),
                  ""));
    TestObject standing = GridObject(3, 3);  // exported with Y up: the ground's Y is -Z, from Z = 0, not -0
    for (TestVertex& at : standing.vertices) at = {at.x, at.z, 0.0 - at.y};
    WriteFile(grid, WriteListing({standing}));
    EXPECT_THAT(Convert({"--info", "--mesh", "--up", "y", grid}),
                FieldsAre(0, HasSubstr("box               X 0 to 20, -Z 0 to 40\n"), ""));
    ASSERT_EQ(Convert({"-q", "--mesh", "--up", "y", "--pov-include", grid}), Result(0, "", ""));
    EXPECT_THAT(ReadFile(folder_ / "grid.inc"),
                HasSubstr("#declare Grid_Y1 = 40;  // the highest -Z, its top edge\n"));
}

// A height written with a decimal comma is read up to it, as ever, and the user is told.
TEST_F(CommandLineTest, WarnsOfHeightsReadUpToADecimalComma) {
    WriteFile(hill_, GridListing({"0", "10,5", "20,05", "30.5"}));
    EXPECT_EQ(Convert({"-q", hill_}),
              Result(0, "",
                     hill_ + ": " + kDecimalCommaWarning + "\n" + hill_ +
                         ": 2 heights were read only up to a decimal comma; tessiloom-convert --mesh reads "
                         "decimal commas as points.\n"));
    WriteFile(hill_,
              GridListing({"0", "10,5", "20", "30.5,25"}));  // a comma after a point is no decimal comma
    EXPECT_THAT(Convert({"-q", hill_}),
                FieldsAre(0, "", HasSubstr(": 1 height was read only up to a decimal comma")));
}

// In a child process whose memory is limited, describes the listing `write` writes, in a folder of its
// own, gone again before the process ends.
[[noreturn]] void DescribeBeyondMemory(void (*write)(const std::string& path), const std::string& option) {
    Result result;
    {
        TemporaryFolder folder;
        write(folder / "big.asc");
        LimitAddressSpace(rlim_t{64} << 20);
        result = Convert({"--info", option, folder / "big.asc"});
    }
    std::cerr << std::get<2>(result);
    std::exit(std::get<0>(result));
}

// Objects whose names alone hold more than the memory there is: what no block of the reading holds,
// on either reading thread.
void WriteObjectsWithLongNames(const std::string& path) {
    TestObject tile = GridObject(2, 2, std::string(std::size_t{1} << 20, 'n'));
    WriteFile(path, WriteListing(std::vector<TestObject>(96, tile)));
}

TEST(CommandLineDeathTest, DescribesNoListingTooLargeForTheMemoryThereIs) {
    if (!kCanLimitAddressSpace) GTEST_SKIP() << "under a sanitizer";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string message =
        "big.asc: Could not read '[^']*big.asc': there is not enough memory to hold it\\.";
    EXPECT_EXIT(DescribeBeyondMemory(WriteListingWithLongLine, "--rectangular"), testing::ExitedWithCode(1),
                message);
    EXPECT_EXIT(DescribeBeyondMemory(WriteObjectsWithLongNames, "--mesh"), testing::ExitedWithCode(1),
                message);
}

TEST_F(CommandLineTest, FailsWhenTheDescriptionCannotBeWritten) {
    const char* argv[] = {"tessiloom-convert", "--info", hill_.c_str()};
    std::ostringstream full, log;
    full.setstate(std::ios::badbit);  // as standard output on a full disk
    EXPECT_EQ(RunCommandLine(3, argv, full, log), 1);
    EXPECT_EQ(log.str(), "tessiloom-convert: could not write to standard output\n");
}

// Help within 80 columns, each value named alone, as help2man's page takes it too.
TEST(CommandLine, AnswersHelpAndVersionOnStandardOutput) {
    EXPECT_EQ(Convert({"--version"}), Result(0, std::string("tessiloom-convert ") + kVersionText + "\n", ""));
    const auto [code, help, errors] = Convert({"--help"});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(errors, "");
    EXPECT_THAT(help,
                AllOf(HasSubstr("\n  --min HEIGHT        the height that maps to 0 (given with --max)\n"),
                      HasSubstr("\n  --format tga|png|pgm|r16|tiff\n"),
                      HasSubstr("\nExamples:\n  tessiloom-convert hill.asc\n"), Not(HasSubstr("TEXT")),
                      Not(HasSubstr("Needs"))));
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
}

}  // namespace
}  // namespace tessiloom
