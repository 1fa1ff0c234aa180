#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace tessiloom {

// A 3D-Studio style listing of a side x side grid with the given heights (listing order), its face
// list included, every line ended by `lineEnd`.
inline std::string Listing(const std::vector<std::string>& heights, const std::string& lineEnd = "\r\n") {
    const int side = static_cast<int>(std::lround(std::sqrt(static_cast<double>(heights.size()))));
    const int faces = 2 * (side - 1) * (side - 1);
    std::string text = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3" + lineEnd + lineEnd;
    text += "Named object: \"Terrain\"" + lineEnd;
    text += "Tri-mesh, Vertices: " + std::to_string(heights.size()) + "     Faces: " + std::to_string(faces) + lineEnd;
    text += "Vertex list:" + lineEnd;
    for (std::size_t i = 0; i < heights.size(); ++i) {
        text += "Vertex " + std::to_string(i) + ":  X:" + std::to_string(static_cast<int>(i) % side * 10) +
                "     Y:" + std::to_string(static_cast<int>(i) / side * 10) + "     Z:" + heights[i] + lineEnd;
    }
    text += "Face list:" + lineEnd;
    for (int face = 0; face < faces; ++face) {
        text += "Face " + std::to_string(face) + ":    A:0 B:1 C:2 AB:1 BC:1 CA:0" + lineEnd;
        text += "Smoothing:  1" + lineEnd;
    }
    return text;
}

}  // namespace tessiloom
