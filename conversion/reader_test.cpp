#include "conversion/reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tessiloom {
namespace {

// Runs `read` over `text` as a line source.
template <typename Read>
auto OverText(const std::string& text, Read read) {
    StringByteSource bytes(text);
    LineSource source(bytes);
    return read(source);
}

struct HeaderRead {
    HeaderCounts counts;
    std::optional<std::string> failure;
};

HeaderRead Header(const std::string& text) {
    return OverText(text, [](LineSource& source) {
        HeaderRead read;
        read.failure = ReadHeaderCounts(source, read.counts);
        return read;
    });
}

TEST(ReadHeaderCounts, ReadsBothCountsAfterTheirMarkers) {
    struct Case {
        std::string text;
        std::int32_t vertices;
        std::int32_t faces;
    };
    const Case cases[] = {
        {"Tri-mesh, Vertices: 9     Faces: 8\r\n", 9, 8},
        {"Named object: \"x\"\r\nvertices: 4 Faces: 2\r\nVertices: 16 Faces: 18\r\n", 16,
         18},  // case-sensitive
        {"Vertices:25 Faces:32", 25, 32},
        {"Vertices: 1050625 Faces: 2097152", 1050625, 2097152},  // 1025 x 1025
        {"Vertices: 4198401     Faces: 8388608", 4198401, 8388608},
        {"Faces: 8 Vertices: 9", 9, 8},
        {"Vertices: 8.5 Faces: 9.5", 8, 10},  // halves round to the even neighbour
        {"Faces: 1 8 Vertices: &H10", 16, 18},
        {"Vertices: &H10 Faces: 8", 1112782, 8},  // F, a, c and e are hexadecimal digits too
        {"Vertices: 2147483647 Faces: 0", 2147483647, 0},
    };
    for (const auto& [text, vertices, faces] : cases) {
        const HeaderRead header = Header(text);
        ASSERT_FALSE(header.failure) << text << ": " << *header.failure;
        EXPECT_EQ(header.counts.vertexCount, vertices) << text;
        EXPECT_EQ(header.counts.faceCount, faces) << text;
    }
}

TEST(ReadHeaderCounts, ReportsWhatIsWrongWithTheHeader) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "the file ends before a line with \"Vertices:\""},
        {"Vertex list:\r\nVertex 0: Z:1\r\n", "the file ends before a line with \"Vertices:\""},
        {"Vertices: 9\r\nFaces: 8\r\n", "the header line with \"Vertices:\" has no \"Faces:\""},
        {"Vertices: -9 Faces: 8", "the vertex count -9 is negative"},
        {"Vertices: 9 Faces: -8", "the face count -8 is negative"},
        {"Vertices: 2147483648 Faces: 8", "the vertex count 2147483648 does not fit a 32-bit integer"},
        {"Vertices: 9 Faces: 1e999", "the face count inf does not fit a 32-bit integer"},
    };
    for (const auto& [text, failure] : cases) {
        EXPECT_EQ(Header(text).failure, failure) << text;
    }
}

TEST(IsSquareGrid, HoldsExactlyForTwoTrianglesPerCell) {
    struct Case {
        std::int32_t vertices;
        std::int32_t faces;
        bool square;
        double side;
    };
    const Case cases[] = {
        {9, 8, true, 3},
        {9, 10, false, 3},
        {10, 8, false, std::sqrt(10.0)},
        {1, 0, true, 1},
        {9, 9, false, 3},
        {0, 0, false, 0},
        {4198401, 8388608, true, 2049},
        {502681, 100252, false, 709},  // what a 7-character window made of a 709 x 709 header
        {1073741824, 2147352578, true, 32768},
    };
    for (const auto& [vertices, faces, square, side] : cases) {
        const std::optional<std::int32_t> grid = IsSquareGrid({vertices, faces});
        EXPECT_EQ(grid, square ? std::optional<std::int32_t>(side) : std::nullopt)
            << vertices << " " << faces;
    }
}

TEST(SkipToVertexList, StartsAfterTheMarkerLine) {
    StringByteSource bytes("Vertex lis\r\nThe Vertex list:\r\nnext\r\n");
    LineSource source(bytes);
    ASSERT_FALSE(SkipToVertexList(source));
    std::string_view line;
    ASSERT_TRUE(source.NextLine(line));
    EXPECT_EQ(line, "next");
    EXPECT_EQ(OverText("vertex list\r\n", SkipToVertexList),
              "the file ends before the line with \"Vertex list\"");
}

VertexHeights Vertices(const std::string& text, std::int32_t count) {
    return OverText(text, [count](LineSource& source) { return ReadVertexHeights(source, count); });
}

