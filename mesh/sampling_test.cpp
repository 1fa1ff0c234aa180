// The samples of irregular meshes against a reference worked out in exact rational arithmetic: which
// triangles hold each point, and the height there.
#include "mesh/sampling.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "mesh/mesh_listing.h"
#include "mesh/orientation.h"
#include "mesh/test_mesh.h"

namespace tessiloom {
namespace {

int ExactSign(const TestVertex& a, const TestVertex& b, const TestVertex& c) {
    const mpq_class determinant =
        (mpq_class(b.x) - a.x) * (mpq_class(c.y) - a.y) - (mpq_class(b.y) - a.y) * (mpq_class(c.x) - a.x);
    return sgn(determinant);
}

TEST(Orient, DecidesTheSideExactlyEvenForPointsOnTheLine) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(-1e3, 1e3);
    int onTheLine = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const TestVertex a{unit(random), unit(random), 0}, b{unit(random), unit(random), 0};
        const double t = trial % 2 == 0 ? unit(random) / 1e3 : std::ldexp(1.0, trial % 7 - 3);
        // On the line up to rounding, or exactly on it where t is a power of two and the line an axis.
        TestVertex c{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0};
        if (trial % 5 == 0) c = {a.x, b.y, 0}, c.y = a.y;
        const int sign = Orient({a.x, a.y}, {b.x, b.y}, {c.x, c.y}).sign;
        onTheLine += sign == 0;
        ASSERT_EQ(sign, ExactSign(a, b, c)) << trial;
    }
    EXPECT_GT(onTheLine, 1000);
}

// A sample's place is exact though no double holds it: on a line through it, or a hair beside one.
TEST(Orient, DecidesTheSideOfASampleAtItsExactPlace) {
    std::mt19937_64 random(5);
    std::uniform_int_distribution<int> corner(-5000, 5000), steps(1, 40);
    int onTheLine = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const std::int32_t columns = steps(random), rows = steps(random);
        const std::int32_t i = corner(random) % (columns + 1), j = corner(random) % (rows + 1);
        const double x0 = corner(random) / 8.0, y0 = corner(random) / 8.0;
        const SamplePlace x = PlaceBetween(x0, x0 + 1 + std::abs(corner(random)), std::abs(i), columns);
        const SamplePlace y = PlaceBetween(y0, y0 + 1 + std::abs(corner(random)), std::abs(j), rows);
        const mpq_class px = (mpq_class(x.low) * (x.steps - x.index) + mpq_class(x.high) * x.index) / x.steps;
        const mpq_class py = (mpq_class(y.low) * (y.steps - y.index) + mpq_class(y.high) * y.index) / y.steps;
        // From a corner through the place, the line meets it where b is a multiple of the steps away.
        const TestVertex a{x.low, y.low, 0};
        TestVertex b{x.low + (x.high - x.low) * x.index * rows, y.low + (y.high - y.low) * y.index * columns,
                     0};
        if (trial % 3 == 1) b.x = std::nextafter(b.x, HUGE_VAL);
        if (trial % 3 == 2) b.y = std::nextafter(b.y, -HUGE_VAL);
        const int sign = Orient({a.x, a.y}, {b.x, b.y}, x, y).sign;
        onTheLine += sign == 0;
        ASSERT_EQ(sign, sgn((mpq_class(b.x) - a.x) * (py - a.y) - (mpq_class(b.y) - a.y) * (px - a.x)))
            << trial;
    }
    EXPECT_GT(onTheLine, 5000);
}

// The reference at (x, y): the highest exact height of the triangles that hold it, and whether they
// hold it at different heights; nothing when none does.
struct Held {
    bool any = false;
    mpq_class highest;
    bool folded = false;
};

