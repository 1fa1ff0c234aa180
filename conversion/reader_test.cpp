#include "conversion/reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <new>
#include <string>

#include "conversion/number_text.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

// The lines read in blocks of `blockBytes`, each followed by "|", and why reading stopped.
std::string ReadLines(const ByteSource& bytes, std::size_t blockBytes) {
    LineSource source(bytes, blockBytes);
    std::string read;
    for (std::string_view line; source.NextLine(line);) read += std::string(line) + "|";
    return read + source.Failure().value_or("");
}

TEST(LineSource, EndsLinesAtCrLfLoneCrAndLoneLfInBlocksOfAnySize) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nbb\r\n", "a|bb|"}, {"a\nbb\n", "a|bb|"}, {"a\rbb\r", "a|bb|"}, {"x\r", "x|"}, {"", ""},
        {"a\r\nb\rc\nd", "a|b|c|d|"}, {"a\n\rb", "a||b|"},  // no final terminator; LF then CR is two ends
        {"\r\n\r\nx\r\n", "||x|"}, {std::string(99, 'z') + "\r\nq", std::string(99, 'z') + "|q|"},
        {std::string(40, 'x') + "\n\r" + std::string(20, 'y'), std::string(40, 'x') + "||" + std::string(20, 'y') + "|"},
    };
    // clang-format on
    for (const auto& [text, expected] : cases) {
        // Tiny blocks split CR LF pairs and lines across refills at every possible position.
        for (const std::size_t blockBytes : {2, 3, 5, 7, 64, 4096})
            EXPECT_EQ(ReadLines(StringByteSource(text), blockBytes), expected) << text;
    }
    // "Z:12" may be the start of "Z:12.5": the cut line before a read failure is never handed out.
    EXPECT_EQ(ReadLines(DawdlingByteSource("whole\r\nZ:12", {}, true), 4), "whole|Input/output error");
    // The position is where the next line starts, while it still waits in the block.
    const StringByteSource bytes("ab\r\ncd\n");
    LineSource source(bytes);
    std::string_view line;
    source.NextLine(line);
    EXPECT_EQ(source.Position(), 4u);
}

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
        {"Vertices: -9 Faces: 8", "the vertex count -9 is negative"}, {"Vertices: 9 Faces: -8", "the face count -8 is negative"},
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

TEST(IsSquareGrid, HoldsExactlyForTwoTrianglesPerCell) {
    // clang-format off
    const std::pair<HeaderCounts, std::optional<std::int32_t>> cases[] = {
        {{9, 8}, 3}, {{9, 10}, std::nullopt}, {{10, 8}, std::nullopt}, {{1, 0}, 1}, {{0, 0}, std::nullopt},
        {{9, 9}, std::nullopt},  // the square root of 4.5, plus 1, is not 3
        {{4198401, 8388608}, 2049}, {{1073741824, 2147352578}, 32768},
        {{502681, 100252}, std::nullopt},  // what a 7-character window made of a 709 x 709 header
    };
    // clang-format on
    for (const auto& [counts, side] : cases) EXPECT_EQ(IsSquareGrid(counts), side) << counts.vertexCount;
}

// The heights, their range and what stopped the reading, as one text; with `columns` from 0 on, the
// plane asked for with them: its columns and corners. With `fails`, reading past the text fails;
// with `othersDawdle`, the threads this one starts read slower than it does.
std::string Read(const std::string& text, std::int32_t count, std::int32_t columns = -1,
                 std::size_t blockBytes = LineSource::kBlockBytes, bool fails = false,
                 bool othersDawdle = false) {
    const DawdlingByteSource bytes(text, std::chrono::microseconds(20), fails, othersDawdle);
    LineSource source(bytes, blockBytes);
    GridPlane plane{columns, {}};
    const auto& [mesh, unreadable, failure] =
        ReadVertexHeights(source, count, columns < 0 ? nullptr : &plane);
    std::string described;
    for (std::size_t i = 0; i < mesh.heights.Size(); ++i) described += NumberText(mesh.heights[i]) + " ";
    described += "in " + NumberText(mesh.lowest) + " to " + NumberText(mesh.highest);
    if (unreadable) described += ", vertex " + std::to_string(*unreadable) + " unreadable";
    if (columns >= 0) described += ", plane";
    const auto& [first, rowEnd, last] = plane.corners;
    for (const double at : {double(plane.columns), first.x, first.y, rowEnd.x, rowEnd.y, last.x, last.y})
        described += columns < 0 ? "" : " " + NumberText(at);
    return described + (failure ? ", " + *failure : "");
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
    for (const auto& [text, count, expected] : cases) EXPECT_EQ(Read(text, count), expected) << text;
}

TEST(ReadVertexHeights, ReadsTheCornerPositionsWhenAsked) {
    const std::string text =
        "Vertex 0: X:-10 Y:-20 Z:1\nVertex 1: X:0 Y:-20 Z:2\nVertex 2: X:10 Y:-20 Z:3\n"
        "Z:4\nZ:5\nZ:6\nZ:7\nZ:8\nVertex 8: Y:20.5 X:10e0 U:1 Z:9\n";
    for (const std::int32_t columns : {3, 0})  // given, or found from the first row
        EXPECT_EQ(Read(text, 9, columns), "1 2 3 4 5 6 7 8 9 in 1 to 9, plane 3 -10 -20 10 -20 10 20.5");
}

