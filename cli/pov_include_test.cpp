#include "cli/pov_include.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tessiloom/version.h"

namespace tessiloom {
namespace {

// clang-format off
const PovTerrain kRidge{"Ridge", "ridge.tga", "tga", "ridge.asc", -12.5, 830, {3, 3},
                        {{1000, 2000}, {1060, 2000}, {1060, 2090}}, ""};  // vertex 0, the first row's end, the last
// clang-format on

TEST(PovIncludeText, DeclaresTheRangeTheExtentAndThePlacedObject) {
    EXPECT_EQ(
        PovIncludeText(kRidge),
        "// ridge.tga placed at its true size, written by tessiloom-convert " + std::string(kVersionText) +
            " from ridge.asc.\n"
            "// Mesh X runs along x, mesh Y along z, heights along y, in the listing's units.\n"
            "#declare Ridge_Low = -12.5;  // the height stored as 0\n"
            "#declare Ridge_High = 830;  // the height stored as 65535\n"
            "#declare Ridge_Side = 3;  // vertices along each side of the grid\n"
            "#declare Ridge_X0 = 1000;  // X of vertex 0, the image's left edge\n"
            "#declare Ridge_X1 = 1060;  // X of the last vertex of the first row, its right edge\n"
            "#declare Ridge_Y0 = 2000;  // Y of vertex 0, the image's bottom edge\n"
            "#declare Ridge_Y1 = 2090;  // Y of the last vertex, its top edge\n"
            "\n"
            "// POV-Ray reads the image as a unit square with heights from 0 to 65535/65536.\n"
            "#declare Ridge = height_field {\n"
            "    tga \"ridge.tga\"\n"
            "    smooth\n"
            "    scale <Ridge_X1 - Ridge_X0, (Ridge_High - Ridge_Low) * 65536 / 65535, Ridge_Y1 - Ridge_Y0>\n"
            "    translate <Ridge_X0, Ridge_Low, Ridge_Y0>\n"
            "}\n");
}

// POV-Ray finds 'b\c"d.tga' under this spelling, and not with the backslash doubled; a line end in
// a name stays inside the comment that names it.
TEST(PovIncludeText, WritesNamesAsPovRayReadsThem) {
    PovTerrain terrain = kRidge;
    terrain.imageName = "b\\c\"d.tga";
    terrain.sourceName = "new\nline\r.asc";
    const std::string text = PovIncludeText(terrain);
    EXPECT_NE(text.find("    tga \"b\\c\\\"d.tga\"\n"), std::string::npos);
    EXPECT_TRUE(text.substr(0, text.find('\n')).ends_with(" from new?line?.asc.")) << text;
}

TEST(CheckInclude, RefusesCornersThatPlaceNothingAndNamesPovRayCannotRead) {
    const double nan = std::nan("");
    const std::string noCoordinate =
        "a corner vertex (0, 2 or the last) has no finite \"X:\" or \"Y:\" to place the terrain by";
    // clang-format off
    const std::pair<std::function<void(CornerPoints&)>, std::optional<std::string>> cases[] = {
        {[](CornerPoints&) {}, std::nullopt}, {[&](CornerPoints& c) { c.first.x = nan; }, noCoordinate},
        {[&](CornerPoints& c) { c.first.y = nan; }, noCoordinate}, {[&](CornerPoints& c) { c.firstRowEnd.x = nan; }, noCoordinate},
        {[&](CornerPoints& c) { c.last.y = nan; }, noCoordinate},
        {[&](CornerPoints& c) { c.firstRowEnd.y = c.last.x = nan; }, std::nullopt},  // not part of the extent
        {[](CornerPoints& c) { c.firstRowEnd.x = c.first.x; }, "the corner vertices span no distance in X"},
        {[](CornerPoints& c) { c.last.y = c.first.y; }, "the corner vertices span no distance in Y"},
    };
    // clang-format on
    for (const auto& [change, failure] : cases) {
        PovTerrain terrain = kRidge;
        change(terrain.corners);
        EXPECT_EQ(CheckInclude(terrain), failure);
    }
    PovTerrain terrain = kRidge;
    terrain.imageName = "q\\\"d.tga";
    EXPECT_NE(CheckInclude(terrain), std::nullopt);
}

TEST(PovNames, AreIdentifiersPovRayAccepts) {
    // clang-format off
    const std::pair<std::string, std::string> stems[] = {{"hill", "Hill"}, {std::string(80, 'a'), "A" + std::string(34, 'a')},
        {"Dem_2049", "Dem_2049"}, {"2049-dem", "Terrain_2049_dem"}, {"zig zag", "Zig_zag"}, {"", "Terrain_"}, {"berg\xC3\xA4Z", "Berg__Z"}};
    // clang-format on
    for (const auto& [stem, name] : stems)
        EXPECT_TRUE(IdentifierFromStem(stem) == name && IsPovIdentifier(name))
            << stem << ": " << IdentifierFromStem(stem);
    // POV-Ray's own words, the first and the last of them among them, would not parse as a name.
    for (const char* bad : {"", "_x", "2x", "a-b", "a b", "aa_level", "box", "pi", "x", "yes", "z"})
        EXPECT_FALSE(IsPovIdentifier(bad)) << bad;
    for (const char* good : {"Box", "terrain", "x1"}) EXPECT_TRUE(IsPovIdentifier(good)) << good;
}

}  // namespace
}  // namespace tessiloom
