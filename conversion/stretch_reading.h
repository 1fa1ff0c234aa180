#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "conversion/line_runs.h"
#include "conversion/stretch.h"
#include "platform/thread.h"

// Reading lines on two threads. Once the first lines, read alone, have shown how long a line is, a
// second thread splits the lines this thread has not read yet in two at a line start, and reads the
// second half while this thread reads the first. Whichever is done first splits what is left of the
// other's stretch in turn, until little is left: the machine may run one thread far slower than the
// other. The second thread starts before that and waits on the processor rather than in the system,
// since a processor woken from idle can take milliseconds to run a new thread. Each thread reads its
// stretches from the source itself, so that neither waits on the other until both are done. Every
// stretch is read as a run by the same one-thread reader, and the runs are joined in listing order:
// the outcome is that of reading every line in turn on one thread.
namespace tessiloom {

namespace stretch_reading_detail {

// The first lines are read alone, this many at a time, until they fill this many bytes (or a block,
// if that is less): enough to tell how long a line is, and so where the lines end. The second
// thread then splits what lies past the first block, which is read already.
constexpr std::int64_t kAloneLines = 64;
constexpr std::uint64_t kAloneBytes = std::uint64_t{1} << 16;
// Fewer bytes than this many blocks left to share: another thread would cost more than it saves.
constexpr std::uint64_t kBlocksWorthAThread = 2;
// Lines are rarely shorter: when the lines left would not fill the blocks worth a thread at this
// length, no thread is started.
constexpr double kShortLineBytes = 16;
// A run split off reads this many lines between looks at whether its lines are still wanted.
constexpr std::int64_t kLinesBetweenLooks = std::int64_t{1} << 14;

// A run read from a stretch split off, and whether its lines ran on to the stretch's end, where
// the next stretch begins.
template <typename Run>
struct SplitRun {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    bool reachedEnd = false;
    Run run;
};

// Whether the lines of a run ran on to `end`, where the next stretch begins.
inline bool RanOnTo(RunEnd end, const LineSource& lines, std::uint64_t stretchEnd) {
    return end == RunEnd::kLinesEnded && !lines.Failure() && lines.Position() == stretchEnd;
}

// The runs of the stretches both threads split off.
template <RunReader Reader>
class SplitRuns {
  public:
    using Run = typename Reader::Run;

    SplitRuns(const Reader& reader, StretchSplitter& splitter) : reader_(reader), splitter_(splitter) {
        runs_.reserve(StretchSplitter::kMostSplits);  // no allocation, and so no failure, once a run is read
    }

    // Has thread `self` read what it splits off the other's stretches, into `block`, until too
    // little is left; `linesEnd` is about where the lines end, and `stop` says they are not wanted.
    void Read(int self, LineBlock& block, std::uint64_t linesEnd, const std::atomic<bool>& stop) {
        while (Stretch* stretch = splitter_.SplitOff(self, linesEnd)) {
            SplitRun<Run> split;
            split.start = stretch->Start();
            LineSource lines(*stretch, split.start, block);
            RunEnd end;
            do {
                end = reader_.Read(lines, split.run, kLinesBetweenLooks);
            } while (end == RunEnd::kPaused && !stop.load(std::memory_order_relaxed));
            split.end = stretch->Close();
            split.reachedEnd = RanOnTo(end, lines, split.end);
            // A source that fails, or memory that runs out, would only fail again.
            const bool failed = lines.Failure().has_value();
            const std::lock_guard lock(mutex_);
            runs_.push_back(std::move(split));
            if (failed) return;
        }
    }

    // Once both threads are done: appends to `first`, which ran on to `firstEnd`, the runs that
    // follow it in listing order, each as far as the one before it ran on. How `first` then ends.
    RunEnd JoinInOrder(Run& first, std::uint64_t firstEnd) {
        std::ranges::sort(runs_, {}, &SplitRun<Run>::start);
        RunEnd end = RunEnd::kLinesEnded;
        for (SplitRun<Run>& next : runs_) {
            if (next.start != firstEnd) break;
            end = reader_.Join(first, std::move(next.run));
            if (end != RunEnd::kLinesEnded || !next.reachedEnd) break;
            firstEnd = next.end;
        }
        return end;
    }

