#include "bench/mesh_bench.h"

#include <cstdio>
#include <string>
#include <vector>

#include "bench/rounds.h"
#include "bench/terrain_listing.h"

namespace tessiloom::bench {
namespace {

constexpr std::size_t kMesh = 0;
constexpr std::size_t kLineCount = 1;

// The jittered grid's side: 708 x 708 vertices make a million triangles.
constexpr int kIrregularSide = 708;
// 548 x 548 objects of one triangle each: 300,304 objects.
constexpr int kObjectsSide = 548;

struct MeshListing {
    std::string label;
    std::string path;
    std::vector<std::string> options;
    double vertices = 0;
};

void PrintRow(const MeshListing& listing, const Rounds& rounds) {
    const double bound = listing.vertices * 64 / kMebibyte + 32;
    std::printf("%-40s %7.0f MB %8.3f s %8.3f s %7.2f %7.1f MiB %7.1f MiB\n", listing.label.c_str(),
                rounds.megabytes, rounds.MedianOf(kMesh), rounds.MedianOf(kLineCount),
                rounds.MedianRatio(kMesh, kLineCount), rounds.peakMebibytes, bound);
}

}  // namespace

bool MeasureWholeMeshes(const std::filesystem::path& folder, int runs) {
    const std::string irregular = (folder / "irregular-708.asc").string();
    const std::string objects = (folder / "triangle-objects-548.asc").string();
    if (!EnsureListing(irregular,
                       [](const std::string& path) { return WriteIrregularListing(path, kIrregularSide); }) ||
        !EnsureListing(
            objects, [](const std::string& path) { return WriteTriangleObjectsListing(path, kObjectsSide); }))
        return false;
    const std::vector<MeshListing> listings = {
        {"2049 x 2049 grid, --mesh", (folder / "terrain-2049.asc").string(), {}, 2049.0 * 2049},
        {"1M irregular triangles, --size 1025x1025",
         irregular,
         {"--size", "1025x1025"},
         double{kIrregularSide} * kIrregularSide},
        {"300K objects of one triangle, --mesh", objects, {}, 3.0 * kObjectsSide * kObjectsSide},
    };
    std::printf("\n%-40s %9s %10s %10s %7s %11s %11s\n", "whole mesh", "listing", "ours", "wc -l", "ratio",
                "peak mem", "mem bound");
    for (const MeshListing& listing : listings) {
        Argv mesh = {TESSILOOM_CONVERT, "--quiet", "--mesh"};
        mesh.insert(mesh.end(), listing.options.begin(), listing.options.end());
        mesh.push_back(listing.path);
        const std::vector<Argv> commands = {mesh, {"wc", "-l", listing.path}};
        for (const auto& command : commands) RunOnce(command);  // all start from a warm page cache
        Rounds rounds;
        rounds.megabytes = static_cast<double>(std::filesystem::file_size(listing.path)) / 1e6;
        MeasureRounds(commands, runs, kMesh, rounds);
        PrintRow(listing, rounds);
    }
    std::printf(
        "medians of %d rounds; ratio: ours to wc -l, round by round; bound: 64 bytes a vertex and 32 MiB\n",
        runs);
    return true;
}

}  // namespace tessiloom::bench
