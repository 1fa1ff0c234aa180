#include "cli/pov_include.h"

#include <algorithm>
#include <cmath>

#include "cli/pov_reserved_words.h"
#include "conversion/number_text.h"
#include "tessiloom/version.h"

namespace tessiloom {
namespace {

// POV-Ray takes 40 characters; the declared values add up to five ("_High").
constexpr std::size_t kLongestIdentifier = 35;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsIdentifierCharacter(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

// A name in a comment: a line end in it would end the comment, and the rest of the name would be
// read as scene code.
std::string CommentText(std::string_view name) {
    std::string text(name);
    std::ranges::replace_if(
        text, [](char c) { return c == '\n' || c == '\r'; }, '?');
    return text;
}

// A POV-Ray string literal naming a file. POV-Ray takes a backslash in a file name as it stands (a
// Windows path keeps its separators), so only a quote is escaped.
std::string PovString(std::string_view text) {
    std::string literal = "\"";
    for (const char c : text) {
        if (c == '"') literal += '\\';
        literal += c;
    }
    return literal + "\"";
}

// What the declared side and corners are, in a grid's words or a whole mesh's.
struct ExtentComments {
    std::string axes, side, columns, rows, x0, x1, y0, y1;
};

ExtentComments CommentsFor(const PovTerrain& terrain) {
    const std::string& ground = terrain.meshGround;
    if (ground.empty()) {
        return {"Mesh X runs along x, mesh Y along z",
                "vertices along each side of the grid",
                "vertices along each row of the grid, along x",
                "rows of the grid, along z",
                "X of vertex 0, the image's left edge",
                "X of the last vertex of the first row, its right edge",
                "Y of vertex 0, the image's bottom edge",
                "Y of the last vertex, its top edge"};
    }
    return {"Mesh X runs along x, mesh " + ground + " along z",
            "pixels along each side of the image",
            "pixels along each row of the image, along x",
            "rows of the image, along z",
            "the lowest X of the used vertices, the image's left edge",
            "the highest X, its right edge",
            "the lowest " + ground + ", its bottom edge",
            "the highest " + ground + ", its top edge"};
}

}  // namespace

std::optional<std::string> CheckInclude(const PovTerrain& terrain) {
    if (auto problem = CheckPlacement(terrain.corners, terrain.grid.columns)) return problem;
    // POV-Ray keeps a file name's backslashes as they stand, except before a quote.
    if (terrain.imageName.find("\\\"") != std::string::npos) {
        return "the image's name holds a backslash before a quote, which POV-Ray cannot read in a file name";
    }
    return std::nullopt;
}

std::string PovIncludeText(const PovTerrain& terrain) {
    const CornerPoints& corners = terrain.corners;
    const GridSize grid = terrain.grid;
    const std::string& name = terrain.name;
    const auto declare = [&](const std::string& suffix, double value, const std::string& comment) {
        return "#declare " + name + "_" + suffix + " = " + NumberText(value) + ";  // " + comment + "\n";
    };
    std::string text = "// " + CommentText(terrain.imageName) + " placed at its true size, written by " +
                       "tessiloom-convert " + kVersionText + " from " + CommentText(terrain.sourceName) +
                       ".\n";
    const ExtentComments says = CommentsFor(terrain);
    text += "// " + says.axes + ", heights along y, in the listing's units.\n";
    text += declare("Low", terrain.low, "the height stored as 0");
    text += declare("High", terrain.high, "the height stored as 65535");
    if (grid.columns == grid.rows) {
        text += declare("Side", grid.columns, says.side);
    } else {
        text += declare("Columns", grid.columns, says.columns);
        text += declare("Rows", grid.rows, says.rows);
    }
    text += declare("X0", corners.first.x, says.x0);
    text += declare("X1", corners.firstRowEnd.x, says.x1);
    text += declare("Y0", corners.first.y, says.y0);
    text += declare("Y1", corners.last.y, says.y1);
    text += "\n// POV-Ray reads the image as a unit square with heights from 0 to 65535/65536.\n";
    text += "#declare " + name + " = height_field {\n";
    text += "    " + terrain.imageType + " " + PovString(terrain.imageName) + "\n";
    text += "    smooth\n";
    text += "    scale <" + name + "_X1 - " + name + "_X0, (" + name + "_High - " + name +
            "_Low) * 65536 / 65535, " + name + "_Y1 - " + name + "_Y0>\n";
    text += "    translate <" + name + "_X0, " + name + "_Low, " + name + "_Y0>\n";
    return text + "}\n";
}

bool IsPovIdentifier(std::string_view name) {
    if (name.empty() || name.size() > kLongestIdentifier || !IsAsciiLetter(name.front())) return false;
    for (const char c : name) {
        if (!IsIdentifierCharacter(c)) return false;
    }
    return !std::ranges::binary_search(kPovReservedWords, name);
}

std::string IdentifierFromStem(std::string_view stem) {
    std::string name;
    for (const char c : stem) name += IsIdentifierCharacter(c) ? c : '_';
    if (name.empty() || !IsAsciiLetter(name.front())) name = "Terrain_" + name;
    if (name.front() >= 'a' && name.front() <= 'z')
        name.front() = static_cast<char>(name.front() - 'a' + 'A');
    if (name.size() > kLongestIdentifier) name.resize(kLongestIdentifier);
    return name;
}

}  // namespace tessiloom
