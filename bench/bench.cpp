// Measures the whole conversion of realistic listings against `wc -l` over the same file, and the
// converter's peak memory. Usage: tessiloom-bench [DATA_FOLDER [RUNS]]
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

struct Pair {
    Measure ours;
    Measure lines;
};

// Alternates the two commands `runs` times, so that both see the same machine, and keeps the
// fastest run of each (the slower ones lost time to something else) and our highest peak.
Pair BestOfAlternating(const std::vector<std::string>& convert, const std::vector<std::string>& count,
                       int runs) {
    Pair best{{1e30, 0}, {1e30, 0}};
    for (int run = 0; run < runs; ++run) {
        const Measure ours = RunOnce(convert);
        const Measure lines = RunOnce(count);
        best.ours.seconds = std::min(best.ours.seconds, ours.seconds);
        best.ours.peakMebibytes = std::max(best.ours.peakMebibytes, ours.peakMebibytes);
        best.lines.seconds = std::min(best.lines.seconds, lines.seconds);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::filesystem::create_directories(folder);

    std::printf("%-11s %9s %10s %10s %9s %7s %11s %11s\n", "grid", "listing", "tessiloom", "wc -l", "MB/s",
                "ratio", "peak mem", "mem bound");
    for (const int side : kSides) {
        const std::string listing = (folder / ("terrain-" + std::to_string(side) + ".asc")).string();
        if (!std::filesystem::exists(listing)) {
            std::fprintf(stderr, "writing %s ...\n", listing.c_str());
            if (auto failure = tessiloom::WriteTerrainListing(listing, side)) {
                std::fprintf(stderr, "%s\n", failure->c_str());
                return 1;
            }
        }
        const double megabytes = static_cast<double>(std::filesystem::file_size(listing)) / 1e6;
        const std::vector<std::string> convert = {TESSILOOM_CONVERT, "--quiet", listing};
        const std::vector<std::string> count = {"wc", "-l", listing};
        RunOnce(count);  // both start from a warm page cache
        RunOnce(convert);
        const auto [ours, lines] = BestOfAlternating(convert, count, runs);
        const double vertices = static_cast<double>(side) * side;
        const double boundMebibytes = vertices * 8 / kMebibyte + 16;
        std::printf("%4d x %-4d %7.0f MB %8.3f s %8.3f s %9.0f %7.2f %7.1f MiB %7.1f MiB\n", side, side,
                    megabytes, ours.seconds, lines.seconds, megabytes / ours.seconds,
                    ours.seconds / lines.seconds, ours.peakMebibytes, boundMebibytes);
    }
    return 0;
}
