#include "conversion/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "conversion/test_listing.h"
#include "conversion/vertex_lines.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

TEST(ReadHeaderCounts, ReadsBothCountsAfterTheirMarkersOrSaysWhatIsWrong) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"Tri-mesh, Vertices: 9     Faces: 8\r\n", "9 8"},
        {"Named object: \"x\"\r\nvertices: 4 Faces: 2\r\nVertices: 16 Faces: 18\r\n", "16 18"},  // case counts
        {"Vertices:25 Faces:32", "25 32"}, {"Faces: 8 Vertices: 9", "9 8"},
        {"Vertices: 8.5 Faces: 9.5", "8 10"},          // halves round to the even neighbour
        {"Vertices: &H10 Faces: 8", "1112782 8"},      // F, a, c and e are hexadecimal digits too
        {"Vertices: 2147483647 Faces: 0", "2147483647 0"}, {"", "the file ends before a line with \"Vertices:\""}, {"Vertex list:\r\nVertex 0: Z:1\r\n", "the file ends before a line with \"Vertices:\""},
        {"Vertices: 9\r\nFaces: 8\r\n", "the header line with \"Vertices:\" has no \"Faces:\""},
        {"Vertices: -9 Faces: 8", "the vertex count -9 is negative"}, {"Vertices: -2147483648 Faces: 8", "the vertex count -2147483648 is negative"}, {"Vertices: 9 Faces: -8", "the face count -8 is negative"},
        {"Vertices: 2147483648 Faces: 8", "the vertex count 2147483648 does not fit a 32-bit integer"}, {"Vertices: -2147483649 Faces: 8", "the vertex count -2147483649 does not fit a 32-bit integer"},
        {"Vertices: 9 Faces: 1e999", "the face count inf does not fit a 32-bit integer"},
    };
    // clang-format on
    for (const auto& [text, expected] : cases) {
        StringByteSource bytes(text);
        LineSource source(bytes);
        HeaderCounts c;
        const std::optional<std::string> failure = ReadHeaderCounts(source, c);
        EXPECT_EQ(failure.value_or(std::to_string(c.vertexCount) + " " + std::to_string(c.faceCount)),
                  expected)
            << text;
    }
}

// A height of digits alone followed by a comma and a digit is one written with a decimal comma, read
// up to the comma as ever; any other comma is text after the number.
TEST(ReadSlowHeight, TellsADecimalCommaFromOtherText) {
    const std::tuple<std::string, double, bool> cases[] = {
        {"1,131584", 1, true}, {"515,000000", 515, true}, {"-2,9", -2, true},     {"3.0,4.0", 3, false},
        {"7,", 7, false},      {"7,x", 7, false},         {"1e3,5", 1000, false}, {"12", 12, false},
    };
    for (const auto& [text, value, decimalComma] : cases) {
        bool comma = !decimalComma;
        EXPECT_EQ(ReadSlowHeight(text, comma), value) << text;
        EXPECT_EQ(comma, decimalComma) << text;
    }
}

TEST(IsSquareGrid, HoldsExactlyForTwoTrianglesPerCell) {
    // clang-format off
    const std::pair<HeaderCounts, std::int32_t> cases[] = {  // 0: not square
        {{9, 8}, 3}, {{9, 10}, 0}, {{10, 8}, 0}, {{1, 0}, 1}, {{0, 0}, 0},
        {{9, 9}, 0},  // the square root of 4.5, plus 1, is not 3
        {{4198401, 8388608}, 2049}, {{1073741824, 2147352578}, 32768},
        {{502681, 100252}, 0},  // what a 7-character window made of a 709 x 709 header
    };
    // clang-format on
    for (const auto& [counts, side] : cases) {
        const SquareTest square = IsSquareGrid(counts);
        EXPECT_EQ(square.isSquare ? square.side : 0, side) << counts.vertexCount;
    }
}

