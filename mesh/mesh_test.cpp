// What is read of a whole mesh beyond its lines: which vertices count, whether they stand on a
// lattice, and why a mesh cannot be read.
#include "mesh/mesh.h"

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <vector>

#include "conversion/number_text.h"
#include "mesh/lattice.h"
#include "mesh/mesh_listing.h"
#include "mesh/test_mesh.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

TEST(ReadMesh, FailsWithWhatIsWrongAndWhere) {
    const TestObject grid = GridObject(3, 3);
    TestObject stray = grid, negative = grid, unplaced = grid, flat = grid, line = grid;
    stray.faces[5].b = 9;
    negative.faces[2].c = -1;
    unplaced.vertices[4].y = 123456;  // written as 1e999 below
    for (TestVertex& at : flat.vertices) at.y = 5;
    TestObject level = grid;  // exported with Y up, all at one Z
    for (TestVertex& at : level.vertices) at.z = 0;
    TestObject noFaces = grid;
    noFaces.faces.clear();
    TestObject unnamed = noFaces;
    unnamed.name.clear();
    ExporterStyle fractional;
    fractional.face = [](int, const TestFace& corners) {
        return "Face:  A:" + std::to_string(corners.a) + ".5 B:" + std::to_string(corners.b) +
               " C:" + std::to_string(corners.c);
    };
    const std::string infiniteY = Replaced(WriteListing({unplaced}), "123456", "1e999");
    // clang-format off
    const std::string noZ = "Tri-mesh, Vertices: 3 Faces: 1\nVertex 0: X:0 Y:0 Z:0\nVertex 1: X:1 Y:0 Z:0\nVertex 2: X:0 Y:1\nFace 0: A:0 B:1 C:2\n";
    const std::string fractionalC = Replaced(Replaced(noZ, "Y:1\n", "Y:1 Z:0\n"), "C:2\n", "C:2.5 AB:1 BC:1 CA:0\n");
    const std::pair<std::string, std::string> cases[] = {
        {WriteListing({grid, stray}), "Could not read 't.asc': face 5 of object \"Terrain\" names vertex 9, but the object lists 9 vertices (0 to 8)."},
        {WriteListing({negative}), "Could not read 't.asc': face 2 of object \"Terrain\" names vertex -1, but the object lists 9 vertices (0 to 8)."},
        {Replaced(WriteListing({negative}), "\"Terrain\"", " Hill 2\t"), "Could not read 't.asc': face 2 of object \"Hill 2\" names vertex -1, but the object lists 9 vertices (0 to 8)."},
        {WriteListing({grid}, fractional), "Could not read 't.asc': face 0 of object \"Terrain\" names vertex 0.5, but the object lists 9 vertices (0 to 8)."},
        {Replaced(WriteListing({grid}, fractional), ".5 B", ",5 B"), "Could not read 't.asc': face 0 of object \"Terrain\" names vertex 0.5, but the object lists 9 vertices (0 to 8)."},
        {noZ, "Could not read 't.asc': vertex 2 of object 1 has no finite \"Z:\"."},
        {infiniteY, "Could not read 't.asc': vertex 4 of object \"Terrain\" has no finite \"Y:\"."},
        {Replaced(noZ, "X:1 ", "X:-1e999 "), "Could not read 't.asc': vertex 1 of object 1 has no finite \"X:\"."},
        {"Named object: \"Camera01\"\nPosition: X:0 Y:0 Z:0\n", "Could not read 't.asc': it holds no object with a \"Tri-mesh\" header."},
        {WriteListing({noFaces}), "Could not read 't.asc': object \"Terrain\" has a \"Tri-mesh\" header but no face lines."},
        {WriteListing({grid, unnamed}), "Could not read 't.asc': object 2 has a \"Tri-mesh\" header but no face lines."},
        {WriteListing({flat}), "Could not convert 't.asc': its triangles cover no ground along Y."},
        {"Tri-mesh, Vertices: 3 Faces: 1\nVertex 0: X:-1e308 Y:0 Z:0\nVertex 1: X:1e308 Y:0 Z:0\nVertex 2: X:0 Y:1 Z:0\nFace 0: A:0 B:1 C:2\n",
         "Could not convert 't.asc': its triangles spread too far along X to be measured."},
        {fractionalC, "Could not read 't.asc': face 0 of object 1 names vertex 2.5, but the object lists 3 vertices (0 to 2)."},
    };
    // clang-format on
    for (const auto& [listing, message] : cases) EXPECT_EQ(ReadMeshListing(listing), message) << listing;
    EXPECT_EQ(ReadMeshListing(WriteListing({level}), {UpAxis::kY, {}, {}}),
              "Could not convert 't.asc': its triangles cover no ground along Z.");
    // Read with Y up, a value is still named by its marker in the listing.
    EXPECT_EQ(ReadMeshListing(noZ, {UpAxis::kY, {}, {}}), cases[5].second);
    EXPECT_EQ(ReadMeshListing(infiniteY, {UpAxis::kY, {}, {}}), cases[6].second);
}

