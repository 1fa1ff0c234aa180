// Every format, through the command line, proven by what reads it: GDAL for the GeoTIFF, a decoder of
// its own for the raw levels, the POV-Ray include's own numbers for the sidecar. (POV-Ray renders the
// PGM in povray_test.cpp.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>

#include "cli/test_command_line.h"
#include "conversion/test_listing.h"
#include "mesh/test_mesh.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

using testing::FieldsAre, testing::HasSubstr;

class ImageFormatsTest : public ::testing::Test {
  protected:
    ImageFormatsTest() { WriteFile(listing_, WriteListing({holed_})); }

    // The 4 x 3 grid with one triangle cut out, and a vertex off its node: sampled, not a lattice.
    static TestObject Holed() {
        TestObject grid = GridObject(4, 3);
        grid.vertices[5].x += 2;
        grid.faces.pop_back();
        return grid;
    }

    TemporaryFolder folder_;
    const TestObject holed_ = Holed();
    const std::string listing_ = folder_ / "hill.asc";
};

// What a GDAL program prints; empty when it fails.
std::string Gdal(const std::string& command) {
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("GDAL_PAM_ENABLED=NO " + command).c_str(), "r"),
                                                     pclose);
    std::string printed;
    char chunk[4096];
    for (std::size_t read; pipe && (read = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;)
        printed.append(chunk, read);
    return printed;
}

// The height GDAL finds at the point (x, y).
std::string HeightAt(const std::string& tiff, double x, double y) {
    return Gdal("gdallocationinfo -valonly -geoloc '" + tiff + "' " + NumberText(x) + " " + NumberText(y));
}

