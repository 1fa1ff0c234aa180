#include "conversion/reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace tessiloom {
namespace {

struct HeaderCase {
    std::string text;
    HeaderCounts counts;  // when it reads
    std::optional<std::string> failure = std::nullopt;
};

TEST(ReadHeaderCounts, ReadsBothCountsAfterTheirMarkersOrSaysWhatIsWrong) {
    const HeaderCase cases[] = {
        {"Tri-mesh, Vertices: 9     Faces: 8\r\n", {9, 8}},
        {"Named object: \"x\"\r\nvertices: 4 Faces: 2\r\nVertices: 16 Faces: 18\r\n",
         {16, 18}},  // case counts
        {"Vertices:25 Faces:32", {25, 32}},
        {"Vertices: 4198401     Faces: 8388608", {4198401, 8388608}},  // 2049 x 2049
        {"Faces: 8 Vertices: 9", {9, 8}},
        {"Vertices: 8.5 Faces: 9.5", {8, 10}},      // halves round to the even neighbour
        {"Vertices: &H10 Faces: 8", {1112782, 8}},  // F, a, c and e are hexadecimal digits too
        {"Vertices: 2147483647 Faces: 0", {2147483647, 0}},
        {"", {}, "the file ends before a line with \"Vertices:\""},
        {"Vertex list:\r\nVertex 0: Z:1\r\n", {}, "the file ends before a line with \"Vertices:\""},
        {"Vertices: 9\r\nFaces: 8\r\n", {}, "the header line with \"Vertices:\" has no \"Faces:\""},
        {"Vertices: -9 Faces: 8", {}, "the vertex count -9 is negative"},
        {"Vertices: 9 Faces: -8", {}, "the face count -8 is negative"},
        {"Vertices: 2147483648 Faces: 8", {}, "the vertex count 2147483648 does not fit a 32-bit integer"},
        {"Vertices: -2147483649 Faces: 8", {}, "the vertex count -2147483649 does not fit a 32-bit integer"},
        {"Vertices: 9 Faces: 1e999", {}, "the face count inf does not fit a 32-bit integer"},
    };
    for (const auto& [text, counts, failure] : cases) {
        StringByteSource bytes(text);
        LineSource source(bytes);
        HeaderCounts read;
        EXPECT_EQ(ReadHeaderCounts(source, read), failure) << text;
        if (failure) continue;
        EXPECT_EQ(read.vertexCount, counts.vertexCount) << text;
        EXPECT_EQ(read.faceCount, counts.faceCount) << text;
    }
}

TEST(IsSquareGrid, HoldsExactlyForTwoTrianglesPerCell) {
    struct Case {
        HeaderCounts counts;
        std::optional<std::int32_t> side;
    };
    const Case cases[] = {
        {{9, 8}, 3},
        {{9, 10}, std::nullopt},
        {{10, 8}, std::nullopt},
        {{1, 0}, 1},
        {{9, 9}, std::nullopt},  // the square root of 4.5, plus 1, is not 3
        {{0, 0}, std::nullopt},
        {{4198401, 8388608}, 2049},
        {{1073741824, 2147352578}, 32768},
        {{502681, 100252}, std::nullopt},  // what a 7-character window made of a 709 x 709 header
    };
    for (const auto& [counts, side] : cases) {
        EXPECT_EQ(IsSquareGrid(counts), side) << counts.vertexCount << " " << counts.faceCount;
    }
}

TEST(SkipToVertexList, StartsAfterTheMarkerLine) {
    StringByteSource bytes("Vertex lis\r\nThe Vertex list:\r\nnext\r\n");
    LineSource source(bytes);
    ASSERT_EQ(SkipToVertexList(source), std::nullopt);
    std::string_view line;
    ASSERT_TRUE(source.NextLine(line));
    EXPECT_EQ(line, "next");

    StringByteSource lowerCase("vertex list\r\n");
    LineSource ended(lowerCase);
    EXPECT_EQ(SkipToVertexList(ended), "the file ends before the line with \"Vertex list\"");
}

struct VertexCase {
    std::string text;
    std::int32_t count;
    std::vector<double> heights;  // read before it stopped
    double lowest = 65000.0;
    double highest = 0.0;
    std::optional<std::int32_t> unreadable = std::nullopt;
    std::optional<std::string> failure = std::nullopt;
};

TEST(ReadVertexHeights, TakesTheNumberAfterZAndTracksTheRange) {
    const VertexCase cases[] = {
        {"Vertex 7:  X:0.0     Y:50.0     Z:3.25", 1, {3.25}, 3.25, 3.25},
        {"Vertex 3:  X:1.0  Y:2.0  Z:-7.5  U:0.1", 1, {-7.5}, -7.5},
        {"Vertex 0: Z:-1.234567e+02", 1, {-123.4567}, -123.4567},
        {"Vertex 0: Z:3.14159265358979", 1, {3.14159265358979}, 3.14159265358979, 3.14159265358979},
        {"Vertex 0: Z: 1 5\r\nVertex 1: X:1 Z:2 Z:3\r\nZ:\r\n", 3, {15, 2, 0}, 0, 15},
        {"Z:10\nZ:20\nZ:30\n", 3, {10, 20, 30}, 10, 30},
        {"Z:-5\nZ:-1\n", 2, {-5, -1}, -5},
        {"Z:70000\nZ:80000\n", 2, {70000, 80000}, 65000, 80000},
        {"Z:1\r\nZ:2\r\nFace list:\r\n", 2, {1, 2}, 1, 2},  // nothing after the last vertex line counts
        {"Z:1\r\nZ:2\r\n\r\nZ:4\r\n", 4, {1, 2}, 1, 2, 2},
        {"Z:1\r\nz:2\r\n", 2, {1}, 1, 1, 1},
        {"Z:1\r\nZ:2\r\n", 3, {1, 2}, 1, 2, std::nullopt, "the file ends before vertex line 2 (of 3)"},
        {"Z:1\r\nZ:1e999\r\n", 2, {1}, 1, 1, std::nullopt, "the height of vertex 1 is not a finite number"},
        {"Z:1\r\n",
         2147483647,
         {1},
         1,
         1,
         std::nullopt,
         "the file ends before vertex line 1 (of 2147483647)"},
    };
    for (const VertexCase& c : cases) {
        SCOPED_TRACE(c.text);
        StringByteSource bytes(c.text);
        LineSource source(bytes);
        const VertexHeights read = ReadVertexHeights(source, c.count);
        std::vector<double> heights;
        for (std::size_t i = 0; i < read.mesh.heights.Size(); ++i) heights.push_back(read.mesh.heights[i]);
        EXPECT_EQ(heights, c.heights);
        EXPECT_EQ(read.unreadableVertex, c.unreadable);
        EXPECT_EQ(read.failure, c.failure);
        if (read.unreadableVertex || read.failure) continue;
        EXPECT_EQ(read.mesh.lowest, c.lowest);
        EXPECT_EQ(read.mesh.highest, c.highest);
    }
}

// A source that takes its time over every read, so that a second thread starts long before the
// first has read a few hundred lines, and splits them.
class SlowByteSource final : public ByteSource {
  public:
    explicit SlowByteSource(std::string_view text) : text_(text) {}
    Read ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const override {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
        return text_.ReadAt(offset, buffer, capacity);
    }

