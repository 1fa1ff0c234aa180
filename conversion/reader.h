#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "conversion/line_source.h"
#include "conversion/vertex_lines.h"

// The ASC mesh reader. It does not parse the listing as a whole: it looks for a few fixed,
// case-sensitive markers ("Vertices:", "Faces:", "Vertex list", and those of vertex_lines.h)
// anywhere in a line and ignores everything else. The operations are called in the order declared,
// each continuing where the previous one stopped.
//
// A failure is a phrase that completes "Could not read '<source>': ..." ("the file ends before
// the line with \"Vertex list\""); listing.h turns it into the user's message.
namespace tessiloom {

struct HeaderCounts {
    std::int32_t vertexCount = 0;
    std::int32_t faceCount = 0;
};

// Skips to the first line holding "Vertices:" and sets `counts` from it, each with Val from just
// after its marker's colon to the end of the line, rounded half to even. Fails when the input
// ends first, when the line has no "Faces:", and when a count is negative or does not fit a
// 32-bit signed integer.
std::optional<std::string> ReadHeaderCounts(LineSource& source, HeaderCounts& counts);

struct SquareTest {
    bool isSquare = false;
    std::int32_t side = 0;  // when it is
};

// Whether the counts describe a square grid, and its side. An n x n grid has 2(n-1)^2 triangles, so
// the grid is square exactly when sqrt(faces / 2) + 1 equals sqrt(vertices), compared without
// tolerance. The counts must not be negative.
SquareTest IsSquareGrid(const HeaderCounts& counts);

// Skips lines up to and including the first one holding "Vertex list"; the vertex lines follow
// it directly. Fails when the input ends first.
std::optional<std::string> SkipToVertexList(LineSource& source);

// How the vertex lines are read: in stretches on two threads when they are many, or on one thread
// alone (what every reading in stretches must come to), in blocks of `blockBytes`.
struct LinesReading {
    bool oneThread = false;
    std::size_t blockBytes = LineBlock::kDefaultBytes;
};

// Reads exactly `vertexCount` vertex lines from `begin` in `bytes`, where the vertex list starts;
// a line after the last vertex line never counts. With `plane`, the corner vertices' X and Y are
// read as well; without, no line pays for them.
VertexHeights ReadVertexHeights(const ByteSource& bytes, std::uint64_t begin, std::int32_t vertexCount,
                                GridPlane* plane = nullptr, const LinesReading& how = {});

}  // namespace tessiloom