TEST_F(ImageFormatsTest, GdalReadsTheGeoTiffsHeightsAtTheirVertices) {
    if (std::system("command -v gdalinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "GDAL is not installed";
    const std::string tiff = folder_ / "hill.tif";
    // A lattice: every pixel's centre on its vertex, the bottom-left on vertex 0, north up.
    WriteFile(listing_, WriteListing({GridObject(4, 3)}));
    ASSERT_EQ(Convert({"-q", "--mesh", "--format", "tiff", listing_}), Result(0, "", ""));
    const nlohmann::json info = nlohmann::json::parse(Gdal("gdalinfo -json '" + tiff + "'"));
    EXPECT_EQ(info["size"], nlohmann::json({4, 3}));
    EXPECT_EQ(info["geoTransform"], nlohmann::json({-5.0, 10.0, 0.0, 50.0, 0.0, -20.0}));
    EXPECT_FALSE(info.contains("coordinateSystem"));
    EXPECT_EQ(info["bands"][0]["type"], "Float32");
    EXPECT_EQ(info["bands"][0]["noDataValue"], "NaN");
    for (const TestVertex& at : GridObject(4, 3).vertices)
        EXPECT_EQ(HeightAt(tiff, at.x, at.y), NumberText(at.z) + "\n");
    // Sampled, with a preset range: the heights clamped into it, the hole the file's nodata.
    WriteFile(listing_, WriteListing({holed_}));
    ASSERT_THAT(
        Convert({"-q", "--mesh", "--size", "7x5", "--min", "0", "--max", "5", "--format", "tiff", listing_}),
        FieldsAre(0, "", HasSubstr("1 sample lies under no triangle")));
    EXPECT_EQ(HeightAt(tiff, 0, 0), "0\n");    // -3.5, clamped
    EXPECT_EQ(HeightAt(tiff, 30, 0), "5\n");   // 9, clamped
    EXPECT_EQ(HeightAt(tiff, 30, 20), "0\n");  // -2.25, clamped
    // Between vertex 4 and vertex 5, moved off its node to X 12.
    EXPECT_EQ(std::stof(HeightAt(tiff, 5, 20)), static_cast<float>(-1 + 5.0 / 12 * (7.75 - -1)));
    EXPECT_EQ(HeightAt(tiff, 25, 40), "nan\n");  // the hole
    // A grid listed from its north-east corner lies as it is listed.
    TestObject mirrored = GridObject(4, 3);
    for (TestVertex& at : mirrored.vertices) at = {30 - at.x, 40 - at.y, at.z};
    WriteFile(listing_, WriteListing({mirrored}));
    ASSERT_EQ(Convert({"-q", "--rectangular", "--format", "tiff", listing_}), Result(0, "", ""));
    for (const TestVertex& at : mirrored.vertices)
        EXPECT_EQ(HeightAt(tiff, at.x, at.y), NumberText(at.z) + "\n") << at.x << " " << at.y;
    EXPECT_EQ(nlohmann::json::parse(Gdal("gdalinfo -json '" + tiff + "'"))["geoTransform"],
              nlohmann::json({35.0, -10.0, 0.0, -10.0, 0.0, 20.0}));  // pixel centres on the vertices
}

// R16 is the levels and nothing else: the PGM's, byte for byte after its header, the other way round.
TEST_F(ImageFormatsTest, RawLevelsAreThePgmsLevelsLowByteFirst) {
    WriteFile(listing_, WriteListing({GridObject(4, 3)}));
    for (const char* format : {"pgm", "r16"})
        ASSERT_EQ(Convert({"-q", "--mesh", "--format", format, listing_}), Result(0, "", ""));
    const std::string pgm = ReadFile(folder_ / "hill.pgm"), r16 = ReadFile(folder_ / "hill.r16");
    const std::string header = "P5\n4 3\n65535\n";
    ASSERT_EQ(pgm.substr(0, header.size()), header);
    std::string swapped = pgm.substr(header.size());
    for (std::size_t at = 0; at + 1 < swapped.size(); at += 2) std::swap(swapped[at], swapped[at + 1]);
    EXPECT_EQ(r16, swapped);
}

// The sidecar's numbers are the include's, whatever the format, and its image is the one beside it.
TEST_F(ImageFormatsTest, SidecarTellsWhatTheIncludeDeclares) {
    std::filesystem::create_directory(folder_ / "out");
    const auto convert = [&](const std::string& format, bool include) {
        std::vector<std::string> arguments = {"-q",        "--mesh",       "--size",        "9x7",
                                              "--sidecar", "--output-dir", folder_ / "out", "--format",
                                              format,      listing_};
        if (include) arguments.insert(arguments.begin(), "--pov-include");
        return Convert(arguments);
    };
    ASSERT_THAT(convert("tga", true), FieldsAre(0, "", HasSubstr("under no triangle")));
    const std::string include = ReadFile(folder_ / "out/hill.inc");
    for (const auto& [format, image] :
         {std::pair{"tga", "hill.tga"}, {"pgm", "hill.pgm"}, {"r16", "hill.r16"}, {"tiff", "hill.tif"}}) {
        ASSERT_THAT(convert(format, false), FieldsAre(0, "", HasSubstr("under no triangle")));
        const nlohmann::json sidecar = nlohmann::json::parse(ReadFile(folder_ / "out/hill.json"));
        EXPECT_EQ(sidecar["image"], image);
        EXPECT_EQ(sidecar["width"], 9);
        EXPECT_EQ(sidecar["height"], 7);
        for (const auto& [key, name] : {std::pair{"low", "Low"},
                                        {"high", "High"},
                                        {"x0", "X0"},
                                        {"x1", "X1"},
                                        {"y0", "Y0"},
                                        {"y1", "Y1"}}) {
            std::smatch declared;
            ASSERT_TRUE(std::regex_search(include, declared,
                                          std::regex("#declare Hill_" + std::string(name) + " = ([^;]+);")));
            EXPECT_EQ(sidecar[key].get<double>(), std::stod(declared[1])) << format << " " << key;
        }
        EXPECT_DOUBLE_EQ(sidecar["levelHeight"].get<double>(), (9 - -3.5) / 65535) << format;
        // Unreal's scales go only with levels: a GeoTIFF holds the heights themselves.
        EXPECT_EQ(sidecar.contains("unreal"), format != std::string("tiff")) << format;
        if (sidecar.contains("unreal")) {
            EXPECT_DOUBLE_EQ(sidecar["unreal"]["zScale"].get<double>(), (9 - -3.5) / 512 * 100) << format;
        }
    }
}

// Every format goes with the options that settle the range and take rectangles, for every file.
TEST_F(ImageFormatsTest, EveryFormatTakesTheRangeAndGridOptions) {
    const std::string west = folder_ / "west.asc", east = folder_ / "east.asc";
    WriteFile(west, GridListing({"1", "2", "3", "4", "5", "6"}, "\r\n", 3));
    WriteFile(east, GridListing({"4", "5", "6", "9", "8", "7"}, "\r\n", 3));
    std::filesystem::create_directory(folder_ / "out");
    for (const auto& [format, extension] :
         {std::pair{"png", ".png"}, {"pgm", ".pgm"}, {"r16", ".r16"}, {"tiff", ".tif"}, {"tga", ".tga"}}) {
        EXPECT_EQ(Convert({"-q", "--shared-range", "--rectangular", "--sidecar", "--format", format,
                           "--output-dir", folder_ / "out", west, east}),
                  Result(0, "", ""))
            << format;
        const nlohmann::json sidecar = nlohmann::json::parse(ReadFile(folder_ / "out/east.json"));
        EXPECT_EQ(sidecar["image"], std::string("east") + extension);
        EXPECT_EQ(sidecar["low"], 1);  // the shared range, from both tiles
        EXPECT_EQ(sidecar["high"], 9);
        EXPECT_EQ(sidecar["width"], 3);
    }
}

TEST_F(ImageFormatsTest, RefusesWhatNoFormatCanDoAndWritesOverNoListing) {
    for (const char* format : {"r16", "tiff"}) {
        EXPECT_EQ(Convert({"--pov-include", "--format", format, listing_}),
                  Result(2, "",
                         std::string("--pov-include: POV-Ray reads no height field in the format ") + format +
                             "; write tga, png or pgm for it\nRun with --help for more information.\n"));
    }
    EXPECT_EQ(std::get<0>(Convert({"--info", "--sidecar", listing_})), 2);
    // Only a GeoTIFF says where its pixels lie: a listing without X and Y converts to the rest.
    const std::string unplaced = folder_ / "unplaced.asc";
    WriteFile(unplaced,
              "Tri-mesh, Vertices: 4     Faces: 2\r\nVertex list:\r\nVertex 0:  Z:0\r\nVertex 1:  Z:10\r\n"
              "Vertex 2:  Z:20\r\nVertex 3:  Z:30\r\n");
    for (const char* format : {"tga", "png", "pgm", "r16"})
        EXPECT_EQ(Convert({"-q", "--format", format, unplaced}), Result(0, "", "")) << format;
    EXPECT_EQ(Convert({"-q", "--format", "tiff", unplaced}),
              Result(1, "",
                     unplaced + ": Could not write '" + (folder_ / "unplaced.tif") +
                         "': a corner vertex (0, 1 or the last) has no finite \"X:\" or \"Y:\" to place the "
                         "terrain by.\n"));
    // A listing is refused as the target of any file a conversion writes, whatever its extension.
    for (const auto& [format, target] :
         {std::pair{"tiff", "hill.tif"}, {"r16", "hill.r16"}, {"pgm", "hill.json"}}) {
        const std::string other = folder_ / target;
        WriteFile(other, WriteListing({holed_}));
        EXPECT_THAT(Convert({"-q", "--mesh", "--sidecar", "--format", format, listing_, other}),
                    FieldsAre(1, "", HasSubstr("would be written over the listing '" + other + "'")));
        EXPECT_EQ(ReadFile(other), WriteListing({holed_}));
        std::filesystem::remove(other);
    }
}

}  // namespace
}  // namespace tessiloom
