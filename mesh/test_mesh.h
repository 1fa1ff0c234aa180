#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "conversion/number_text.h"
#include "mesh/mesh_listing.h"
#include "platform/byte_source.h"

// Listings of whole meshes for the tests, written the ways exporters write them.
namespace tessiloom {

struct TestVertex {
    double x = 0;
    double y = 0;
    double z = 0;
};

struct TestFace {
    int a = 0;
    int b = 0;
    int c = 0;
};

struct TestObject {
    std::string name;
    std::vector<TestVertex> vertices;
    std::vector<TestFace> faces;
};

// How an exporter writes its lines; each field a piece of text, or a writer of one line.
struct ExporterStyle {
    std::string lineEnd = "\r\n";
    std::string preamble = "Ambient light color: Red=0.3 Green=0.3 Blue=0.3\r\n\r\n";
    std::string named = "Named object: \"";
    std::string header = "Tri-mesh, Vertices: ";
    std::string faces = "     Faces: ";
    std::string vertexList = "Vertex list:";
    std::function<std::string(int index, const TestVertex&)> vertex = [](int index, const TestVertex& at) {
        return "Vertex " + std::to_string(index) + ":  X:" + NumberText(at.x) + "     Y:" + NumberText(at.y) +
               "     Z:" + NumberText(at.z);
    };
    std::string faceList = "Face list:";
    std::function<std::string(int index, const TestFace&)> face = [](int index, const TestFace& corners) {
        return "Face " + std::to_string(index) + ":    A:" + std::to_string(corners.a) +
               " B:" + std::to_string(corners.b) + " C:" + std::to_string(corners.c) + " AB:1 BC:1 CA:0";
    };
    std::string afterFace = "Smoothing:  1";  // a line after each face, or none when empty
};

inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

inline std::string WriteListing(const std::vector<TestObject>& objects, const ExporterStyle& style = {}) {
    const std::string& end = style.lineEnd;
    std::string text = style.preamble;
    for (const TestObject& object : objects) {
        text += style.named + object.name + "\"" + end;
        text += style.header + std::to_string(object.vertices.size()) + style.faces +
                std::to_string(object.faces.size()) + end;
        if (!style.vertexList.empty()) text += style.vertexList + end;
        for (std::size_t i = 0; i < object.vertices.size(); ++i)
            text += style.vertex(int(i), object.vertices[i]) + end;
        if (!style.faceList.empty()) text += style.faceList + end;
        for (std::size_t i = 0; i < object.faces.size(); ++i) {
            text += style.face(int(i), object.faces[i]) + end;
            if (!style.afterFace.empty()) text += style.afterFace + end;
        }
        text += end;
    }
    return text;
}

// A grid of `columns` x `rows` vertices listed row by row from the lowest X and Y, steps 10 along X
// and 20 along Y, two triangles a cell, with heights of two decimals, some negative.
inline TestObject GridObject(int columns, int rows, const std::string& name = "Terrain") {
    TestObject object{name, {}, {}};
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i)
            object.vertices.push_back({10.0 * i, 20.0 * j, ((i * 7 + j * 13) % 11) * 1.25 - 3.5});
    }
    for (int j = 0; j + 1 < rows; ++j) {
        for (int i = 0; i + 1 < columns; ++i) {
            const int corner = j * columns + i;
            object.faces.push_back({corner, corner + 1, corner + columns + 1});
            object.faces.push_back({corner, corner + columns + 1, corner + columns});
        }
    }
    return object;
}

inline std::string ReadMeshListingOnce(const std::string& text, const MeshRequest& request) {
    const StringByteSource bytes(text);
    MeshListingReader reader(request);
    Listing listing;
    if (auto message = reader.ReadBody(bytes, "t.asc", listing)) return *message;
    std::string read = std::to_string(listing.grid.columns) + "x" + std::to_string(listing.grid.rows) +
                       " in " + NumberText(listing.mesh.lowest) + " to " + NumberText(listing.mesh.highest) +
                       " at " + NumberText(listing.corners->first.x) + " " +
                       NumberText(listing.corners->first.y) + " " + NumberText(listing.corners->last.x) +
                       " " + NumberText(listing.corners->last.y) + ":";
    listing.mesh.heights.ForEach([&](double height) { read += " " + NumberText(height); });
    for (const std::string& warning : listing.warnings) read += " | " + warning;
    return read;
}

// What reading `text` as a whole mesh came to: the message, or the grid, the range, the corners and
// each height, and the warnings. Read as a lattice first or with its faces kept at once, a listing
// must come to the same: every listing is read both ways, and checked.
inline std::string ReadMeshListing(const std::string& text, MeshRequest request = {}) {
    request.latticeFirstBytes = 0;
    const std::string latticeFirst = ReadMeshListingOnce(text, request);
    request.latticeFirstBytes = std::numeric_limits<std::uint64_t>::max();
    const std::string facesKept = ReadMeshListingOnce(text, request);
    EXPECT_EQ(latticeFirst, facesKept) << "read as a lattice first";
    return facesKept;
}

}  // namespace tessiloom