Held ExactHeight(const std::vector<TestObject>& objects, const mpq_class& x, const mpq_class& y) {
    Held held;
    // The doubled area of u, v and (x, y), positive counterclockwise.
    const auto weight = [&](const TestVertex& u, const TestVertex& v) -> mpq_class {
        return (mpq_class(v.x) - u.x) * (y - u.y) - (mpq_class(v.y) - u.y) * (x - u.x);
    };
    for (const TestObject& object : objects) {
        for (const TestFace& face : object.faces) {
            TestVertex a = object.vertices[std::size_t(face.a)], b = object.vertices[std::size_t(face.b)],
                       c = object.vertices[std::size_t(face.c)];
            const int turn = ExactSign(a, b, c);
            if (turn == 0) continue;
            if (turn < 0) std::swap(b, c);
            const mpq_class wa = weight(b, c), wb = weight(c, a), wc = weight(a, b);
            if (sgn(wa) < 0 || sgn(wb) < 0 || sgn(wc) < 0) continue;
            const mpq_class height = (wa * a.z + wb * b.z + wc * c.z) / (wa + wb + wc);
            if (held.any && height != held.highest) held.folded = true;
            if (!held.any || height > held.highest) held.highest = height;
            held.any = true;
        }
    }
    return held;
}

// A 6 x 5 grid with its inner vertices moved off their nodes, its triangles wound either way, two
// of them cut out, and a small triangle floating over a corner; away from the origin, as most
// terrains lie.
std::vector<TestObject> IrregularTerrain() {
    TestObject ground = GridObject(6, 5, "Ground");
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> jitter(-3.7, 3.7);
    for (std::size_t i = 0; i < ground.vertices.size(); ++i) {
        TestVertex& at = ground.vertices[i];
        const bool edge = at.x == 0 || at.x == 50 || at.y == 0 || at.y == 80;
        if (!edge) at = {at.x + jitter(random), at.y + jitter(random), at.z + jitter(random) / 3};
    }
    for (std::size_t i = 0; i < ground.faces.size(); i += 3) std::swap(ground.faces[i].b, ground.faces[i].c);
    ground.faces.erase(ground.faces.begin() + 12, ground.faces.begin() + 14);
    TestObject roof{"Roof", {{2, 3, 40}, {17.5, 1, 41.5}, {4, 19, 39}}, {{0, 1, 2}}};
    for (TestObject* object : {&ground, &roof}) {
        for (TestVertex& at : object->vertices) at = {at.x + 1000.5, at.y - 700.25, at.z};
    }
    return {ground, roof};
}

// The places of samples are exact too: a sample on an edge at a place no double holds (7/3 along a
// side of 7) lies on it.
TEST(SampleMesh, HoldsWhatExactArithmeticHoldsAtEverySize) {
    const TestObject wedge{"Wedge", {{0, 0, 10}, {7, 0, 20}, {0, 7, 30}}, {{0, 1, 2}}};
    const std::pair<std::vector<TestObject>, std::vector<GridSize>> cases[] = {
        {IrregularTerrain(), {{6, 5}, {11, 9}, {2, 2}, {37, 23}}},
        {{wedge}, {{4, 4}, {7, 7}, {22, 13}}},
    };
    for (const auto& [objects, sizes] : cases) {
        const std::string text = WriteListing(objects);
        const StringByteSource bytes(text);
        Mesh mesh;
        ASSERT_EQ(ReadMesh(bytes, UpAxis::kZ, {}, mesh), std::nullopt);
        const GroundBox box = mesh.box;
        std::int64_t emptyOrFolded = 0;  // the hole and the roof show at some size
        for (const GridSize size : sizes) {
            const Samples samples = SampleMesh(mesh, size);
            std::int64_t empty = 0, folded = 0;
            const auto place = [](double low, double high, std::int32_t index,
                                  std::int32_t count) -> mpq_class {
                return (mpq_class(low) * (count - 1 - index) + mpq_class(high) * index) / (count - 1);
            };
            for (std::int32_t j = 0; j < size.rows; ++j) {
                for (std::int32_t i = 0; i < size.columns; ++i) {
                    const Held held = ExactHeight(objects, place(box.x0, box.x1, i, size.columns),
                                                  place(box.y0, box.y1, j, size.rows));
                    const double height =
                        samples.heights[std::size_t(j) * std::size_t(size.columns) + std::size_t(i)];
                    empty += !held.any;
                    folded += held.folded;
                    if (!held.any) {
                        EXPECT_TRUE(std::isnan(height)) << i << " " << j;
                    } else {
                        EXPECT_NEAR(height, held.highest.get_d(), 1e-9) << i << " " << j;
                    }
                }
            }
            EXPECT_EQ(samples.empty, empty) << size.columns;
            EXPECT_EQ(samples.folded, folded) << size.columns;
            emptyOrFolded += empty + folded;
        }
        EXPECT_GT(emptyOrFolded, 0);
    }
}

