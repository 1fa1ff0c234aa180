#pragma once

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "conversion/number_text.h"
#include "conversion/reader.h"

namespace tessiloom {

// A 3D-Studio style listing of a grid `columns` wide (by default square) with the given heights in
// listing order, rows running along X, every line ended by `lineEnd`. The face list after the
// vertices must never count as vertices.
inline std::string GridListing(const std::vector<std::string>& heights, const std::string& lineEnd = "\r\n",
                               int columns = 0) {
    const int count = static_cast<int>(heights.size());
    if (columns == 0) columns = static_cast<int>(std::lround(std::sqrt(count)));
    std::string text = "Named object: \"Terrain\"" + lineEnd +
                       "Tri-mesh, Vertices: " + std::to_string(count) +
                       "     Faces: " + std::to_string(2 * (columns - 1) * (count / columns - 1)) + lineEnd +
                       "Vertex list:" + lineEnd;
    for (int i = 0; i < count; ++i) {
        text += "Vertex " + std::to_string(i) + ":  X:" + std::to_string(i % columns * 10) +
                "     Y:" + std::to_string(i / columns * 10) + "     Z:" + heights[i] + lineEnd;
    }
    return text + "Face list:" + lineEnd + "Face 0:    A:0 B:1 C:2 AB:1 BC:1 CA:0" + lineEnd;
}

// The little grid every level of the tests converts: 2 x 2 vertices with heights 0, 10, 20, 30...
inline const std::string kTwoByTwoListing = GridListing({"0", "10", "20", "30"});

// ...and its image over the automatic range [0, 30]: the header, then vertex 2 (43690), vertex 3
// (65535), vertex 0 (0) and vertex 1 (21845), each as blue 0, the low byte, the high byte.
inline const std::string kTwoByTwoImage(
    "\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20"
    "\0\xAA\xAA\0\xFF\xFF\0\0\0\0\x55\x55",
    30);

// A listing of 512 x 512 vertices whose first vertex line runs on for 128 MiB of NULs: a hole in a
// sparse file, which costs the disk nothing.
inline void WriteListingWithLongLine(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "Vertices: 262144 Faces: 522242\r\nVertex list:\r\nZ:";
    out.seekp(std::streamoff{128} << 20, std::ios::cur);
    out << "\r\n";
}

// What reading `count` vertex lines of `bytes` came to, as one text: the heights, their range and
// what stopped the reading; with `columns` from 0 on, the plane asked for with them: its columns
// and corners.
inline std::string ReadHeights(const ByteSource& bytes, std::int32_t count, const LinesReading& how,
                               std::int32_t columns = -1) {
    GridPlane plane{columns, {}};
    const auto& [mesh, unreadable, failure, decimalCommas] =
        ReadVertexHeights(bytes, 0, count, columns < 0 ? nullptr : &plane, how);
    std::string described;
    for (std::size_t i = 0; i < mesh.heights.Size(); ++i) described += NumberText(mesh.heights[i]) + " ";
    described += "in " + NumberText(mesh.lowest) + " to " + NumberText(mesh.highest);
    if (unreadable) described += ", vertex " + std::to_string(*unreadable) + " unreadable";
    if (decimalCommas > 0) described += ", " + std::to_string(decimalCommas) + " up to a decimal comma";
    if (columns >= 0) described += ", plane";
    const auto& [first, rowEnd, last] = plane.corners;
    for (const double at : {double(plane.columns), first.x, first.y, rowEnd.x, rowEnd.y, last.x, last.y})
        described += columns < 0 ? "" : " " + NumberText(at);
    return described + (failure ? ", " + *failure : "");
}

// The same on one thread alone: what every reading in stretches must come to.
inline std::string ReadHeightsAlone(const ByteSource& bytes, std::int32_t count, std::int32_t columns = -1) {
    return ReadHeights(bytes, count, {.oneThread = true}, columns);
}

}  // namespace tessiloom
