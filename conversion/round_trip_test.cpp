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
#include "formats/targa.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// One height as a listing might state it, in fixed or in exponent form (E, e or D), and the value
// the text states as the C library reads it rather than our own reader.
std::pair<std::string, double> HeightText(double height, double scale, int form) {
    const int decimals = std::clamp(4 - static_cast<int>(std::floor(std::log10(scale))), 0, 12);
    const int precisions[] = {decimals, 9, 12, 12};
    const char* const formats[] = {"%.*f", "%.*e", "%.*E", "%.*E"};
    char text[64];
    std::snprintf(text, sizeof text, formats[form], precisions[form], height);
    std::string stated = text;
    if (form == 3) std::replace(stated.begin(), stated.end(), 'E', 'D');
    return {stated, std::strtod(text, nullptr)};
}

TEST(RoundTrip, EveryHeightComesBackInItsPixelWithinOneStep) {
    const char* const lineEnds[] = {"\n", "\r\n", "\r"};
    std::mt19937_64 random(6);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    TemporaryFolder folder;
    for (int trial = 0; trial < 60; ++trial) {
        // Square grids, and every other trial a rectangle, wide or tall, read with the rectangular option.
        const int columns = 2 + static_cast<int>(random() % 23);
        const int rows = trial % 2 == 0 ? columns : 2 + static_cast<int>(random() % 23);
        const double scale = std::pow(10.0, 6 * unit(random) + 1);
        const double offset = trial % 7 == 0 ? 70000 : 2 * scale * unit(random);  // some above 65000
        std::vector<std::string> texts(columns * rows);
        std::vector<double> stated(columns * rows);
        for (int i = 0; i < columns * rows; ++i)
            std::tie(texts[i], stated[i]) = HeightText(offset + scale * unit(random), scale, trial % 4);
        RecordingHost host(folder / "grid.asc", trial % 3 == 0);
        // Automatic: from the lowest and highest height, but never above 65000 nor below 0.
        const auto [lowest, highest] = std::ranges::minmax(stated);
        double low = std::min(65000.0, lowest), high = std::max(0.0, highest);
        if (host.usePresetRanges) {  // narrower than the data, so heights are clipped on both sides
            const std::size_t min = random() % texts.size(), max = random() % texts.size();
            std::tie(host.minPreset, host.maxPreset, low, high) =
                std::tie(texts[min], texts[max], stated[min], stated[max]);
            if (low == high) continue;
        }
        WriteFile(host.sourcePath, GridListing(texts, lineEnds[trial % 3], columns));
        RunOptions options;
        options.read.rectangular = columns != rows;
        ASSERT_TRUE(RunConversion(host, kTargaFormat, options).converted)
            << "trial " << trial << ": " << host.trace[host.trace.size() - 2];

        const std::string image = ReadFile(folder / "grid.tga");
        ASSERT_EQ(image.size(), 18u + 3 * columns * rows) << "trial " << trial;
        EXPECT_EQ(image.substr(12, 4), std::string({char(columns), 0, char(rows), 0})) << "trial " << trial;
        for (int vertex = 0; vertex < columns * rows; ++vertex) {
            // Vertex 0 at the bottom left, the first pixel row stored at the top.
            const int at = 18 + 3 * ((rows - 1 - vertex / columns) * columns + vertex % columns);
            const int level = std::uint8_t(image[at + 2]) * 256 + std::uint8_t(image[at + 1]);
            const double scaled =
                (std::min(std::max(stated[vertex], low), high) - low) / (high - low) * 65535;
            EXPECT_TRUE(image[at] == 0 && std::abs(level - scaled) <= 1.0)
                << "trial " << trial << ", vertex " << vertex << ": " << texts[vertex] << " became " << level;
        }
    }
}

}  // namespace
}  // namespace tessiloom