// Only the vertices some triangle uses count, each object's faces naming its own vertices, and so
// only they make the box and the range; and with the first thread dawdling, so that the other reads
// most of the lines in many stretches, the same.
TEST(ReadMesh, CountsTheVerticesItsTrianglesUseHoweverItIsRead) {
    TestObject first = GridObject(10, 12, "A"),
               second = GridObject(3, 3, "B");                        // B's bits straddle two words
    first.faces.erase(first.faces.begin(), first.faces.begin() + 2);  // vertex 0 of A counts for nothing
    second.vertices.push_back({99, 99, 99});
    const std::string text = WriteListing({first, second, GridObject(4, 2, "C")});
    const std::string allUsed = WriteListing({GridObject(3, 3, "B"), GridObject(10, 12, "A")});
    std::string stray = text;  // the last face misses its C, which only the faces kept can tell
    stray.replace(stray.rfind(" C:"), 3, " D:");
    TestObject beyond = first;    // a face far in names a vertex past its object's, read maybe by a run
    beyond.faces.back().c = 120;  // that does not know where the object began
    const std::string strayBeyond = WriteListing({beyond, second, GridObject(4, 2, "C")});
    // Objects without a mesh between A and B, the first with lines of its own that no mesh holds; and
    // a face line that no mesh holds between C's name and its header.
    const std::string between = Replaced(
        Replaced(text, "Named object: \"B\"",
                 "Named object: \"Light01\"\r\nVertex 0:  X:5 Y:5 Z:5\r\nFace 0:  A:0 B:0 C:0\r\nNamed "
                 "object: \"Camera01\"\r\nNamed object: \"B\""),
        "Named object: \"C\"", "Named object: \"C\"\r\nFace 0:  A:0 B:0 C:0");
    const auto read = [](const ByteSource& bytes, LinesReading how, FaceReading faces) {
        Mesh mesh;
        if (auto failure = ReadMesh(bytes, UpAxis::kZ, how, mesh, faces)) return *failure;
        EXPECT_EQ(mesh.facesKept, faces == FaceReading::kKeep);  // marked, they were not read again
        std::string outcome;
        for (const MeshObject& object : mesh.objects)
            outcome += std::string(mesh.NameOf(object)) + " " + std::to_string(object.vertexCount) + " " +
                       std::to_string(object.faceCount) + ", ";
        for (std::size_t point = 0; point < mesh.points.Size(); ++point)
            outcome += mesh.IsUsed(point) ? '1' : '0';
        outcome += " " + std::to_string(mesh.usedCount) + " " + std::to_string(mesh.triangleCount) + ",";
        for (const double value : {mesh.box.x0, mesh.box.x1, mesh.box.y0, mesh.box.y1, mesh.nextX, mesh.nextY,
                                   mesh.lowest, mesh.highest})
            outcome += " " + NumberText(value);
        return outcome;
    };
    const std::pair<std::string, std::string> cases[] = {
        {text, "A 120 196, B 10 8, C 8 6, 0" + std::string(128, '1') + "0" + std::string(8, '1') +
                   " 136 210, 0 90 0 220 10 20 -3.5 9"},
        {allUsed, "B 9 8, A 120 198, " + std::string(129, '1') + " 129 206, 0 90 0 220 10 20 -3.5 9"},
        {between, "A 120 196, B 10 8, C 8 6, 0" + std::string(119, '1') + "0" + std::string(9, '1') + "0" +
                      std::string(8, '1') + " 136 210, 0 90 0 220 10 20 -3.5 9"},
        {stray,
         "face 5 of object \"C\" names no vertex (its A, B or C is missing), but the object lists 8 "
         "vertices (0 to 7)"},
        {strayBeyond,
         "face 195 of object \"A\" names vertex 120, but the object lists 120 vertices (0 to 119)"},
    };
    for (const auto& [listing, expected] : cases) {
        for (const FaceReading faces : {FaceReading::kKeep, FaceReading::kMarkPlaces}) {
            EXPECT_EQ(read(StringByteSource(listing), {.oneThread = true}, faces), expected);
            for (const bool inPlace : {false, true}) {
                const DawdlingByteSource dawdling(
                    listing, {.pause = std::chrono::microseconds(200), .inPlace = inPlace});
                EXPECT_EQ(read(dawdling, {.blockBytes = 16}, faces), expected);
                EXPECT_GT(dawdling.BytesReadElsewhere(), listing.size() / 2);
            }
        }
    }
}

