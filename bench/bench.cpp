// Measures the whole conversion of realistic listings against `wc -l` over the same file, and
// against a plain reader (tessiloom-plain-convert), with the converter's peak memory.
//
//   tessiloom-bench [DATA_FOLDER [RUNS]]
//
// The machines are shared and noisy, so each listing is measured in RUNS rounds (11 unless given,
// at least 9) that run the three commands one after another, in a rotating order, and every figure
// is a median: of each command's times, and of the per-round ratio of ours to wc -l, so that a
// round the machine slowed down counts for no more than one.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/terrain_listing.h"

extern char** environ;

namespace {

constexpr int kSides[] = {708, 2049};
constexpr int kFewestRuns = 9;
constexpr double kMebibyte = 1024.0 * 1024.0;

struct Measure {
    double seconds = 0;
    double peakMebibytes = 0;
};

// Runs `argv` with its output thrown away; the wall time and the child's peak resident memory.
Measure RunOnce(const std::vector<std::string>& argv) {
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

struct Medians {
    double ours = 0;
    double plain = 0;
    double lines = 0;
    double ratio = 0;  // of ours to wc -l, round by round
    double peakMebibytes = 0;
};

Medians MeasureRounds(const std::vector<std::vector<std::string>>& commands, int runs) {
    std::vector<std::vector<double>> seconds(commands.size());
    std::vector<double> ratios;
    double peak = 0;
    for (int run = 0; run < runs; ++run) {
        std::vector<double> round(commands.size());
        for (std::size_t step = 0; step < commands.size(); ++step) {
            const std::size_t which = (run + step) % commands.size();
            const Measure measure = RunOnce(commands[which]);
            round[which] = measure.seconds;
            if (which == 0) peak = std::max(peak, measure.peakMebibytes);
        }
        for (std::size_t which = 0; which < commands.size(); ++which) seconds[which].push_back(round[which]);
        ratios.push_back(round[0] / round[2]);
    }
    return {Median(seconds[0]), Median(seconds[1]), Median(seconds[2]), Median(ratios), peak};
}

bool SameBytes(const std::string& a, const std::string& b) {
    return std::filesystem::file_size(a) == std::filesystem::file_size(b) &&
           std::system(("cmp -s '" + a + "' '" + b + "'").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    const int runs = argc > 2 ? std::max(kFewestRuns, std::atoi(argv[2])) : 11;
    std::filesystem::create_directories(folder);

    std::printf("%-11s %9s %10s %10s %10s %7s %11s %11s\n", "grid", "listing", "plain", "ours", "wc -l",
                "ratio", "peak mem", "mem bound");
    for (const int side : kSides) {
        const std::string stem = (folder / ("terrain-" + std::to_string(side))).string();
        const std::string listing = stem + ".asc";
        if (!std::filesystem::exists(listing)) {
            std::fprintf(stderr, "writing %s ...\n", listing.c_str());
            if (auto failure = tessiloom::WriteTerrainListing(listing, side)) {
                std::fprintf(stderr, "%s\n", failure->c_str());
                return 1;
            }
        }
        const std::vector<std::vector<std::string>> commands = {
            {TESSILOOM_CONVERT, "--quiet", listing},
            {TESSILOOM_PLAIN_CONVERT, listing, stem + "-plain.tga"},
            {"wc", "-l", listing},
        };
        for (const auto& command : commands) RunOnce(command);  // all start from a warm page cache
        if (!SameBytes(stem + ".tga", stem + "-plain.tga")) {
            std::fprintf(stderr, "the plain reader's image of %s differs from ours\n", listing.c_str());
            return 1;
        }
        const Medians medians = MeasureRounds(commands, runs);
        const double megabytes = static_cast<double>(std::filesystem::file_size(listing)) / 1e6;
        const double boundMebibytes = static_cast<double>(side) * side * 8 / kMebibyte + 16;
        std::printf("%4d x %-4d %7.0f MB %8.3f s %8.3f s %8.3f s %7.2f %7.1f MiB %7.1f MiB\n", side, side,
                    megabytes, medians.plain, medians.ours, medians.lines, medians.ratio,
                    medians.peakMebibytes, boundMebibytes);
    }
    std::printf("medians of %d rounds; ratio: ours to wc -l, round by round\n", runs);
    return 0;
}
