#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

#include "mesh/mesh_lines.h"
#include "platform/byte_source.h"

// A whole mesh's lines read one at a time, for the tests and the fuzz target, which check that a
// line read in the layout the last one left reads as it would alone.
namespace tessiloom {

// What the lines of `text` come to, read one after another into one run, each vertex or face line
// in the layout the last one left, or (`alone`) each as if it came first: the face lines, the first
// face that named no vertex, each vertex bit for bit (NaN where a marker is missing, and a minus
// zero, count too) and each face.
inline std::string LinesReadOneByOne(std::string_view text, bool alone) {
    const StringByteSource bytes(text);
    LineSource lines(bytes);
    const MeshLines reader(text.size(), UpAxis::kZ, FaceReading::kKeep);
    MeshRun run;
    std::string_view line;
    while (lines.NextLine(line)) {
        if (alone) {
            run.vertexLayout = VertexLayout();
            run.faceLayout = FaceLayout();
        }
        if (!reader.TakeLine(line, run)) return "out of memory";
    }
    std::string read = std::to_string(run.faceLines);
    if (run.strayFace) read += " stray " + std::to_string(run.strayFace->face);
    run.vertices.ForEach([&](std::size_t, const GroundPoint& point) {
        for (const double value : {point.x, point.y, point.height})
            read += " " + std::to_string(std::bit_cast<std::uint64_t>(value));
    });
    run.faces.ForEach([&](const MeshFace& face) {
        read += " " + std::to_string(face.a) + " " + std::to_string(face.b) + " " + std::to_string(face.c);
    });
    return read;
}

}  // namespace tessiloom