// The points are surveyed in parts on two threads: however they fall into parts, the joined
// extent is the whole's, the lowest X and Y above the lowest among it.
TEST(PointsExtent, JoinedFromPartsIsTheWholes) {
    const std::vector<GroundPoint> points = {{30, 7, 1}, {0, 7, 2},  {30, 5, -1}, {0, 9, 4},
                                             {60, 5, 0}, {10, 6, 3}, {0, 5, 2}};
    const auto extentOf = [](std::span<const GroundPoint> part) {
        PointsExtent extent;
        for (const GroundPoint& point : part) extent.Add(point);
        return extent;
    };
    const auto fields = [](const PointsExtent& e) {
        return std::vector<double>{e.box.x0, e.box.x1, e.box.y0, e.box.y1,
                                   e.nextX,  e.nextY,  e.lowest, e.highest};
    };
    EXPECT_EQ(fields(extentOf(points)), (std::vector<double>{0, 60, 5, 9, 10, 6, -1, 4}));
    for (std::size_t split = 0; split <= points.size(); ++split) {
        PointsExtent joined = extentOf(std::span(points).first(split));
        joined.Add(extentOf(std::span(points).subspan(split)));
        EXPECT_EQ(fields(joined), fields(extentOf(points))) << split;
    }
}

// A listing is read without its faces first only where its first mesh's header counts are a grid's;
// a decimated terrain's are not, and it is read once, faces and all.
TEST(MayBeALattice, GoesByTheFirstMeshsHeaderCounts) {
    TestObject decimated = GridObject(4, 3);
    decimated.faces.pop_back();
    const std::pair<std::string, bool> cases[] = {
        {WriteListing({GridObject(4, 3)}), true},
        {WriteListing({decimated, GridObject(4, 3)}), false},
        {WriteListing({GridObject(4, 3), decimated}), true},
        {"Ambient light color: Red=0.3 Green=0.3 Blue=0.3\r\n", true},             // no counts tell
        {std::string(kHeaderBlockBytes, '\n') + WriteListing({decimated}), true},  // nor counts far in
    };
    for (const auto& [listing, expected] : cases)
        EXPECT_EQ(MayBeALattice(StringByteSource(listing)), expected) << listing.substr(0, 200);
}

