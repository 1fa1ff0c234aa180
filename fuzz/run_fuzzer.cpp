// libFuzzer target: arbitrary bytes as a listing, converted by a whole run in a folder of its own.
//
// Input: one flag byte (bit 0: use the preset range, bit 1: read the corners, bit 2: take
// rectangular grids, bit 3: let the second reading below dawdle, so that its lines are shared out
// between two threads, bit 4: read the whole mesh, bit 5: with it, Y up, the rest: a block size for
// the second reading), then, with the preset
// range, the minimum and maximum texts each ended by '|', then the listing itself. After every run it checks
// what a user could see or find on disk: the busy pointer on first and off last, and the folder holding the
// source and either nothing else (the run's last word was a message) or exactly one whole image (the run said
// "Finished writing: ...", its size that of the grid). It then reads the listing again on one thread
// alone, the oracle every reading in stretches must agree with, and in stretches through tiny blocks,
// where line ends and block ends meet far more often than in the run's 2 MiB ones, which no fuzz
// input fills, a whole mesh read as a lattice first, its faces not kept: each must come to the same
// failure or the same image. A whole mesh's vertex and face lines are also read each in the layout
// the last left and each alone, which must read the same. Any other outcome aborts, naming
// the check, so libFuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "conversion/line_source.h"
#include "conversion/listing.h"
#include "conversion/messages.h"
#include "conversion/recording_host.h"
#include "conversion/run.h"
#include "formats/targa.h"
#include "mesh/mesh_listing.h"
#include "mesh/test_lines.h"
#include "platform/test_files.h"

#define REQUIRE(holds) \
    ((holds) ? void() : (std::fprintf(stderr, "run_fuzzer: line %d: %s\n", __LINE__, #holds), std::abort()))

namespace tessiloom {
namespace {

enum Flags : std::uint8_t {
    kUsePresetRanges = 1,
    kReadCorners = 2,
    kRectangular = 4,
    kDawdle = 8,
    kMesh = 16,
    kYUp = 32
};

// How the flags ask the listing to be read, with its lines read as `lines` says, and a whole mesh
// read as a lattice first from `latticeFirstBytes` on.
std::unique_ptr<ListingReader> ReaderFor(std::uint8_t flags, const LinesReading& lines,
                                         std::uint64_t latticeFirstBytes = kLatticeFirstBytes) {
    if ((flags & kMesh) != 0) {
        return std::make_unique<MeshListingReader>(MeshRequest{(flags & kYUp) != 0 ? UpAxis::kY : UpAxis::kZ,
                                                               std::nullopt, lines, latticeFirstBytes});
    }
    ReadRequest read;
    read.rectangular = (flags & kRectangular) != 0;
    read.corners = (flags & kReadCorners) != 0;
    read.lines = lines;
    return std::make_unique<GridListingReader>(read);
}

// Takes the text up to the next '|' off the front of `input`; empty, taking nothing, when no '|'
// comes within 33 bytes.
std::string TakePresetText(std::string_view& input) {
    const std::size_t end = input.substr(0, 33).find('|');
    if (end == std::string_view::npos) return "";
    std::string text(input.substr(0, end));
    input.remove_prefix(end + 1);
    return text;
}

void CheckTrace(const Trace& trace) {
    REQUIRE(trace.size() >= 3 && trace.front() == "busy on" && trace.back() == "busy off");
    int events = 0;
    for (std::size_t i = 1; i + 1 < trace.size(); ++i) {
        REQUIRE(trace[i] != "busy on" && trace[i] != "busy off");
        if (trace[i] == "events") REQUIRE(++events <= 2 && trace[i - 1].starts_with("status "));
    }
}

struct ReadAgainOutcome {
    std::optional<std::string> message;  // why it failed
    std::string image;                   // else the image, when the run wrote one
};

// Reads `bytes` as the run read its listing, with `reader`, and writes the image over the run's range.
ReadAgainOutcome ReadAgain(const ByteSource& bytes, const std::string& path, ListingReader& reader,
                           const ConversionOutcome& run, bool preset) {
    Listing read;
    ReadAgainOutcome again;
    again.message = reader.ReadHead(bytes, path, read);
    if (!again.message) again.message = reader.ReadBody(bytes, path, read);
    if (again.message || !run.converted) return again;
    REQUIRE(preset || (run.low == read.mesh.lowest && run.high == read.mesh.highest));
    MemorySink sink;
    StreamHeightField(sink, kTargaFormat, read.grid, read.mesh.heights, run.low, run.high);
    again.image = std::move(sink.bytes);
    return again;
}

}  // namespace
}  // namespace tessiloom

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessiloom;
    static const TemporaryFolder folder;  // one for the whole process, emptied after every input
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    RecordingHost host(folder / "hill.asc", (flags & kUsePresetRanges) != 0);
    if (host.usePresetRanges) {
        host.minPreset = TakePresetText(input);
        host.maxPreset = TakePresetText(input);
    }
    const std::unique_ptr<ListingReader> reader = ReaderFor(flags, {});
    RunOptions options;
    options.reader = reader.get();

    WriteFile(host.sourcePath, std::string(input));
    const ConversionOutcome outcome = RunConversion(host, kTargaFormat, options);
    CheckTrace(host.trace);
    const std::string& last = host.trace[host.trace.size() - 2];
    const std::string image = folder / "hill.tga";
    REQUIRE(ReadFile(host.sourcePath) == input);
    std::string written;
    if (outcome.converted) {
        REQUIRE(last == "status " + std::string(kFinishedStatus) + image);
        REQUIRE(folder.Names() == std::vector<std::string>({"hill.asc", "hill.tga"}));
        written = ReadFile(image);
        REQUIRE(written.size() == kTargaHeaderBytes + kTargaPixelBytes *
                                                          static_cast<std::size_t>(outcome.grid.columns) *
                                                          static_cast<std::size_t>(outcome.grid.rows));
    } else {
        REQUIRE(last.starts_with("message ") && folder.Names() == std::vector<std::string>{"hill.asc"});
    }

    // Read again from memory, on one thread and in stretches through tiny blocks, dawdling when
    // asked, and seen in place for every other size of block: the run must have told the same
    // failure, or written the same bytes from the same range.
    const DawdlingByteSource bytes(
        input, {.pause = std::chrono::microseconds((flags & kDawdle) != 0), .inPlace = (flags & 64) != 0});
    for (const bool oneThread : {true, false}) {
        const auto again = ReadAgain(bytes, host.sourcePath,
                                     *ReaderFor(flags, {oneThread, 2 + std::size_t{flags} / 64u * 5},
                                                oneThread ? kLatticeFirstBytes : 0),
                                     outcome, host.usePresetRanges);
        if (again.message) {
            REQUIRE(last == "message " + *again.message);
        } else if (outcome.converted) {  // otherwise the run refused the range
            REQUIRE(again.image == written);
        }
    }
    if ((flags & kMesh) != 0) REQUIRE(LinesReadOneByOne(input, false) == LinesReadOneByOne(input, true));
    std::filesystem::remove(image);
    return 0;
}
