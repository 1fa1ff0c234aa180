// Renders with the real consumer: POV-Ray includes the generated file and traces the terrain at
// known vertices, which must come out at the listing's own X, Y and Z.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "files/test_files.h"

namespace tessiloom {
namespace {

constexpr int kSide = 9;
constexpr double kX0 = -1200.0;  // not the origin, and not a unit square: the include must place it
constexpr double kCellX = 30.0;
constexpr double kY0 = 5400.0;
constexpr double kCellY = 45.0;

// Lopsided on purpose: a mirrored, flipped or transposed placement would move these heights.
double HeightAt(int row, int column) {
    return 812.5 + 3.0 * column + 0.75 * row * row + (row == 6 && column == 2 ? 40 : 0);
}

std::string RidgeListing() {
    std::ostringstream text;
    text << "Tri-mesh, Vertices: " << kSide * kSide << "     Faces: " << 2 * (kSide - 1) * (kSide - 1)
         << "\r\n"
         << "Vertex list:\r\n";
    for (int row = 0; row < kSide; ++row) {
        for (int column = 0; column < kSide; ++column) {
            text << "Vertex " << row * kSide + column << ":  X:" << kX0 + kCellX * column
                 << "  Y:" << kY0 + kCellY * row << "  Z:" << HeightAt(row, column) << "\r\n";
        }
    }
    return text.str();
}

// Traces straight down at every inner vertex (rays along the outer edge may slip past it).
std::string TraceScene() {
    std::ostringstream scene;
    scene << "#version 3.7;\n#include \"ridge.inc\"\n#fopen Results \"traced.txt\" write\n"
          << "#for (Row, 1, " << kSide - 2 << ")\n#for (Column, 1, " << kSide - 2 << ")\n"
          << "  #declare Hit = trace(Ridge, <" << kX0 << " + " << kCellX << " * Column, 1e6, " << kY0 << " + "
          << kCellY << " * Row>, <0, -1, 0>);\n"
          << "  #write (Results, str(Hit.y, 0, 6), \"\\n\")\n#end\n#end\n#fclose Results\n"
          << "camera { location <0, 1, -1> look_at <0, 0, 0> }\n";
    return scene.str();
}

TEST(PovRayInclude, PlacesTheTerrainAtItsTrueSizeAndHeight) {
    if (std::system("command -v povray >/dev/null 2>&1") != 0) GTEST_SKIP() << "povray is not installed";
    TemporaryFolder folder;
    WriteFile(folder / "ridge.asc", RidgeListing());
    WriteFile(folder / "trace.pov", TraceScene());
    const std::string listing = folder / "ridge.asc";
    const char* argv[] = {"tessiloom-convert", "--quiet", "--pov-include", listing.c_str()};
    std::ostringstream out, log;
    ASSERT_EQ(RunCommandLine(4, argv, out, log), kExitConverted) << log.str();

    const std::string render =
        "cd '" + folder.Path().string() + "' && povray +Itrace.pov +Otrace.png -D +W8 +H8 >povray.log 2>&1";
    ASSERT_EQ(std::system(render.c_str()), 0) << ReadFile(folder / "povray.log");
    std::istringstream traced(ReadFile(folder / "traced.txt"));
    const double highest = HeightAt(kSide - 1, kSide - 1);
    const double step = (highest - HeightAt(0, 0)) / 65535;
    for (int row = 1; row <= kSide - 2; ++row) {
        for (int column = 1; column <= kSide - 2; ++column) {
            double height = 0;
            ASSERT_TRUE(traced >> height) << "row " << row << ", column " << column;
            EXPECT_NEAR(height, HeightAt(row, column), step) << "row " << row << ", column " << column;
        }
    }
}

}  // namespace
}  // namespace tessiloom
