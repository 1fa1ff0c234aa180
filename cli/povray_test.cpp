// The images' real consumer. POV-Ray renders a terrain from our Targa, PNG and PGM, and from a
// 16-bit PGM of the levels the images are meant to hold, worked out here from the listing's own
// numbers: equal renders prove that POV-Ray takes the bytes, the rows and the corners as intended.
// Then it includes the generated file and traces the terrain at known vertices, which must come out
// at the listing's own X, Y and Z, for square and rectangular grids. Skipped without povray.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// Not the origin, and not a unit square: the include must place it.
constexpr double kX0 = -1200.0, kCellX = 30.0, kY0 = 5400.0, kCellY = 45.0;

// Lopsided on purpose: a mirrored, flipped or transposed placement would move these heights; and
// the ripple is smaller than a step of the high byte.
double HeightAt(int row, int column) {
    return 812.5 + 3.0 * column + 0.75 * row * row + (row == 6 && column == 2 ? 40 : 0) +
           0.3 * std::sin(row * 1.3 + column * 0.7);
}

std::string RidgeListing(int columns, int rows) {
    std::ostringstream text;
    text.precision(10);
    text << "Tri-mesh, Vertices: " << columns * rows << "     Faces: " << 2 * (columns - 1) * (rows - 1)
         << "\r\nVertex list:\r\n";
    for (int i = 0; i < columns * rows; ++i) {
        text << "Vertex " << i << ":  X:" << kX0 + kCellX * (i % columns)
             << "  Y:" << kY0 + kCellY * (i / columns) << "  Z:" << HeightAt(i / columns, i % columns)
             << "\r\n";
    }
    return text.str();
}

// A binary 16-bit PGM, top row first: the last grid row at the top and vertex 0 at the bottom left,
// each height scaled over the listing's range and rounded half to even.
std::string ExpectedPgm(int side) {
    std::vector<double> heights;
    for (int row = side - 1; row >= 0; --row)
        for (int column = 0; column < side; ++column) heights.push_back(HeightAt(row, column));
    const auto [low, high] = std::minmax_element(heights.begin(), heights.end());
    std::string pgm = "P5\n" + std::to_string(side) + " " + std::to_string(side) + "\n65535\n";
    for (const double height : heights) {
        const auto level = static_cast<unsigned>(std::nearbyint((height - *low) / (*high - *low) * 65535));
        pgm += {static_cast<char>(level >> 8), static_cast<char>(level & 0xFF)};
    }
    return pgm;
}

class PovRay : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v povray >/dev/null 2>&1") != 0) GTEST_SKIP() << "povray is not installed";
    }

    void Convert(std::vector<std::string> options) {
        options.push_back(folder_ / "ridge.asc");
        std::vector<const char*> argv{"tessiloom-convert", "--quiet", "--pov-include"};
        for (const std::string& option : options) argv.push_back(option.c_str());
        std::ostringstream out, log;
        const int exitCode = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, log);
        EXPECT_EQ(std::pair(exitCode, log.str()), std::pair(kExitConverted, std::string()));
    }

    // The pixels POV-Ray renders of `scene`; empty, after reporting its log, when it fails.
    std::string Rendered(const std::string& scene) {
        WriteFile(folder_ / "scene.pov", scene);
        const std::string render = "cd '" + folder_.Path().string() +
                                   "' && povray +Iscene.pov +Oscene.ppm +FP -D +W64 +H48 -A >povray.log 2>&1";
        if (std::system(render.c_str()) != 0) {
            ADD_FAILURE() << ReadFile(folder_ / "povray.log");
            return "";
        }
        // The header's comment holds the time of rendering; the pixels follow the last of its four lines.
        const std::string ppm = ReadFile(folder_ / "scene.ppm");
        return ppm.substr(ppm.find("\n255\n") + 5);
    }

    TemporaryFolder folder_;
};

// Looks at the whole terrain, placed where our include puts it, from above one corner.
std::string LookScene(const std::string& field) {
    return "#version 3.7;\n#include \"ridge.inc\"\n"
           "camera { location <-1300, 1050, 5420> look_at <-1080, 840, 5580> }\n"
           "light_source { <-3000, 3000, 4000> color rgb 1 }\n"
           "height_field { " +
           field +
           " smooth\n"
           "  scale <Ridge_X1 - Ridge_X0, (Ridge_High - Ridge_Low) * 65536 / 65535, Ridge_Y1 - Ridge_Y0>\n"
           "  translate <Ridge_X0, Ridge_Low, Ridge_Y0>\n"
           "  pigment { gradient y color_map { [0 rgb 0] [1 rgb 1] } scale 60 } }\n";
}

TEST_F(PovRay, RendersOurImagesLikeTheLevelsTheyAreToHold) {
    WriteFile(folder_ / "ridge.asc", RidgeListing(9, 9));
    WriteFile(folder_ / "expected.pgm", ExpectedPgm(9));
    Convert({"--format", "png"});
    Convert({"--format", "pgm"});
    Convert({});
    EXPECT_EQ(ReadFile(folder_ / "ridge.pgm"), ReadFile(folder_ / "expected.pgm"));
    const std::string expected = Rendered(LookScene("pgm \"expected.pgm\""));
    ASSERT_EQ(expected.size(), 64u * 48 * 3);
    EXPECT_NE(expected, std::string(expected.size(), '\0'));  // the terrain is in the picture
    for (const char* field : {"tga \"ridge.tga\"", "png \"ridge.png\"", "pgm \"ridge.pgm\""})
        EXPECT_EQ(Rendered(LookScene(field)), expected) << field;
}

TEST_F(PovRay, IncludePlacesTheTerrainAtItsTrueSizeAndHeight) {
    for (const auto& [columns, rows, format] : {std::tuple{9, 9, "tga"}, {11, 7, "png"}, {6, 10, "pgm"}}) {
        WriteFile(folder_ / "ridge.asc", RidgeListing(columns, rows));
        Convert({"--rectangular", "--format", format});
        // Straight down at every inner vertex: rays along the outer edge may slip past it.
        std::ostringstream scene;
        scene << "#version 3.7;\n#include \"ridge.inc\"\n#fopen Results \"traced.txt\" write\n"
              << "#for (Row, 1, " << rows - 2 << ")\n#for (Column, 1, " << columns - 2 << ")\n"
              << "  #declare Hit = trace(Ridge, <" << kX0 << " + " << kCellX << " * Column, 1e6, " << kY0
              << " + " << kCellY << " * Row>, <0, -1, 0>);\n"
              << "  #write (Results, str(Hit.y, 0, 6), \"\\n\")\n#end\n#end\n#fclose Results\n"
              << "camera { location <0, 1, -1> look_at <0, 0, 0> }\n";
        ASSERT_FALSE(Rendered(scene.str()).empty());
        std::istringstream traced(ReadFile(folder_ / "traced.txt"));
        const double step = (HeightAt(rows - 1, columns - 1) - HeightAt(0, 0)) / 65535;
        for (int inner = 0; inner < (rows - 2) * (columns - 2); ++inner) {
            const int row = 1 + inner / (columns - 2), column = 1 + inner % (columns - 2);
            double height = 0;
            ASSERT_TRUE(traced >> height) << format << " row " << row << ", column " << column;
            EXPECT_NEAR(height, HeightAt(row, column), step)
                << format << " row " << row << ", column " << column;
        }
    }
}

}  // namespace
}  // namespace tessiloom
