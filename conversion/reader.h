#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "conversion/line_source.h"
#include "conversion/mesh_heights.h"

// The ASC mesh reader. It does not parse the listing as a whole: it looks for a few fixed,
// case-sensitive markers ("Vertices:", "Faces:", "Vertex list", "Z:") anywhere in a line and
// ignores everything else. The operations are called in the order declared, on one LineSource,
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

// The side of the square grid the counts describe, or nothing when they describe none. An n x n
// grid has 2(n-1)^2 triangles, so the grid is square exactly when sqrt(faces / 2) + 1 equals
// sqrt(vertices), compared without tolerance. The counts must not be negative.
std::optional<std::int32_t> IsSquareGrid(const HeaderCounts& counts);

// Skips lines up to and including the first one holding "Vertex list"; the vertex lines follow
// it directly. Fails when the input ends first.
std::optional<std::string> SkipToVertexList(LineSource& source);

// Where a vertex lies in the plane: the Val of the text after the first "X:" and "Y:" of its line,
// or NaN where the line has no such marker.
struct PlanePoint {
    double x = 0;
    double y = 0;
};

// The plane positions of the three corner vertices that give a grid's extent.
struct CornerPoints {
    PlanePoint first;        // vertex 0
    PlanePoint firstRowEnd;  // the last vertex of the first row
    PlanePoint last;         // the last vertex
};

// Where the grid lies in the plane, read beside the heights when asked for.
struct GridPlane {
    // The grid's width, so that vertex columns - 1 ends the first row. When 0 is asked, it is found:
    // the number of leading vertices that share vertex 0's Y (0 when vertex 0 has no Y).
    std::int32_t columns = 0;
    CornerPoints corners;  // found
};

struct VertexHeights {
    MeshHeights mesh;
    // The 0-based index of the first vertex line without "Z:"; reading stopped there.
    std::optional<std::int32_t> unreadableVertex;
    // The input ended or failed before the last vertex line, or a height is not finite.
    std::optional<std::string> failure;
};

// Reads exactly `vertexCount` lines, taking from each the Val of the text after its first "Z:",
// and tracks the lowest and highest height; a line after the last vertex line never counts. With
// `plane`, the corner vertices' X and Y are read as well; without, no line pays for them. Many
// lines are read on two threads, each taking half from the line source's bytes; the outcome is
// the same as line by line. The line source is spent afterwards.
VertexHeights ReadVertexHeights(LineSource& source, std::int32_t vertexCount, GridPlane* plane = nullptr);

}  // namespace tessiloom
