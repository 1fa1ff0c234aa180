// Measures the whole conversion of realistic listings against `wc -l` over the same file, and
// against a plain reader (tessiloom-plain-convert), with the converter's peak memory; then where
// the conversion's time goes, from commands of the unchanged program that stop at each stage.
//
//   tessiloom-bench [DATA_FOLDER [RUNS]]
//
// The machines are shared and noisy, so each listing is measured in RUNS rounds (11 unless given,
// at least 9) that run every command once, in a rotating order, and every figure is a median: of
// each command's times, and of per-round ratios and differences, so that a round the machine
// slowed down counts for no more than one.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/mesh_bench.h"
#include "bench/rounds.h"
#include "bench/terrain_listing.h"

namespace {

using namespace tessiloom::bench;

constexpr int kSides[] = {708, 2049};
constexpr int kFewestRuns = 9;
constexpr double kMilliseconds = 1000.0;

// Each command's place in a round, in the list CommandsFor returns.
constexpr std::size_t kOurs = 0;
constexpr std::size_t kPlain = 1;
constexpr std::size_t kLineCount = 2;
constexpr std::size_t kStartUp = 3;
constexpr std::size_t kInfo = 4;
constexpr std::size_t kCat = 5;

std::vector<Argv> CommandsFor(const std::string& listing, const std::string& plainImage) {
    return {
        {TESSILOOM_CONVERT, "--quiet", listing},
        {TESSILOOM_PLAIN_CONVERT, listing, plainImage},
        {"wc", "-l", listing},
        {TESSILOOM_CONVERT, "--version"},        // starts, answers, exits
        {TESSILOOM_CONVERT, "--info", listing},  // reads the listing as ours does, writes nothing
        {"cat", listing},                        // the whole file out of the page cache
    };
}

bool SameBytes(const std::string& a, const std::string& b) {
    return std::filesystem::file_size(a) == std::filesystem::file_size(b) &&
           std::system(("cmp -s '" + a + "' '" + b + "'").c_str()) == 0;
}

// Measures one listing, after checking that the plain reader's image equals ours; false when not.
bool MeasureListing(const std::filesystem::path& folder, int side, int runs, Rounds& rounds) {
    const std::string stem = (folder / ("terrain-" + std::to_string(side))).string();
    const std::string listing = stem + ".asc";
    if (!EnsureListing(
            listing, [side](const std::string& path) { return tessiloom::WriteTerrainListing(path, side); }))
        return false;
    const std::vector<Argv> commands = CommandsFor(listing, stem + "-plain.tga");
    for (const auto& command : commands) RunOnce(command);  // all start from a warm page cache
    if (!SameBytes(stem + ".tga", stem + "-plain.tga")) {
        std::fprintf(stderr, "the plain reader's image of %s differs from ours\n", listing.c_str());
        return false;
    }
    rounds.side = side;
    rounds.megabytes = static_cast<double>(std::filesystem::file_size(listing)) / 1e6;
    MeasureRounds(commands, runs, kOurs, rounds);
    return true;
}

void PrintSpeedTable(const std::vector<Rounds>& listings, int runs) {
    std::printf("%-11s %9s %10s %10s %10s %7s %11s %11s\n", "grid", "listing", "plain", "ours", "wc -l",
                "ratio", "peak mem", "mem bound");
    for (const Rounds& rounds : listings) {
        const double boundMebibytes = static_cast<double>(rounds.side) * rounds.side * 8 / kMebibyte + 16;
        std::printf("%4d x %-4d %7.0f MB %8.3f s %8.3f s %8.3f s %7.2f %7.1f MiB %7.1f MiB\n", rounds.side,
                    rounds.side, rounds.megabytes, rounds.MedianOf(kPlain), rounds.MedianOf(kOurs),
                    rounds.MedianOf(kLineCount), rounds.MedianRatio(kOurs, kLineCount), rounds.peakMebibytes,
                    boundMebibytes);
    }
    std::printf("medians of %d rounds; ratio: ours to wc -l, round by round\n", runs);
}

void PrintStageRow(const std::vector<Rounds>& listings, const char* label, double (*seconds)(const Rounds&)) {
    std::printf("%-46s", label);
    for (const Rounds& rounds : listings) std::printf(" %10.2f ms", seconds(rounds) * kMilliseconds);
    std::printf("\n");
}

// Each stage is what one command takes beyond the one that stops before it, round by round.
void PrintStageTable(const std::vector<Rounds>& listings) {
    std::printf("\n%-46s", "where the time goes");
    for (const Rounds& rounds : listings) std::printf("   %4d x %-4d", rounds.side, rounds.side);
    std::printf("\n");
    PrintStageRow(listings, "start-up and exit (--version)",
                  [](const Rounds& rounds) { return rounds.MedianOf(kStartUp); });
    PrintStageRow(listings, "reading the listing (--info less --version)",
                  [](const Rounds& rounds) { return rounds.MedianDifference(kInfo, kStartUp); });
    PrintStageRow(listings, "scaling, writing the image (ours less --info)",
                  [](const Rounds& rounds) { return rounds.MedianDifference(kOurs, kInfo); });
    PrintStageRow(listings, "the whole conversion (ours)",
                  [](const Rounds& rounds) { return rounds.MedianOf(kOurs); });
    PrintStageRow(listings, "cat of the whole listing, to /dev/null",
                  [](const Rounds& rounds) { return rounds.MedianOf(kCat); });
    std::printf("medians; a difference is the median of the rounds' differences\n");
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    const int runs = argc > 2 ? std::max(kFewestRuns, std::atoi(argv[2])) : 11;
    std::filesystem::create_directories(folder);

    std::vector<Rounds> listings;
    for (const int side : kSides) {
        Rounds rounds;
        if (!MeasureListing(folder, side, runs, rounds)) return 1;
        listings.push_back(rounds);
    }
    PrintSpeedTable(listings, runs);
    PrintStageTable(listings);
    return MeasureWholeMeshes(folder, runs) ? 0 : 1;
}
