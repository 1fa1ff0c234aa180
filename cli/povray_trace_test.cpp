// Renders with the real consumer: POV-Ray includes the generated file and traces the terrain at
// known vertices, which must come out at the listing's own X, Y and Z, for a square Targa and for
// rectangular PNGs; and a PNG renders exactly as the Targa of the same listing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

constexpr double kX0 = -1200.0;  // not the origin, and not a unit square: the include must place it
constexpr double kCellX = 30.0;
constexpr double kY0 = 5400.0;
constexpr double kCellY = 45.0;

// Lopsided on purpose: a mirrored, flipped or transposed placement would move these heights.
double HeightAt(int row, int column) {
    return 812.5 + 3.0 * column + 0.75 * row * row + (row == 6 && column == 2 ? 40 : 0);
}

std::string RidgeListing(int columns, int rows) {
    std::ostringstream text;
    text << "Tri-mesh, Vertices: " << columns * rows << "     Faces: " << 2 * (columns - 1) * (rows - 1)
         << "\r\n"
         << "Vertex list:\r\n";
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            text << "Vertex " << row * columns + column << ":  X:" << kX0 + kCellX * column
                 << "  Y:" << kY0 + kCellY * row << "  Z:" << HeightAt(row, column) << "\r\n";
        }
    }
    return text.str();
}

// Traces straight down at every inner vertex (rays along the outer edge may slip past it).
std::string TraceScene(int columns, int rows) {
    std::ostringstream scene;
    scene << "#version 3.7;\n#include \"ridge.inc\"\n#fopen Results \"traced.txt\" write\n"
          << "#for (Row, 1, " << rows - 2 << ")\n#for (Column, 1, " << columns - 2 << ")\n"
          << "  #declare Hit = trace(Ridge, <" << kX0 << " + " << kCellX << " * Column, 1e6, " << kY0 << " + "
          << kCellY << " * Row>, <0, -1, 0>);\n"
          << "  #write (Results, str(Hit.y, 0, 6), \"\\n\")\n#end\n#end\n#fclose Results\n"
          << "camera { location <0, 1, -1> look_at <0, 0, 0> }\n";
    return scene.str();
}

// Looks at the whole terrain from above one corner, lit from the side.
std::string LookScene() {
    return "#version 3.7;\n#include \"ridge.inc\"\n"
           "camera { location <-1300, 1050, 5420> look_at <-1080, 840, 5580> }\n"
           "light_source { <-3000, 3000, 4000> color rgb 1 }\n"
           "object { Ridge pigment { gradient y color_map { [0 rgb 0] [1 rgb 1] } scale 60 } }\n";
}

bool Converted(const TemporaryFolder& folder, std::vector<std::string> options) {
    const std::string listing = folder / "ridge.asc";
    options.insert(options.begin(), {"tessiloom-convert", "--quiet", "--pov-include"});
    options.push_back(listing);
    std::vector<const char*> argv;
    for (const std::string& option : options) argv.push_back(option.c_str());
    std::ostringstream out, log;
    const int exitCode = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, log);
    EXPECT_EQ(log.str(), "");
    return exitCode == kExitConverted;
}

// Renders `scene` in `folder` into `image`; false, after reporting POV-Ray's log, when it fails.
bool Rendered(const TemporaryFolder& folder, const std::string& scene, const std::string& image) {
    WriteFile(folder / "scene.pov", scene);
    const std::string render = "cd '" + folder.Path().string() + "' && povray +Iscene.pov +O" + image +
                               " +FP -D +W64 +H48 -A >povray.log 2>&1";
    if (std::system(render.c_str()) == 0) return true;
    ADD_FAILURE() << ReadFile(folder / "povray.log");
    return false;
}

class PovRayInclude : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v povray >/dev/null 2>&1") != 0) GTEST_SKIP() << "povray is not installed";
    }
    TemporaryFolder folder_;
};

TEST_F(PovRayInclude, PlacesTheTerrainAtItsTrueSizeAndHeight) {
    struct Case {
        int columns;
        int rows;
        const char* format;
    };
    for (const auto& [columns, rows, format] : {Case{9, 9, "tga"}, Case{11, 7, "png"}, Case{6, 10, "png"}}) {
        SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows) + " " + format);
        WriteFile(folder_ / "ridge.asc", RidgeListing(columns, rows));
        ASSERT_TRUE(Converted(folder_, {"--rectangular", "--format", format}));
        ASSERT_TRUE(Rendered(folder_, TraceScene(columns, rows), "trace.ppm"));
        std::istringstream traced(ReadFile(folder_ / "traced.txt"));
        const double step = (HeightAt(rows - 1, columns - 1) - HeightAt(0, 0)) / 65535;
        for (int row = 1; row <= rows - 2; ++row) {
            for (int column = 1; column <= columns - 2; ++column) {
                double height = 0;
                ASSERT_TRUE(traced >> height) << "row " << row << ", column " << column;
                EXPECT_NEAR(height, HeightAt(row, column), step) << "row " << row << ", column " << column;
            }
        }
    }
}

TEST_F(PovRayInclude, RendersAPngAsTheTargaOfTheSameListing) {
    WriteFile(folder_ / "ridge.asc", RidgeListing(9, 9));
    ASSERT_TRUE(Converted(folder_, {}));
    ASSERT_TRUE(Rendered(folder_, LookScene(), "targa.ppm"));
    ASSERT_TRUE(Converted(folder_, {"--format", "png"}));
    ASSERT_TRUE(Rendered(folder_, LookScene(), "png.ppm"));
    const std::string targa = ReadFile(folder_ / "targa.ppm");
    const std::string png = ReadFile(folder_ / "png.ppm");
    // The header's comment holds the time of rendering; the pixels follow the last of its four lines.
    const auto pixels = [](const std::string& ppm) { return ppm.substr(ppm.find("\n255\n") + 5); };
    ASSERT_EQ(pixels(targa).size(), 64u * 48 * 3);
    EXPECT_EQ(pixels(png), pixels(targa));
    EXPECT_NE(pixels(targa), std::string(64 * 48 * 3, '\0'));  // the terrain is in the picture
}

}  // namespace
}  // namespace tessiloom