TEST(FindLattice, TakesOnlyEveryNodeHeldAtOneHeight) {
    const TestObject grid = GridObject(4, 3);
    TestObject uneven = grid, missing = grid, disagreeing = GridObject(4, 2, "South"),
               north = GridObject(4, 2, "North"), unused = grid;
    for (TestVertex& at : uneven.vertices) at.x += at.x == 20 ? 0.5 : 0;    // one column off its node
    missing.faces.erase(missing.faces.begin(), missing.faces.begin() + 2);  // vertex 0 counts no more
    for (std::size_t i = 0; i < north.vertices.size(); ++i) north.vertices[i] = grid.vertices[i + 4];
    const TestObject south = disagreeing;
    disagreeing.vertices[5].z += 1;  // a shared vertex its other tile puts at another height
    TestObject nearly = grid;
    for (TestVertex& at : nearly.vertices) at.x += at.x == 20 ? 0.05 : 0;  // within a hundredth of a step
    unused.vertices.push_back({0, 0, 99});
    TestObject shifted = grid, tiny = grid;  // away from the origin, as most terrains lie; in kilometres
    for (TestVertex& at : shifted.vertices) at = {at.x - 30720, at.y + 1000, at.z};
    for (TestVertex& at : tiny.vertices) at = {at.x / 1000, at.y / 1000, at.z};
    TestObject shiftedSwapped = shifted;
    std::swap(shiftedSwapped.vertices[1], shiftedSwapped.vertices[6]);
    // Far from the origin, as a float holds it: the first step alone miscounts the columns by three.
    TestObject rounded = GridObject(2049, 2);
    for (TestVertex& at : rounded.vertices) at.x = static_cast<float>(500000 + at.x * 1.01);
    TestObject wavering = GridObject(3000, 2);  // every other column nearly a hundredth of a step off
    for (TestVertex& at : wavering.vertices) at.x += static_cast<int>(at.x / 10) % 2 == 1 ? 0.09 : 0;
    // Points of the first row or column off their nodes by less than the tolerance, whose smallest
    // offsets are no step: one point a little, and all of them, by offsets of every size up to it.
    TestObject lifted = grid, scattered = GridObject(5, 4);
    lifted.vertices[1].y += 0.003;
    for (std::size_t i = 0; i < scattered.vertices.size(); ++i) {
        scattered.vertices[i].x += 0.09 * double(i * 7 % 10) / 10 + 1e-7 * double(i);
        scattered.vertices[i].y += 0.001 * double(i % 3) + 1e-6 * double(i);
    }
    // Every point nearly a hundredth of a step off its node, either way: the lowest too.
    TestObject jostled = GridObject(6, 5);
    for (std::size_t i = 0; i < jostled.vertices.size(); ++i) {
        jostled.vertices[i].x += i % 2 == 0 ? 0.09 : -0.09;
        jostled.vertices[i].y += i % 3 == 0 ? -0.08 : 0.08;
    }
    TestObject shaken = GridObject(40, 30);  // and at random, as nearly
    std::mt19937 random(7);
    std::uniform_real_distribution<double> within(-0.095, 0.095);
    for (TestVertex& at : shaken.vertices) at = {at.x + within(random), at.y + within(random), at.z};
    // Two nodes along X, only the first's points apart; 64 of them apart, as many as the first nodes
    // of a step they would divide; at 10^15, where a double's places lie an eighth apart.
    TestObject twoNodes = GridObject(2, 3), spread = GridObject(3, 3200), far = GridObject(3, 2);
    twoNodes.vertices[2].x = 0.05;
    for (std::size_t j = 0; j < 3200; ++j) spread.vertices[j * 3].x = double(j % 64) * (10.0 / 3200);
    const double farX[] = {999999999999999.875,  1000000000000021.5, 1000000000000042.875,
                           1000000000000000.125, 1000000000000021.5, 1000000000000043};
    for (std::size_t i = 0; i < 6; ++i) far.vertices[i].x = farX[i];
    // Points enough to be looked at in parts on two threads, what matters lying in a later part.
    const TestObject large = GridObject(300, 300);
    TestObject largeSwapped = large, largeUneven = large;
    std::swap(largeSwapped.vertices[70000], largeSwapped.vertices[80000]);
    largeUneven.vertices[80000].x += 0.5;
    // A point nudged by a two-hundredth of a step, whose offset is a step that every node would stand
    // on, with many more nodes than there are points.
    TestObject largeNudged = large;
    largeNudged.vertices[300].x += 0.05;
    largeNudged.vertices[1].y += 1e-6;
    enum Found { kNone, kInOrder, kOwnHeights };  // no lattice; its heights the points', or its own
    // clang-format off
    const std::pair<std::vector<TestObject>, Found> cases[] = {
        {{grid}, kInOrder}, {{nearly}, kInOrder}, {{shifted}, kInOrder}, {{uneven}, kNone}, {{missing}, kNone},
        {{disagreeing, north}, kNone}, {{south, north}, kOwnHeights}, {{unused}, kOwnHeights},
        {{large}, kInOrder}, {{largeSwapped}, kOwnHeights}, {{largeUneven}, kNone},
        {{tiny}, kInOrder}, {{shiftedSwapped}, kOwnHeights}, {{rounded}, kInOrder},
        {{wavering}, kInOrder}, {{lifted}, kInOrder}, {{scattered}, kInOrder},
        {{largeNudged}, kInOrder}, {{jostled}, kInOrder}, {{shaken}, kInOrder},
        {{twoNodes}, kInOrder}, {{spread}, kInOrder}, {{far}, kInOrder},
    };
    // clang-format on
    for (const auto& [objects, found] : cases) {
        const std::string text = WriteListing(objects);
        const StringByteSource bytes(text);
        Mesh mesh;
        ASSERT_EQ(ReadMesh(bytes, UpAxis::kZ, {}, mesh), std::nullopt);
        bool outOfMemory;
        const std::optional<Lattice> lattice = FindLattice(mesh, outOfMemory);
        EXPECT_EQ(!lattice                 ? kNone
                  : lattice->pointsInOrder ? kInOrder
                                           : kOwnHeights,
                  found)
            << text.substr(0, 500);
    }
}

// A lattice wider than an image can hold is sampled, read with its faces at once or after them; the
// user is told, and told of the lattice.
TEST(MeshListingReader, SamplesALatticeLargerThanAnImageAndSaysSo) {
    const std::string text = WriteListing({GridObject(32768, 3)});  // its rows all kept
    const StringByteSource bytes(text);
    for (const std::uint64_t latticeFirstBytes : {std::uint64_t{0}, text.size() + 1}) {
        MeshListingReader reader({UpAxis::kZ, {}, {}, latticeFirstBytes});
        Listing listing;
        ASSERT_EQ(reader.ReadBody(bytes, "t.asc", listing), std::nullopt);
        EXPECT_EQ(listing.grid.columns, 32767);
        EXPECT_EQ(listing.grid.rows, 3);
        EXPECT_EQ(listing.warnings, std::vector<std::string>{"Warning: the used vertices stand on a lattice "
                                                             "of 32768 x 3 nodes, more than the 32767 x "
                                                             "32767 an image can hold; it is sampled at "
                                                             "32767 x 3."});
        ASSERT_TRUE(reader.Summary().lattice);
        EXPECT_EQ(reader.Summary().lattice->columns, 32768);
        EXPECT_TRUE(reader.Summary().sampled);
    }
}

}  // namespace
}  // namespace tessiloom