// Rounding never takes a sample beyond its triangle's corners: a plateau stays exactly at its height,
// or the automatic range would clip it.
TEST(SampleMesh, KeepsAPlateauAtItsHeight) {
    TestObject plateau = IrregularTerrain().front();
    for (TestVertex& at : plateau.vertices) at.z = 0.3;
    const std::string text = WriteListing({plateau});
    const StringByteSource bytes(text);
    Mesh mesh;
    ASSERT_EQ(ReadMesh(bytes, UpAxis::kZ, {}, mesh), std::nullopt);
    const Samples samples = SampleMesh(mesh, {97, 89});
    std::int64_t beyond = 0;
    samples.heights.ForEach([&](double height) { beyond += !std::isnan(height) && height != 0.3; });
    EXPECT_EQ(beyond, 0);
    EXPECT_EQ(samples.folded, 0);  // though the samples on the edges two triangles share are held twice
}

// A closed object seen from above: its top and its bottom hold every sample, the top kept.
TEST(SampleMesh, KeepsTheTopOfEverySampleTwoSurfacesHold) {
    const TestObject top = GridObject(9, 9, "Top");
    TestObject bottom = GridObject(9, 9, "Bottom");
    for (TestVertex& at : bottom.vertices) at.z -= 100;
    const std::string text = WriteListing({bottom, top});
    const StringByteSource bytes(text);
    Mesh mesh;
    ASSERT_EQ(ReadMesh(bytes, UpAxis::kZ, {}, mesh), std::nullopt);
    const Samples samples = SampleMesh(mesh, {9, 9});
    EXPECT_EQ(samples.folded, 81);
    for (std::size_t i = 0; i < top.vertices.size(); ++i)
        EXPECT_EQ(samples.heights[i], top.vertices[i].z) << i;
    EXPECT_TRUE(ReadMeshListing(text, {UpAxis::kZ, GridSize{9, 9}, {}})
                    .ends_with(" | Warning: 81 samples lie under triangles at different heights; their "
                               "highest is kept."));
}

// A grid sampled at its own size gives its own vertices, exactly, however its triangles lie.
TEST(SampleMesh, GivesALatticeItsOwnVerticesAtItsOwnSize) {
    const TestObject grid = GridObject(7, 4);
    const std::string text = WriteListing({grid});
    const StringByteSource bytes(text);
    Mesh mesh;
    ASSERT_EQ(ReadMesh(bytes, UpAxis::kZ, {}, mesh), std::nullopt);
    const Samples samples = SampleMesh(mesh, {7, 4});
    for (std::size_t i = 0; i < grid.vertices.size(); ++i)
        EXPECT_EQ(samples.heights[i], grid.vertices[i].z) << i;
    EXPECT_EQ(samples.empty + samples.folded, 0);
    // Another size, though as wide as the lattice, is sampled.
    EXPECT_TRUE(ReadMeshListing(text, {UpAxis::kZ, GridSize{7, 5}, {}}).starts_with("7x5 "));
}

// About one sample a used vertex, in the box's proportions, where two samples across fit.
TEST(DefaultSampleSize, GivesAboutOneSampleAVertex) {
    const struct {
        std::uint64_t vertices;
        GroundBox box;
        GridSize size;
    } rows[] = {
        {1'000'000, {0, 30, 0, 30}, {1000, 1000}},
        {9, {0, 20, 0, 40}, {2, 4}},
        {16, {0, 6.25, 0, 1}, {10, 2}},   // two across, just: its proportions
        {50, {0, 999.5, 0, 1}, {25, 2}},  // a strip along X
        {50, {10, 11, -500, 500}, {2, 25}},
        {3, {0, 1, 0, 1000}, {2, 2}},
        {2'000'000'000, {0, 1, 0, 1}, {32767, 32767}},
    };
    for (const auto& row : rows) {
        const GridSize size = DefaultSampleSize(row.vertices, row.box);
        EXPECT_EQ(size.columns, row.size.columns) << row.vertices;
        EXPECT_EQ(size.rows, row.size.rows) << row.vertices;
    }
}

}  // namespace
}  // namespace tessiloom
