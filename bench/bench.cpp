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
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/terrain_listing.h"

extern char** environ;

namespace {

using Argv = std::vector<std::string>;

constexpr int kSides[] = {708, 2049};
constexpr int kFewestRuns = 9;
constexpr double kMebibyte = 1024.0 * 1024.0;
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

struct Measure {
    double seconds = 0;
    double peakMebibytes = 0;
};

// Runs `argv` with its output thrown away; the wall time and the child's peak resident memory.
Measure RunOnce(const Argv& argv) {
    std::vector<char*> arguments;
    for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", arguments[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss / 1024.0};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One listing's measurements: seconds[place][round], and the peak memory of our conversion.
struct Rounds {
    int side = 0;
    double megabytes = 0;
    std::vector<std::vector<double>> seconds;
    double peakMebibytes = 0;

    double MedianOf(std::size_t place) const { return Median(seconds[place]); }

    // The median over rounds of `combine` applied to two commands' times in the same round.
    template <typename Combine>
    double MedianPerRound(std::size_t first, std::size_t second, Combine combine) const {
        std::vector<double> values;
        for (std::size_t run = 0; run < seconds[first].size(); ++run)
            values.push_back(combine(seconds[first][run], seconds[second][run]));
        return Median(values);
    }
    double MedianRatio(std::size_t first, std::size_t second) const {
        return MedianPerRound(first, second, [](double a, double b) { return a / b; });
    }
    double MedianDifference(std::size_t first, std::size_t second) const {
        return MedianPerRound(first, second, [](double a, double b) { return a - b; });
    }
};

void MeasureRounds(const std::vector<Argv>& commands, int runs, Rounds& rounds) {
    rounds.seconds.assign(commands.size(), {});
    for (int run = 0; run < runs; ++run) {
        for (std::size_t step = 0; step < commands.size(); ++step) {
            const std::size_t place = (run + step) % commands.size();
            const Measure measure = RunOnce(commands[place]);
            rounds.seconds[place].push_back(measure.seconds);
            if (place == kOurs) rounds.peakMebibytes = std::max(rounds.peakMebibytes, measure.peakMebibytes);
        }
    }
}

bool SameBytes(const std::string& a, const std::string& b) {
    return std::filesystem::file_size(a) == std::filesystem::file_size(b) &&
           std::system(("cmp -s '" + a + "' '" + b + "'").c_str()) == 0;
}

// Writes the listing unless an earlier run did; false when it cannot.
bool EnsureListing(const std::string& listing, int side) {
    if (std::filesystem::exists(listing)) return true;
    std::fprintf(stderr, "writing %s ...\n", listing.c_str());
    if (auto failure = tessiloom::WriteTerrainListing(listing, side)) {
        std::fprintf(stderr, "%s\n", failure->c_str());
        return false;
    }
    return true;
}

// Measures one listing, after checking that the plain reader's image equals ours; false when not.
bool MeasureListing(const std::filesystem::path& folder, int side, int runs, Rounds& rounds) {
    const std::string stem = (folder / ("terrain-" + std::to_string(side))).string();
    const std::string listing = stem + ".asc";
    if (!EnsureListing(listing, side)) return false;
    const std::vector<Argv> commands = CommandsFor(listing, stem + "-plain.tga");
    for (const auto& command : commands) RunOnce(command);  // all start from a warm page cache
    if (!SameBytes(stem + ".tga", stem + "-plain.tga")) {
        std::fprintf(stderr, "the plain reader's image of %s differs from ours\n", listing.c_str());
        return false;
    }
    rounds.side = side;
    rounds.megabytes = static_cast<double>(std::filesystem::file_size(listing)) / 1e6;
    MeasureRounds(commands, runs, rounds);
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
    return 0;
}
