#include "conversion/run.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "conversion/line_source.h"
#include "conversion/number_text.h"
#include "conversion/reader.h"
#include "conversion/source_file.h"
#include "conversion/val.h"

namespace tessiloom {
namespace {

constexpr std::size_t kReplacedCharacters = 4;

// The busy pointer for the lifetime of a run, however the run ends.
class BusyPointer {
public:
    explicit BusyPointer(ConversionHost& host) : host_(host) { host_.SetBusyPointer(true); }
    ~BusyPointer() { host_.SetBusyPointer(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    ConversionHost& host_;
};

bool IsUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Both names lead to one file: the same text, or a link or another spelling of the same file.
bool IsSameFile(const std::string& sourcePath, const std::string& outputPath) {
    std::error_code ignored;
    return sourcePath == outputPath || std::filesystem::equivalent(sourcePath, outputPath, ignored);
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

struct HeightRange {
    double low = 0;
    double high = 0;
    std::optional<std::string> failure;  // completes "Could not convert '<source>': "
};

HeightRange PresetRange(ConversionHost& host) {
    const std::string minText = host.MinPresetText();
    const std::string maxText = host.MaxPresetText();
    HeightRange range{Val(minText), Val(maxText), std::nullopt};
    if (!std::isfinite(range.low)) {
        range.failure = "the preset minimum " + Quoted(minText) + " is not a finite number";
    } else if (!std::isfinite(range.high)) {
        range.failure = "the preset maximum " + Quoted(maxText) + " is not a finite number";
    } else if (range.high - range.low == 0) {
        range.failure = "the preset minimum and maximum are both " + NumberText(range.low) +
                        ", which leaves no range to scale the heights over";
    }
    return range;
}

HeightRange SettleRange(ConversionHost& host, const MeshHeights& mesh) {
    HeightRange range;
    if (host.UsePresetRanges()) {
        range = PresetRange(host);
    } else {
        range = HeightRange{mesh.lowest, mesh.highest, std::nullopt};
        if (range.high - range.low == 0) {
            range.failure = "every height is " + NumberText(range.low) +
                            ", which leaves no range to scale the heights over; use a preset height range";
        }
    }
    if (!range.failure && !std::isfinite(range.high - range.low)) {
        range.failure = "the height range from " + NumberText(range.low) + " to " + NumberText(range.high) +
                        " is too wide to scale";
    }
    return range;
}

}  // namespace

std::optional<std::string> OutputPathFor(const std::string& sourcePath) {
    // Characters, not bytes: a UTF-8 character is stepped over whole.
    std::size_t end = sourcePath.size();
    for (std::size_t removed = 0; removed < kReplacedCharacters; ++removed) {
        if (end == 0) return std::nullopt;
        --end;
        while (end > 0 && IsUtf8Continuation(sourcePath[end])) --end;
    }
    return sourcePath.substr(0, end) + ".tga";
}

ConversionOutcome RunConversion(ConversionHost& host) {
    BusyPointer busy(host);
    ConversionOutcome outcome;
    const std::string sourcePath = host.SourcePathText();
    const auto couldNot = [&](const char* verb, const std::string& problem) {
        host.ShowMessage("Could not " + std::string(verb) + " " + Quoted(sourcePath) + ": " + problem + ".");
        return outcome;
    };
    if (sourcePath.empty()) {
        host.ShowMessage("There is no source file to convert: the source path is empty.");
        return outcome;
    }

    SourceFile file(sourcePath);  // declared after `busy`: closed before the pointer returns
    if (file.OpenFailure()) return couldNot("open", *file.OpenFailure());
    const std::optional<std::string> outputPath = OutputPathFor(sourcePath);
    if (!outputPath) return couldNot("convert", "a source path needs at least four characters to name the image");
    if (IsSameFile(sourcePath, *outputPath)) {
        return couldNot("convert", "its image " + Quoted(*outputPath) + " would be written over the source itself");
    }
    outcome.outputPath = *outputPath;

    LineSource lines(file);
    const HeaderRead header = ReadHeaderCounts(lines);
    if (header.failure) return couldNot("read", *header.failure);
    const GridShape grid = IsSquareGrid(header.counts.vertexCount, header.counts.faceCount);
    if (!grid.square) {
        host.ShowMessage(kNotSquareMessage);
        return outcome;
    }
    if (grid.side > kLargestTargaSide) {
        const std::string side = NumberText(grid.side);
        return couldNot("convert", "its grid of " + side + " x " + side + " vertices is larger than the " +
                                       std::to_string(kLargestTargaSide) + " x " +
                                       std::to_string(kLargestTargaSide) + " a height-field image can hold");
    }
    if (auto failure = SkipToVertexList(lines)) return couldNot("read", *failure);

    host.ShowStatus(kReadingStatus);
    host.DoEvents();
    const VertexHeights vertices = ReadVertexHeights(lines, header.counts.vertexCount);
    if (vertices.unreadableVertex) {
        host.ShowMessage(kUnreadableVertexMessage + std::to_string(*vertices.unreadableVertex));
        return outcome;
    }
    if (vertices.failure) return couldNot("read", *vertices.failure);

    const HeightRange range = SettleRange(host, vertices.mesh);
    if (range.failure) return couldNot("convert", *range.failure);

    host.ShowStatus(kWritingStatus);
    host.DoEvents();
    outcome.write = WriteHeightField(*outputPath, grid.side, vertices.mesh.heights, range.low, range.high);
    if (outcome.write.failure) {
        host.ShowMessage("Could not write " + Quoted(*outputPath) + ": " + *outcome.write.failure + ".");
        return outcome;
    }
    if (outcome.write.clippedLow) host.ShowMessage(kClippedLowWarning);
    if (outcome.write.clippedHigh) host.ShowMessage(kClippedHighWarning);
    host.ShowStatus(kFinishedStatus + *outputPath);
    outcome.converted = true;
    return outcome;
}

}  // namespace tessiloom
