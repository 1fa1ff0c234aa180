// libFuzzer target: arbitrary bytes as a listing, converted by a whole run in a folder of its own.
//
// Input: one flag byte (bit 0: use the preset range, bit 1: read the corners, bit 2: take
// rectangular grids, bit 3: let the second reading below dawdle, so that its vertex lines are
// shared out between two threads, the rest: a block size for the second reading), then, with the preset
// range, the minimum and maximum texts each ended by '|', then the listing itself. After every run it checks
// what a user could see or find on disk: the busy pointer on first and off last, and the folder holding the
// source and either nothing else (the run's last word was a message) or exactly one whole image (the run said
// "Finished writing: ..."). It then reads the listing again through tiny blocks, where line ends and block
// ends meet far more often than in the run's large ones: the same lines, the same failure or the same image.
// Any other outcome aborts, so libFuzzer keeps the input.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/line_source.h"
#include "conversion/listing.h"
#include "conversion/messages.h"
#include "conversion/recording_host.h"
#include "conversion/run.h"
#include "conversion/targa_writer.h"
#include "platform/test_files.h"

namespace tessiloom {
namespace {

constexpr std::uint8_t kUsePresetRanges = 1;
constexpr std::uint8_t kReadCorners = 2;
constexpr std::uint8_t kRectangular = 4;
constexpr std::uint8_t kDawdle = 8;
constexpr char kPresetEnd = '|';
constexpr std::size_t kLongestPresetText = 32;

void Require(bool holds, const char* what, const std::string& detail = "") {
    if (holds) return;
    std::fprintf(stderr, "run_fuzzer: %s %s\n", what, detail.c_str());
    std::abort();
}

// Removes everything the last run left in `folder`.
void Empty(const TemporaryFolder& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        std::filesystem::remove_all(entry.path());
}

// Takes the text up to the next '|' off the front of `input`; empty, taking nothing, when no '|'
// comes soon enough.
std::string TakePresetText(std::string_view& input) {
    const std::size_t end = input.substr(0, kLongestPresetText + 1).find(kPresetEnd);
    if (end == std::string_view::npos) return "";
    std::string text(input.substr(0, end));
    input.remove_prefix(end + 1);
    return text;
}

// Lines as plainly as they can be cut: CR LF, lone CR and lone LF each end one.
std::vector<std::string_view> ReferenceLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The run reads through 2 MiB blocks, which no fuzz input fills; tiny blocks cut the same bytes at
// every place a large file's block boundaries can fall.
void CheckLinesInSmallBlocks(std::string_view listing, std::size_t blockBytes) {
    StringByteSource bytes(listing);
    LineSource source(bytes, blockBytes);
    const std::vector<std::string_view> expected = ReferenceLines(listing);
    std::string_view line;
    std::size_t count = 0;
    while (source.NextLine(line)) {
        Require(count < expected.size() && line == expected[count], "line differs in small blocks, line",
                std::to_string(count));
        ++count;
    }
    Require(count == expected.size(), "lines missing in small blocks");
}

// Reads the listing again, from memory through tiny blocks, and writes its image to memory: the
// run must have told the same failure, or written the same bytes from the same range.
void CheckAgainstSmallBlocks(std::string_view listing, std::size_t blockBytes, bool dawdle,
                             const RecordingHost& host, const ReadRequest& request,
                             const ConversionOutcome& outcome, const std::string& image) {
    DawdlingByteSource bytes(listing, std::chrono::microseconds(dawdle ? 1 : 0));
    LineSource lines(bytes, blockBytes);
    const std::string& last = host.trace[host.trace.size() - 2];
    Listing read;
    if (auto message = ReadListingHeader(lines, host.sourcePath, request, read)) {
        Require(last == "message " + *message, "header read differently in small blocks:", *message);
        return;
    }
    if (auto message = ReadListingHeights(lines, host.sourcePath, request, read)) {
        Require(last == "message " + *message, "heights read differently in small blocks:", *message);
        return;
    }
    if (!outcome.converted) return;  // a range the run refused
    Require(host.usePresetRanges || (outcome.low == read.mesh.lowest && outcome.high == read.mesh.highest),
            "the automatic range differs in small blocks");
    MemorySink sink;
    StreamHeightField(sink, kTargaFormat, read.grid, read.mesh.heights, outcome.low, outcome.high);
    Require(sink.bytes == image, "the image differs when read in small blocks");
}

void CheckTrace(const Trace& trace) {
    Require(trace.size() >= 3, "trace too short");
    Require(trace.front() == "busy on" && trace.back() == "busy off",
            "busy pointer not on first and off last");
    int events = 0;
    for (std::size_t i = 1; i + 1 < trace.size(); ++i) {
        Require(trace[i] != "busy on" && trace[i] != "busy off", "busy pointer switched mid-run");
        if (trace[i] == "events") {
            ++events;
            Require(trace[i - 1].starts_with("status "), "events delivered without a status before them");
        }
    }
    Require(events <= 2, "events delivered more than twice");
}

void CheckImage(const std::string& image, GridSize grid) {
    const auto width = static_cast<std::size_t>(grid.columns);
    const auto height = static_cast<std::size_t>(grid.rows);
    Require(width >= 1 && height >= 1, "image has no pixels");
    Require(image.size() == kTargaHeaderBytes + kTargaPixelBytes * width * height,
            "image has the wrong size");
    const auto byte = [&](std::size_t at) { return std::size_t{static_cast<unsigned char>(image[at])}; };
    Require(byte(2) == 2 && byte(16) == 24 && byte(17) == 0x20, "image header is wrong");
    Require((byte(12) | byte(13) << 8) == width && (byte(14) | byte(15) << 8) == height,
            "image size fields are wrong");
    for (std::size_t at = kTargaHeaderBytes; at < image.size(); at += kTargaPixelBytes) {
        Require(byte(at) == 0, "a pixel's blue byte is not 0");
    }
}

}  // namespace
}  // namespace tessiloom

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessiloom;
    static const TemporaryFolder folder;  // one for the whole process, emptied after every input
    const std::string image = folder / "hill.tga";
    if (size == 0) return 0;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto flags = static_cast<std::uint8_t>(input.front());
    input.remove_prefix(1);

    RecordingHost host;
    host.sourcePath = folder / "hill.asc";
    host.usePresetRanges = (flags & kUsePresetRanges) != 0;
    if (host.usePresetRanges) {
        host.minPreset = TakePresetText(input);
        host.maxPreset = TakePresetText(input);
    }
    RunOptions options;
    options.read = {(flags & kRectangular) != 0, (flags & kReadCorners) != 0};
    const std::size_t smallBlock = 2 + (flags >> 4);
    CheckLinesInSmallBlocks(input, smallBlock);

    WriteFile(host.sourcePath, std::string(input));
    const ConversionOutcome outcome = RunConversion(host, options);

    CheckTrace(host.trace);
    const std::string& last = host.trace[host.trace.size() - 2];
    Require(ReadFile(host.sourcePath) == input, "the source was changed");
    std::string written;
    if (outcome.converted) {
        Require(last == "status " + std::string(kFinishedStatus) + image, "converted, but the last word is",
                last);
        Require(folder.Names() == std::vector<std::string>{"hill.asc", "hill.tga"},
                "converted, but the folder is wrong");
        written = ReadFile(image);
        CheckImage(written, outcome.grid);
    } else {
        Require(last.starts_with("message "), "failed, but the last word is not a message:", last);
        Require(folder.Names() == std::vector<std::string>{"hill.asc"}, "failed, but left a file behind");
    }
    CheckAgainstSmallBlocks(input, smallBlock, (flags & kDawdle) != 0, host, options.read, outcome, written);
    Empty(folder);
    return 0;
}
