#include "bench/rounds.h"

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

extern char** environ;

namespace tessiloom::bench {

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
    return {std::chrono::duration<double>(end - start).count(),
            static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Rounds::MedianPerRound(std::size_t first, std::size_t second,
                              double (*combine)(double, double)) const {
    std::vector<double> values;
    for (std::size_t run = 0; run < seconds[first].size(); ++run)
        values.push_back(combine(seconds[first][run], seconds[second][run]));
    return Median(values);
}

void MeasureRounds(const std::vector<Argv>& commands, int runs, std::size_t peakOf, Rounds& rounds) {
    rounds.seconds.assign(commands.size(), {});
    for (int run = 0; run < runs; ++run) {
        for (std::size_t step = 0; step < commands.size(); ++step) {
            const std::size_t place = (static_cast<std::size_t>(run) + step) % commands.size();
            const Measure measure = RunOnce(commands[place]);
            rounds.seconds[place].push_back(measure.seconds);
            if (place == peakOf) rounds.peakMebibytes = std::max(rounds.peakMebibytes, measure.peakMebibytes);
        }
    }
}

bool EnsureListing(const std::string& path,
                   const std::function<std::optional<std::string>(const std::string&)>& write) {
    if (std::filesystem::exists(path)) return true;
    std::fprintf(stderr, "writing %s ...\n", path.c_str());
    if (auto failure = write(path)) {
        std::fprintf(stderr, "%s\n", failure->c_str());
        return false;
    }
    return true;
}

}  // namespace tessiloom::bench
