#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Commands timed in rounds, for a benchmark on shared, noisy machines: each round runs every command
// once, in an order that rotates from round to round, and every figure is a median, of each
// command's times and of per-round ratios and differences, so that a round the machine slowed down
// counts for no more than one.
namespace tessiloom::bench {

using Argv = std::vector<std::string>;

inline constexpr double kMebibyte = 1024.0 * 1024.0;

struct Measure {
    double seconds = 0;
    double peakMebibytes = 0;
};

// Runs `argv` with its output thrown away; the wall time and the child's peak resident memory. A
// command that fails ends the benchmark.
Measure RunOnce(const Argv& argv);

double Median(std::vector<double> values);

// One listing's measurements: seconds[place][round], and the peak memory of one command.
struct Rounds {
    int side = 0;
    double megabytes = 0;
    std::vector<std::vector<double>> seconds;
    double peakMebibytes = 0;

    double MedianOf(std::size_t place) const { return Median(seconds[place]); }
    // The median over rounds of `combine` applied to two commands' times in the same round.
    double MedianPerRound(std::size_t first, std::size_t second, double (*combine)(double, double)) const;
    double MedianRatio(std::size_t first, std::size_t second) const {
        return MedianPerRound(first, second, [](double a, double b) { return a / b; });
    }
    double MedianDifference(std::size_t first, std::size_t second) const {
        return MedianPerRound(first, second, [](double a, double b) { return a - b; });
    }
};

// Runs `commands` in `runs` rounds into `rounds`, keeping the peak memory of the one at `peakOf`.
void MeasureRounds(const std::vector<Argv>& commands, int runs, std::size_t peakOf, Rounds& rounds);

// Writes the listing at `path` with `write` unless an earlier run did; false when it cannot.
bool EnsureListing(const std::string& path,
                   const std::function<std::optional<std::string>(const std::string&)>& write);

}  // namespace tessiloom::bench