// Two halves are joined by taking over the second's blocks; what is appended next follows them.
TEST(HeightList, TakesOverAnotherListsBlocksAndAppendsAfterThem) {
    constexpr std::size_t kBlock = HeightList::kBlockSize;
    HeightList joined{-1}, second;
    for (std::size_t i = 0; i < kBlock + 2; ++i) second.Append(static_cast<double>(i));
    EXPECT_EQ(joined.AppendFrom(std::move(second), kBlock + 1), kBlock + 1);
    joined.Append(-2);
    EXPECT_TRUE(joined.Size() == kBlock + 3 && joined[kBlock + 1] == kBlock && joined[kBlock + 2] == -2);
}

// Small blocks make even a few hundred lines worth a second thread: whatever line fails, wherever
// the stretches meet, and whichever thread runs slower and has its lines taken over, two threads
// read what one thread reading line by line reads.
TEST(ReadVertexHeights, TwoThreadsReadAsOneThreadDoes) {
    std::string clean;
    for (int i = 0; i < 300; ++i) {
        clean += "Vertex " + std::to_string(i) + ": X:" + std::to_string(i % 20) +
                 " Y:" + std::to_string(i / 20) + " Z:" + std::to_string(i * 37 % 101) +
                 (i % 7 == 0 ? ".25" : "") + (i % 3 == 0 ? "\n" : "\r\n");
    }
    const auto replaced = [&](const std::string& from, const std::string& to) {
        return std::string(clean).replace(clean.find(from), from.size(), to);
    };
    std::string wide;  // a first row longer than a stretch of lines: it is read alone to its end all the same
    for (int i = 0; i < 300; ++i)
        wide += "Z:1 X:" + std::to_string(i % 250) + " Y:" + std::to_string(i / 250) + "\n";
    for (const std::string& text :
         {clean + "Face list:\r\n", wide, replaced("Vertex 233:", "Vertex 233: no height\n"),
          replaced("Vertex 250: X:10 Y:12 Z:", "Vertex 250: X:10 Y:12 Z:1e999"),
          clean.substr(0, clean.find("Vertex 271:")), clean + clean,
          replaced("\r\nVertex 150", "\rVertex 150")}) {
        for (const std::int32_t columns : {-1, 0, 20})  // no plane, or one found or given
            for (const std::size_t block : {16, 100})
                for (const bool fails :
                     {false, true})  // the disk fails past the end: no matter unless reached
                    for (const bool othersDawdle : {false, true})
                        EXPECT_EQ(Read(text, 280, columns, block, fails, othersDawdle),
                                  Read(text, 280, columns, LineSource::kBlockBytes, fails));
    }
    // The second thread may read past the vertex lines before it learns where the first thread's
    // stretch ended: the face list it meets there is no unreadable vertex.
    const std::string listing = clean + "Face list:\r\n";
    const DawdlingByteSource bytes(listing, std::chrono::milliseconds(1));
    LineSource source(bytes, 16);
    // The plane asked for, as an include asks for it: past its first row, the lines are shared all the same.
    GridPlane plane{20, {}};
    const auto& [mesh, unreadable, failure] = ReadVertexHeights(source, 300, &plane);
    // The thread that reads no faster than the disk leaves most of the lines to the other.
    EXPECT_TRUE(mesh.heights.Size() == 300 && !unreadable && !failure &&
                bytes.BytesReadElsewhere() > listing.size() / 2);
}

// In a child process whose memory is limited, reads 300 vertex lines in blocks of 16 bytes, line
// 250 too long to hold and line `unreadable`, if any, without a height; with `othersDawdle`, as in
// Read(). What it came to, on standard error.
[[noreturn]] void ReadBeyondMemory(int unreadable, bool othersDawdle) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += (i == unreadable ? "none" : "Z:" + std::to_string(i)) + "\n";
    text.insert(text.find("Z:250\n"), std::size_t{64} << 20, 'x');
    const DawdlingByteSource bytes(text, std::chrono::microseconds(20), false, othersDawdle);
    LineSource source(bytes, 16);
    LimitAddressSpace(rlim_t{32} << 20);
    try {
        const std::optional<std::int32_t> vertex = ReadVertexHeights(source, 300, nullptr).unreadableVertex;
        std::cerr << "vertex " << vertex.value_or(-1) << " unreadable";
    } catch (const std::bad_alloc&) {
        std::cerr << "out of memory";
    }
    std::exit(0);
}

// Memory that runs out decides only where no line before it has failed, whichever thread reads the
// line too long to hold: the dawdling first leaves it to the second, the first takes it over from a
// dawdling second.
TEST(ReadVertexHeightsDeathTest, RunsOutOfMemoryInListingOrder) {
    if (!kCanLimitAddressSpace) GTEST_SKIP() << "under a sanitizer";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool othersDawdle : {false, true}) {
        EXPECT_EXIT(ReadBeyondMemory(-1, othersDawdle), testing::ExitedWithCode(0), "^out of memory$");
        EXPECT_EXIT(ReadBeyondMemory(100, othersDawdle), testing::ExitedWithCode(0),
                    "^vertex 100 unreadable$");
    }
}

}  // namespace
}  // namespace tessiloom
