// Random grids, written as listings in every line-end and number form, converted, and
// read back from the image: each height must come back, within one step of 65535, in its pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "conversion/recording_host.h"
#include "conversion/run.h"
#include "conversion/test_listing.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

constexpr int kTrials = 60;

// One height as a listing might state it, in fixed or in exponent form (E, e or D).
std::string HeightText(double height, double scale, int form) {
    char text[64];
    if (form == 0) {
        const int decimals = std::clamp(4 - static_cast<int>(std::floor(std::log10(scale))), 0, 12);
        std::snprintf(text, sizeof text, "%.*f", decimals, height);
    } else {
        std::snprintf(text, sizeof text, form == 1 ? "%.9e" : "%.12E", height);
    }
    std::string result = text;
    if (form == 3) std::replace(result.begin(), result.end(), 'E', 'D');
    return result;
}

// The value a text states, read by the C library rather than by our own reader.
double Stated(std::string text) {
    std::replace(text.begin(), text.end(), 'D', 'E');
    return std::strtod(text.c_str(), nullptr);
}

// Square grids, and every other trial a rectangle, wide or tall, read with the rectangular option.
TEST(RoundTrip, EveryHeightComesBackInItsPixelWithinOneStep) {
    const char* const lineEnds[] = {"\n", "\r\n", "\r"};
    std::mt19937_64 random(6);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    TemporaryFolder folder;
    for (int trial = 0; trial < kTrials; ++trial) {
        const int columns = 2 + static_cast<int>(random() % 23);
        const int rows = trial % 2 == 0 ? columns : 2 + static_cast<int>(random() % 23);
        const double scale = std::pow(10.0, 6 * unit(random) + 1);
        const double offset = trial % 7 == 0 ? 70000 : 2 * scale * unit(random);  // some above 65000
        const int form = trial % 4;
        std::vector<std::string> texts;
        std::vector<double> stated;
        for (int i = 0; i < columns * rows; ++i) {
            texts.push_back(HeightText(offset + scale * unit(random), scale, form));
            stated.push_back(Stated(texts.back()));
        }

        RecordingHost host;
        host.sourcePath = folder / "grid.asc";
        // Automatic: from the lowest and highest height, but never above 65000 nor below 0.
        double low = std::min(65000.0, *std::min_element(stated.begin(), stated.end()));
        double high = std::max(0.0, *std::max_element(stated.begin(), stated.end()));
        host.usePresetRanges = trial % 3 == 0;
        if (host.usePresetRanges) {  // narrower than the data, so heights are clipped on both sides
            host.minPreset = texts[random() % texts.size()];
            host.maxPreset = texts[random() % texts.size()];
            low = Stated(host.minPreset);
            high = Stated(host.maxPreset);
            if (low == high) continue;
        }
        WriteFile(host.sourcePath, GridListing(texts, lineEnds[trial % 3], columns));
        RunOptions options;
        options.read.rectangular = columns != rows;
        ASSERT_TRUE(RunConversion(host, options).converted)
            << "trial " << trial << ": " << host.trace[host.trace.size() - 2];

        const std::string image = ReadFile(folder / "grid.tga");
        ASSERT_EQ(image.size(), 18u + 3 * columns * rows) << "trial " << trial;
        EXPECT_EQ(image.substr(12, 4), std::string({char(columns), 0, char(rows), 0})) << "trial " << trial;
        for (int vertex = 0; vertex < columns * rows; ++vertex) {
            // Vertex 0 at the bottom left, the first pixel row stored at the top.
            const int row = rows - 1 - vertex / columns;
            const std::size_t at = 18 + 3 * static_cast<std::size_t>(row * columns + vertex % columns);
            const int level =
                static_cast<unsigned char>(image[at + 2]) * 256 + static_cast<unsigned char>(image[at + 1]);
            const double clamped = std::min(std::max(stated[vertex], low), high);
            const double scaled = (clamped - low) / (high - low) * 65535;
            EXPECT_LE(std::abs(level - scaled), 1.0)
                << "trial " << trial << ", vertex " << vertex << ": " << texts[vertex];
            EXPECT_EQ(image[at], 0) << "trial " << trial << ", vertex " << vertex;
        }
    }
}

}  // namespace
}  // namespace tessiloom
