#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace tessiloom {

// A 3D-Studio style listing of a grid `columns` wide (by default square) with the given heights in
// listing order, rows running along X, its face list included, every line ended by `lineEnd`.
inline std::string GridListing(const std::vector<std::string>& heights, const std::string& lineEnd = "\r\n",
                               int columns = 0) {
    if (columns == 0) columns = static_cast<int>(std::lround(std::sqrt(static_cast<double>(heights.size()))));
    const int rows = static_cast<int>(heights.size()) / columns;
    const int faces = 2 * (columns - 1) * (rows - 1);
    std::string text = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3" + lineEnd + lineEnd;
    text += "Named object: \"Terrain\"" + lineEnd;
    text += "Tri-mesh, Vertices: " + std::to_string(heights.size()) + "     Faces: " + std::to_string(faces) +
            lineEnd;
    text += "Vertex list:" + lineEnd;
    for (int i = 0; i < static_cast<int>(heights.size()); ++i) {
        text += "Vertex " + std::to_string(i) + ":  X:" + std::to_string(i % columns * 10) +
                "     Y:" + std::to_string(i / columns * 10) + "     Z:" + heights[i] + lineEnd;
    }
    text += "Face list:" + lineEnd;
    for (int face = 0; face < faces; ++face) {
        text += "Face " + std::to_string(face) + ":    A:0 B:1 C:2 AB:1 BC:1 CA:0" + lineEnd;
        text += "Smoothing:  1" + lineEnd;
    }
    return text;
}

// The little grid every level of the tests converts: 2 x 2 vertices with heights 0, 10, 20, 30...
inline std::string TwoByTwoListing() {
    return GridListing({"0", "10", "20", "30"});
}

// ...and its image over the automatic range [0, 30]: the header, then vertex 2 (43690), vertex 3
// (65535), vertex 0 (0) and vertex 1 (21845), each as blue 0, the low byte, the high byte.
inline const std::string kTwoByTwoImage(
    "\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20"
    "\0\xAA\xAA\0\xFF\xFF\0\0\0\0\x55\x55",
    30);

}  // namespace tessiloom
