// One terrain, a 4 x 3 grid, written the ways real exporters write ASC listings: every way reads as
// the same lattice, with the same heights, range and box.
#include "mesh/mesh_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "mesh/test_mesh.h"

namespace tessiloom {
namespace {

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The grid's vertex line with its numbers printed by `format`.
ExporterStyle Numbers(const char* format) {
    ExporterStyle style;
    style.vertex = [format](int index, const TestVertex& at) {
        return "Vertex " + std::to_string(index) + ":  X:" + Printed(format, at.x) +
               "     Y:" + Printed(format, at.y) + "     Z:" + Printed(format, at.z);
    };
    return style;
}

// Vertex lines "Vertex <n><afterNumber>X:x Y:y Z:z<after>", n starting again at 0 every `restart` lines.
ExporterStyle VertexLines(std::string afterNumber, std::string after, int restart = 1 << 30) {
    ExporterStyle style;
    style.vertex = [=](int index, const TestVertex& at) {
        return "Vertex " + std::to_string(index % restart) + afterNumber + "X:" + NumberText(at.x) +
               " Y:" + NumberText(at.y) + " Z:" + NumberText(at.z) + after;
    };
    return style;
}

struct Variant {
    const char* name;
    std::function<std::string()> listing;
    MeshRequest request = {};
    std::string read = "";  // when it differs from the reference
};

TEST(MeshLines, ReadTheOneTerrainAsEveryExporterWritesIt) {
    const TestObject grid = GridObject(4, 3);
    const std::string reference = ReadMeshListing(WriteListing({grid}));
    ASSERT_EQ(reference,
              "4x3 in -3.5 to 9 at 0 0 30 40: -3.5 5.25 0.25 9 -1 7.75 2.75 -2.25 1.5 -3.5 5.25 0.25");
    const auto style = [&](ExporterStyle changed) {
        return [grid, changed] { return WriteListing({grid}, changed); };
    };
    const auto edited = [&](std::string from, std::string to) {
        return [grid, from, to] { return Replaced(WriteListing({grid}), from, to); };
    };
    ExporterStyle lf, namedObject, oneBlank, period, vertexList, noColon, mapped, noFaceList, pages;
    lf.lineEnd = "\n";
    lf.preamble = "\n";
    namedObject.named = "Named Object: \"";
    oneBlank.faces = " Faces: ";
    period.header = "Tri-mesh. Vertices: ";
    vertexList.vertexList = "Vertex List:";
    noColon.vertexList = "Vertex list";
    mapped.vertexList = "Mapped\r\nVertex list:";
    noFaceList.faceList = "";
    pages.afterFace = "Material:\"Default\"\r\nPage 2\r\nSmoothing:  1";
    TestObject unused = grid;
    unused.vertices.push_back({500, 500, 9999});
    TestObject shuffled = grid;  // listed in another order, faces naming the same corners
    std::vector<int> order(grid.vertices.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (std::size_t i = 0; i < order.size(); ++i)
        shuffled.vertices[std::size_t(order[i])] = grid.vertices[i];
    for (TestFace& face : shuffled.faces)
        face = {order[std::size_t(face.a)], order[std::size_t(face.b)], order[std::size_t(face.c)]};
    TestObject south = GridObject(4, 2, "South"), north = GridObject(4, 2, "North");  // tiles sharing row 1
    for (std::size_t i = 0; i < north.vertices.size(); ++i) north.vertices[i] = grid.vertices[i + 4];
    TestObject yUp = grid;
    for (TestVertex& at : yUp.vertices) at = {at.x, at.z, -at.y};
    // clang-format off
    const Variant variants[] = {
        {"LF line ends", style(lf)},
        {"CR LF and LF in one file", [&] { std::string text = WriteListing({grid}); return Replaced(text, "1\r\n", "1\n"); }},
        {"Named Object:", style(namedObject)},
        {"one blank before Faces:", style(oneBlank)},
        {"Tri-mesh. with a period", style(period)},
        {"Vertex List:", style(vertexList)},
        {"Vertex list without a colon", style(noColon)},
        {"a Mapped line before the list", style(mapped)},
        {"Face list:Face 0: glued", edited("Face list:\r\nFace 0:", "Face list:Face 0:")},
        {"no Face list: line", style(noFaceList)},
        {"Page lines between Material: and Smoothing:", style(pages)},
        {"a Page line inside the vertex list", edited("Vertex 6:", "Page 2\r\n\r\nVertex 6:")},
        {"blanks after the colons", edited(":", ": ")},
        {"tabs between the fields", edited("     ", "\t")},
        {"U: and V: after Z:", style(VertexLines(": ", " U:0.5 V:1"))},
        {"a stray ;, at the end", edited("\r\nVertex", ";,\r\nVertex")},
        {"Vertex 12 X: without the colon", style(VertexLines(" ", ""))},
        {"fields before X: that end in X:, Y: or Z:", style(VertexLines(": zX:7 aY:8 ZZ:9 ", ""))},
        {"%.4f", style(Numbers("%.4f"))},
        {"six significant digits", style(Numbers("%g"))},
        {"integers and -0", edited("X:0 ", "X:-0 "), {}, Replaced(reference, "at 0", "at -0")},
        {"decimal commas", edited(".", ",")},
        {"printed numbers that restart", style(VertexLines(":  ", "", 5))},
        {"a vertex no face uses", [&] { return WriteListing({unused}); }},
        {"a vertex listed after the faces that name it", [&] {
             std::string text = WriteListing({grid});
             const std::size_t at = text.find("Vertex 11:"), next = text.find("\r\n", at) + 2;
             const std::string line = text.substr(at, next - at);
             return text.erase(at, next - at) + line; }},
        {"lights and cameras around it", [&] {
             return "Named object: \"Camera01\"\r\nCamera (35.000000mm)\r\nPosition:  X:0 Y:-100 Z:50\r\nTarget:  X:0 Y:0 Z:0\r\n\r\n" +
                    WriteListing({grid}) + "Named object: \"Light01\"\r\nDirect light\r\nPosition:  X:9 Y:9 Z:99\r\nLight color: Red=1 Green=1 Blue=1\r\n"; }},
        {"listed in another order", [&] { return WriteListing({shuffled}); }},
        {"two tiles sharing an edge", [&] { return WriteListing({south, north}); }},
        {"exported with Y up", [&] { return WriteListing({yUp}); }, {UpAxis::kY, {}, {}}},
        {"read on two threads through tiny blocks", [&] { return WriteListing({grid}); }, {UpAxis::kZ, {}, {false, 24}}},
    };
    // clang-format on
    for (const Variant& variant : variants) {
        EXPECT_EQ(ReadMeshListing(variant.listing(), variant.request),
                  variant.read.empty() ? reference : variant.read)
            << variant.name;
    }
}

}  // namespace
}  // namespace tessiloom