  private:
    const Reader& reader_;
    StretchSplitter& splitter_;
    std::mutex mutex_;
    std::vector<SplitRun<Run>> runs_;
};

// The second thread, which waits for Begin() and then reads what it splits off the first's
// stretches. While it waits, it faults in the fresh memory of its block where the lines are copied
// into one, which would otherwise cost it time once the lines are shared out.
template <RunReader Reader>
class SecondThread {
  public:
    SecondThread(SplitRuns<Reader>& runs, std::size_t blockBytes, bool copied, const std::atomic<bool>& stop)
        : thread_(StartThread([&runs, &stop, blockBytes, copied, this](std::stop_token token) {
              LineBlock block(blockBytes);
              if (copied && !block.Hold()) return;  // the first thread then reads every line
              std::uint64_t linesEnd;
              while ((linesEnd = linesEnd_.load(std::memory_order_acquire)) == kNotYet) {
                  if (token.stop_requested()) return;
                  std::this_thread::yield();
              }
              runs.Read(1, block, linesEnd, stop);
          })) {}

    // Lets the thread split the first's lines, which end at about `linesEnd`; 0: there is nothing
    // to split.
    void Begin(std::uint64_t linesEnd) { linesEnd_.store(linesEnd, std::memory_order_release); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

  private:
    static constexpr std::uint64_t kNotYet = Stretch::kNoEnd;

    std::atomic<std::uint64_t> linesEnd_ = kNotYet;
    std::jthread thread_;  // last: it starts once the rest is in place and is joined before it goes
};

// Reads the first run alone until its lines show how long a line is, and for as long as the reader
// asks. Where the lines end, about, when some are left to share; 0 when none are.
template <RunReader Reader>
std::uint64_t ReadAlone(const Reader& reader, LineSource& lines, std::uint64_t begin, std::size_t blockBytes,
                        typename Reader::Run& first, RunEnd& end) {
    std::int64_t read = 0;
    do {
        end = reader.Read(lines, first, kAloneLines);
        read += kAloneLines;
    } while (end == RunEnd::kPaused &&
             (lines.Position() - begin < std::min<std::uint64_t>(blockBytes, kAloneBytes) ||
              reader.ReadsAlone(first)));
    if (end != RunEnd::kPaused) return 0;
    const double lineBytes = static_cast<double>(lines.Position() - begin) / static_cast<double>(read);
    return reader.EndOfLines(first, lines.Position(), lineBytes);
}

}  // namespace stretch_reading_detail

// Reads the lines of `bytes` from `begin` on into `first`, in blocks of `blockBytes`, on two
// threads when there are lines enough to share: how `first` ends, exactly as ReadOnOneThread would
// have it end over the same lines.
template <RunReader Reader>
RunEnd ReadInStretches(const ByteSource& bytes, std::uint64_t begin, const Reader& reader,
                       typename Reader::Run& first, std::size_t blockBytes = LineBlock::kDefaultBytes) {
    using namespace stretch_reading_detail;
    Stretch firstStretch(bytes, begin);
    StretchSplitter splitter(bytes, firstStretch, kBlocksWorthAThread * blockBytes);
    SplitRuns<Reader> runs(reader, splitter);
    std::atomic<bool> stop = false;  // the lines split off are not wanted
    std::optional<SecondThread<Reader>> second;
    if (reader.EndOfLines(first, begin, kShortLineBytes) - begin >= kBlocksWorthAThread * blockBytes)
        second.emplace(runs, blockBytes, !bytes.ViewAt(begin, 0).bytes, stop);

    LineBlock block(blockBytes);
    RunEnd end;
    std::uint64_t linesEnd;
    bool reachedEnd;
    {
        LineSource lines(firstStretch, begin, block);
        linesEnd = ReadAlone(reader, lines, begin, blockBytes, first, end);
        if (second) second->Begin(linesEnd);
        if (end == RunEnd::kPaused) end = ReadOnOneThread(reader, lines, first);
        if (!second) return end;
        reachedEnd = RanOnTo(end, lines, firstStretch.Close());
    }
    // Only a first run that ran on to the end of its stretch leaves lines to others; else it decided.
    if (reachedEnd) {
        runs.Read(0, block, linesEnd, stop);
    } else {
        stop = true;
    }
    second->Join();
    return reachedEnd ? runs.JoinInOrder(first, firstStretch.Close()) : end;
}

}  // namespace tessiloom
