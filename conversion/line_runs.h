#pragma once

#include <concepts>
#include <cstdint>
#include <limits>

#include "conversion/line_source.h"

// A run of lines read on one thread: what a reader of some kind of line (vertex lines, say) gives
// the parallel reading of stretch_reading.h, which cuts the lines into stretches, has each read as a
// run on one thread or the other, and joins the runs in listing order. The reader says what the
// lines mean; the parallel reading knows nothing of that.
namespace tessiloom {

// How reading a run stopped.
enum class RunEnd {
    kPaused,      // it read the lines it was allowed; it wants more
    kLinesEnded,  // the lines ran out (at the end of the stretch, of the input, or at a failure)
    kFinished,    // it wants no more lines: it has all it wants, or a line decided the outcome
};

template <typename Reader>
concept RunReader = requires(const Reader& reader, LineSource& lines, typename Reader::Run& run,
                             typename Reader::Run&& next, std::int64_t mostLines, std::uint64_t position,
                             double lineBytes) {
    // Reads at most `mostLines` more lines into `run`. A default-made Run is one whose place in the
    // listing is not known; the first run is made by the caller, and may know more.
    { reader.Read(lines, run, mostLines) } -> std::same_as<RunEnd>;
    // Appends `next`, read from where `run` ran out of lines, to `run`, which then ends as one run
    // of both would have: how.
    { reader.Join(run, std::move(next)) } -> std::same_as<RunEnd>;
    // Where the lines the first run still wants end, about, given where it stands and how many
    // bytes its lines have taken: how much work is left to share.
    { reader.EndOfLines(run, position, lineBytes) } -> std::same_as<std::uint64_t>;
    // Whether the first run must go on alone for now, for something only it can note.
    { reader.ReadsAlone(run) } -> std::same_as<bool>;
};

// Reads `run` from `lines` on this thread alone, as far as it goes: the outcome every reading in
// stretches must equal.
template <RunReader Reader>
RunEnd ReadOnOneThread(const Reader& reader, LineSource& lines, typename Reader::Run& run) {
    return reader.Read(lines, run, std::numeric_limits<std::int64_t>::max());
}

}  // namespace tessiloom