std::vector<double> HeightsOf(const MeshHeights& mesh) {
    std::vector<double> heights;
    for (std::size_t i = 0; i < mesh.heights.Size(); ++i) heights.push_back(mesh.heights[i]);
    return heights;
}

TEST(ReadVertexHeights, TakesTheNumberAfterZ) {
    struct Case {
        std::string line;
        double height;
    };
    const Case cases[] = {
        {"Vertex 7:  X:0.0     Y:50.0     Z:3.25", 3.25},
        {"Vertex 3:  X:1.0  Y:2.0  Z:-7.5  U:0.1", -7.5},
        {"Vertex 0: Z:-1.234567e+02", -123.4567},
        {"Vertex 0: Z:-12.34567890", -12.3456789},
        {"Vertex 0: Z:3.14159265358979", 3.14159265358979},
        {"Vertex 0: Z: 1 5", 15},
        {"Vertex 0: X:1 Z:2 Z:3", 2},
        {"Z:", 0},
    };
    for (const auto& [line, height] : cases) {
        const VertexHeights read = Vertices(line + "\r\n", 1);
        ASSERT_FALSE(read.unreadableVertex || read.failure) << line;
        EXPECT_EQ(HeightsOf(read.mesh), std::vector<double>{height}) << line;
    }
}

TEST(ReadVertexHeights, TracksTheRangeFromItsStartingValues) {
    struct Case {
        std::string text;
        double lowest;
        double highest;
    };
    const Case cases[] = {
        {"Z:10\nZ:20\nZ:30\n", 10, 30},
        {"Z:-5\nZ:-1\n", -5, 0.0},
        {"Z:70000\nZ:80000\n", 65000.0, 80000},
    };
    for (const auto& [text, lowest, highest] : cases) {
        const VertexHeights read = Vertices(text, 3);
        EXPECT_EQ(read.mesh.lowest, lowest) << text;
        EXPECT_EQ(read.mesh.highest, highest) << text;
    }
}

TEST(ReadVertexHeights, StopsAtTheFirstLineThatFails) {
    const VertexHeights unreadable = Vertices("Z:1\r\nZ:2\r\n\r\nZ:4\r\n", 4);
    EXPECT_EQ(unreadable.unreadableVertex, 2);
    EXPECT_EQ(unreadable.mesh.heights.Size(), 2u);

    EXPECT_EQ(Vertices("Z:1\r\nZ:2\r\n", 3).failure, "the file ends before vertex line 2 (of 3)");
    EXPECT_EQ(Vertices("Z:1\r\nz:2\r\n", 2).unreadableVertex, 1);
    EXPECT_EQ(Vertices("Z:1\r\nZ:1e999\r\n", 2).failure, "the height of vertex 1 is not a finite number");
}

TEST(ReadVertexHeights, ReadsNothingAfterTheLastVertexLine) {
    StringByteSource bytes("Z:1\r\nZ:2\r\nFace list:\r\n");
    LineSource source(bytes);
    EXPECT_EQ(HeightsOf(ReadVertexHeights(source, 2).mesh), (std::vector<double>{1, 2}));
    std::string_view line;
    ASSERT_TRUE(source.NextLine(line));
    EXPECT_EQ(line, "Face list:");
}

TEST(ReadVertexHeights, ReadsTheCornerPositionsWhenAsked) {
    StringByteSource bytes(
        "Vertex 0: X:-10 Y:-20 Z:1\nVertex 1: X:0 Y:-20 Z:2\nVertex 2: X:10 Y:-20 Z:3\n"
        "Z:4\nZ:5\nZ:6\nZ:7\nZ:8\nVertex 8: Y:20.5 X:10e0 U:1 Z:9\n");
    LineSource source(bytes);
    GridPlane plane;
    plane.columns = 3;
    ASSERT_EQ(ReadVertexHeights(source, 9, &plane).mesh.heights.Size(), 9u);
    const CornerPoints& corners = plane.corners;
    EXPECT_EQ(corners.first.x, -10);
    EXPECT_EQ(corners.first.y, -20);
    EXPECT_EQ(corners.firstRowEnd.x, 10);
    EXPECT_EQ(corners.firstRowEnd.y, -20);
    EXPECT_EQ(corners.last.x, 10);
    EXPECT_EQ(corners.last.y, 20.5);
}

TEST(ReadVertexHeights, ALyingCountAllocatesOnlyForLinesRead) {
    const VertexHeights read = Vertices("Z:1\r\n", 2147483647);
    EXPECT_EQ(read.mesh.heights.Size(), 1u);
    EXPECT_TRUE(read.failure);
}

}  // namespace
}  // namespace tessiloom