  private:
    StringByteSource text_;
};

VertexHeights ReadInBlocks(const std::string& text, std::int32_t count, std::size_t blockBytes,
                           GridPlane* plane = nullptr) {
    SlowByteSource bytes(text);
    LineSource source(bytes, blockBytes);
    return ReadVertexHeights(source, count, plane);
}

// Small blocks make even a few hundred lines worth a second thread: whatever line fails, and
// wherever the halves meet, two halves read what one thread reading line by line reads.
TEST(ReadVertexHeights, TwoHalvesReadAsOneThreadDoes) {
    std::string clean;
    for (int i = 0; i < 300; ++i) {
        clean += "Vertex " + std::to_string(i) + ": X:" + std::to_string(i % 20) +
                 " Y:" + std::to_string(i / 20) + " Z:" + std::to_string(i * 37 % 101) +
                 (i % 7 == 0 ? ".25" : "") + (i % 3 == 0 ? "\n" : "\r\n");
    }
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = clean;
        return text.replace(text.find(from), from.size(), to);
    };
    const std::pair<const char*, std::string> listings[] = {
        {"clean", clean + "Face list:\r\n"},
        {"a line without Z", replaced("Vertex 233:", "Vertex 233: no height\n")},
        {"a height not finite", replaced("Vertex 250: X:10 Y:12 Z:", "Vertex 250: X:10 Y:12 Z:1e999")},
        {"cut short", clean.substr(0, clean.find("Vertex 271:"))},
        {"more lines with Z after the last", clean + clean},
        {"lone CRs", replaced("\r\nVertex 150", "\rVertex 150")},
    };
    for (const auto& [name, text] : listings) {
        for (const std::int32_t columns : {0, 20}) {
            GridPlane plane{columns, {}};
            const VertexHeights expected = ReadInBlocks(text, 280, LineSource::kBlockBytes, &plane);
            for (const std::size_t blockBytes : {16, 100}) {
                SCOPED_TRACE(std::string(name) + ", block " + std::to_string(blockBytes));
                GridPlane halves{columns, {}};
                const VertexHeights read = ReadInBlocks(text, 280, blockBytes, &halves);
                ASSERT_EQ(read.mesh.heights.Size(), expected.mesh.heights.Size());
                for (std::size_t i = 0; i < read.mesh.heights.Size(); ++i) {
                    ASSERT_EQ(read.mesh.heights[i], expected.mesh.heights[i]) << i;
                }
                EXPECT_EQ(read.mesh.lowest, expected.mesh.lowest);
                EXPECT_EQ(read.mesh.highest, expected.mesh.highest);
                EXPECT_EQ(read.unreadableVertex, expected.unreadableVertex);
                EXPECT_EQ(read.failure, expected.failure);
                EXPECT_EQ(halves.columns, plane.columns);
                EXPECT_EQ(halves.corners.last.x, plane.corners.last.x);
                EXPECT_EQ(halves.corners.last.y, plane.corners.last.y);
                EXPECT_EQ(halves.corners.firstRowEnd.x, plane.corners.firstRowEnd.x);
            }
        }
    }
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
    EXPECT_EQ(std::vector<double>({corners.first.x, corners.first.y, corners.firstRowEnd.x,
                                   corners.firstRowEnd.y, corners.last.x, corners.last.y}),
              std::vector<double>({-10, -20, 10, -20, 10, 20.5}));
}

}  // namespace
}  // namespace tessiloom