TEST(ReadVertexHeights, TakesTheNumberAfterZAndTracksTheRange) {
    // clang-format off
    const std::tuple<std::string, std::int32_t, std::string> cases[] = {
        {"Vertex 7:  X:0.0     Y:50.0     Z:3.25", 1, "3.25 in 3.25 to 3.25"},
        {"Vertex 3:  X:1.0  Y:2.0  Z:-7.5  U:0.1", 1, "-7.5 in -7.5 to 0"},
        {"Vertex 0: Z:-1.234567e+02\nVertex 0: Z:3.14159265358979", 2, "-123.4567 3.14159265358979 in -123.4567 to 3.14159265358979"},
        {"Vertex 0: Z: 1 5\r\nVertex 1: X:1 ZZ:2 Z:3\r\nZ:\r\n", 3, "15 2 0 in 0 to 15"},
        {"Z:-5\nZ:-1\n", 2, "-5 -1 in -5 to 0"}, {"Z:70000\nZ:80000\nFace list:\n", 2, "70000 80000 in 65000 to 80000"},
        {"Z:1\r\nZ:2\r\n\r\nZ:4\r\n", 4, "1 2 in 1 to 2, vertex 2 unreadable"},
        {"Z:1\r\nz:2\r\n", 2, "1 in 1 to 1, vertex 1 unreadable"},
        {"Z:1\r\nZ:2\r\n", 3, "1 2 in 1 to 2, the file ends before vertex line 2 (of 3)"},
        {"Z:1\r\nZ:1e999\r\n", 2, "1 in 1 to 1, the height of vertex 1 is not a finite number"},
        // A lying count: memory follows the lines read.
        {"Z:1\r\n", 2147483647, "1 in 1 to 1, the file ends before vertex line 1 (of 2147483647)"},
    };
    // clang-format on
    for (const auto& [text, count, expected] : cases)
        EXPECT_EQ(ReadHeightsAlone(StringByteSource(text), count), expected) << text;
}

TEST(ReadVertexHeights, ReadsTheCornerPositionsWhenAsked) {
    const std::string text =
        "Vertex 0: X:-10 Y:-20 Z:1\nVertex 1: X:0 Y:-20 Z:2\nVertex 2: X:10 Y:-20 Z:3\n"
        "Z:4\nZ:5\nZ:6\nZ:7\nZ:8\nVertex 8: Y:20.5 X:10e0 U:1 Z:9\n";
    for (const std::int32_t columns : {3, 0})  // given, or found from the first row
        EXPECT_EQ(ReadHeightsAlone(StringByteSource(text), 9, columns),
                  "1 2 3 4 5 6 7 8 9 in 1 to 9, plane 3 -10 -20 10 -20 10 20.5");
}

// Two halves are joined by taking over the second's blocks; what is appended next follows them, and
// a lookup finds each value in whichever block holds it.
TEST(HeightList, TakesOverAnotherListsBlocksAndAppendsAfterThem) {
    constexpr std::size_t kBlock = HeightList::kBlockSize;
    HeightList joined{-1}, second;
    for (std::size_t i = 0; i < kBlock + 2; ++i) second.Append(static_cast<double>(i) + 0.5);
    EXPECT_EQ(joined.AppendFrom(std::move(second), kBlock + 1), kBlock + 1);
    joined.Append(-2);
    EXPECT_TRUE(joined.Size() == kBlock + 3 && joined[kBlock + 1] == kBlock + 0.5 &&
                joined[kBlock + 2] == -2);
    HeightList::Lookup lookup(joined);  // back and forth over the runs [0, 1), [1, kBlock + 1) and the last
    for (const std::size_t index :
         {kBlock + 2, std::size_t{0}, std::size_t{1}, kBlock + 1, kBlock, kBlock + 2})
        EXPECT_EQ(lookup[index], joined[index]) << index;
}

}  // namespace
}  // namespace tessiloom
