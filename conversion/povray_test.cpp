// The image's real consumer: POV-Ray renders one scene from a height field the run wrote, and
// the same scene from a 16-bit PGM of the heights the image is meant to hold, computed here from
// the listing's own numbers. Equal renders prove that POV-Ray takes the high byte, the low byte,
// the row order and the corners as intended. Skipped where povray is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "conversion/recording_host.h"
#include "conversion/run.h"
#include "conversion/test_listing.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

constexpr int kSide = 17;

bool IsOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

// A terrain with no symmetry to hide a mistake: it climbs ever faster from the first column to the
// last, steadily from the first row to the last, and carries a ripple smaller than one step of the
// high byte.
std::vector<double> Terrain() {
    std::vector<double> heights;
    for (int row = 0; row < kSide; ++row) {
        for (int col = 0; col < kSide; ++col) {
            heights.push_back(40 + 900.0 * col * col / 256 + 35.0 * row +
                              3 * std::sin(row * 1.3 + col * 0.7));
        }
    }
    return heights;
}

// How an image could go wrong; the scene must show each of them.
enum class Fault { kNone, kRowsReversed, kLowByteDropped };

// Binary 16-bit PGM, top row first: the image is to show the last grid row at the top and vertex
// 0 at the bottom left, each height scaled over the automatic range and rounded half to even.
std::string ExpectedPgm(const std::vector<double>& heights, Fault fault = Fault::kNone) {
    double low = 65000.0;  // where the automatic range starts
    double high = 0.0;
    for (const double height : heights) {
        low = std::min(low, height);
        high = std::max(high, height);
    }
    std::string pgm = "P5\n" + std::to_string(kSide) + " " + std::to_string(kSide) + "\n65535\n";
    for (int imageRow = 0; imageRow < kSide; ++imageRow) {
        const int gridRow = fault == Fault::kRowsReversed ? imageRow : kSide - 1 - imageRow;
        for (int col = 0; col < kSide; ++col) {
            const double scaled = (heights[gridRow * kSide + col] - low) / (high - low) * 65535;
            const auto level = static_cast<unsigned>(std::nearbyint(scaled));
            pgm += static_cast<char>(level >> 8);
            pgm += static_cast<char>(fault == Fault::kLowByteDropped ? 0 : level & 0xFF);
        }
    }
    return pgm;
}

// The pixels of a binary PPM, after its header and the comments POV-Ray puts there (the time of
// rendering among them).
std::string PpmPixels(const std::string& ppm) {
    std::size_t at = 0;
    for (int field = 0; field < 4 && at < ppm.size(); ++field) {  // P6, width, height, maximum
        for (;;) {
            while (at < ppm.size() && std::isspace(static_cast<unsigned char>(ppm[at]))) ++at;
            if (at >= ppm.size() || ppm[at] != '#') break;
            at = ppm.find('\n', at);
        }
        while (at < ppm.size() && !std::isspace(static_cast<unsigned char>(ppm[at]))) ++at;
    }
    return at < ppm.size() ? ppm.substr(at + 1) : "";
}

// Renders a small scene around `field` ("tga \"hill.tga\"") in `folder`; the pixels, or empty
// after reporting POV-Ray's log.
std::string Render(const TemporaryFolder& folder, const std::string& name, const std::string& field) {
    WriteFile(
        folder / (name + ".pov"),
        "#version 3.7;\n"
        "global_settings { assumed_gamma 1.0 }\n"
        "camera { location <0.5, 1.4, -0.7> look_at <0.5, 0.1, 0.55> angle 55 }\n"
        "light_source { <-2, 3, -1> color rgb 1 }\n"
        "light_source { <3, 2, 4> color rgb 0.4 }\n"
        "background { color rgb <0.1, 0.2, 0.4> }\n"
        "height_field { " +
            field +
            " smooth\n"
            "  pigment { gradient y color_map { [0 color rgb <0, 0.3, 0>] [1 color rgb <1, 0.9, 0.8>] } }\n"
            "  scale <1, 0.5, 1> }\n");
    const std::string command = "cd '" + folder.Path().string() + "' && povray -D -V +I" + name + ".pov +O" +
                                name + ".ppm +FP +W64 +H64 -A > " + name + ".log 2>&1";
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << "povray failed:\n" << ReadFile(folder / (name + ".log"));
        return "";
    }
    return PpmPixels(ReadFile(folder / (name + ".ppm")));
}

int DifferingPixels(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return static_cast<int>(std::max(a.size(), b.size()) / 3);
    int count = 0;
    for (std::size_t i = 0; i + 3 <= a.size(); i += 3) count += a.compare(i, 3, b, i, 3) != 0;
    return count;
}

TEST(PovRay, RendersOurHeightFieldLikeTheExpectedHeights) {
    if (!IsOnPath("povray")) GTEST_SKIP() << "povray is not installed";
    TemporaryFolder folder;
    std::vector<std::string> texts;
    std::vector<double> listed;  // the heights as the listing states them, read without Val
    for (const double height : Terrain()) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", height);
        texts.push_back(text);
        listed.push_back(std::strtod(text, nullptr));
    }
    RecordingHost host;
    host.sourcePath = folder / "hill.asc";
    WriteFile(host.sourcePath, GridListing(texts));
    ASSERT_TRUE(RunConversion(host).converted);
    WriteFile(folder / "expected.pgm", ExpectedPgm(listed));

    const std::string expected = Render(folder, "expected", "pgm \"expected.pgm\"");
    ASSERT_EQ(expected.size(), 64u * 64 * 3);
    EXPECT_EQ(DifferingPixels(Render(folder, "ours", "tga \"hill.tga\""), expected), 0);

    // The scene can tell: images gone wrong in these ways render visibly differently.
    const std::pair<const char*, Fault> faults[] = {{"rows", Fault::kRowsReversed},
                                                    {"low", Fault::kLowByteDropped}};
    for (const auto& [name, fault] : faults) {
        WriteFile(folder / (std::string(name) + ".pgm"), ExpectedPgm(listed, fault));
        const std::string pixels = Render(folder, name, "pgm \"" + std::string(name) + ".pgm\"");
        EXPECT_GT(DifferingPixels(pixels, expected), 64 * 64 / 20) << name;
    }
}

}  // namespace
}  // namespace tessiloom
