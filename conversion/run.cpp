#include "conversion/run.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "conversion/line_source.h"
#include "conversion/listing.h"
#include "conversion/messages.h"
#include "conversion/number_text.h"
#include "conversion/val.h"
#include "platform/source_file.h"
#include "platform/utf8.h"

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

HeightRange PresetRange(const PresetTexts& preset) {
    HeightRange range{Val(preset.min), Val(preset.max), std::nullopt};
    if (!std::isfinite(range.low)) {
        range.failure = "the preset minimum '" + preset.min + "' is not a finite number";
    } else if (!std::isfinite(range.high)) {
        range.failure = "the preset maximum '" + preset.max + "' is not a finite number";
    } else if (range.high - range.low == 0) {
        range.failure = "the preset minimum and maximum are both " + NumberText(range.low) +
                        ", which leaves no range to scale the heights over";
    }
    return range;
}

}  // namespace

HeightRange SettleRange(const std::optional<PresetTexts>& preset, const MeshHeights& mesh) {
    HeightRange range;
    if (preset) {
        range = PresetRange(*preset);
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

std::optional<std::string> OutputPathFor(const std::string& sourcePath, const std::string& extension) {
    // Characters, not bytes: a UTF-8 character is stepped over whole.
    std::size_t end = sourcePath.size();
    for (std::size_t removed = 0; removed < kReplacedCharacters; ++removed) {
        if (end == 0) return std::nullopt;
        end = Utf8CharacterStart(sourcePath, end - 1);
    }
    return sourcePath.substr(0, end) + extension;
}

std::string CompanionPathFor(const std::string& imagePath, const ImageFormat& format,
                             std::string_view extension) {
    return imagePath.substr(0, imagePath.size() - format.extension.size()) + std::string(extension);
}

std::optional<std::string> ImagePathFor(const std::string& sourcePath, const ImageFormat& format,
                                        const std::string& outputFolder) {
    std::optional<std::string> path = OutputPathFor(sourcePath, std::string(format.extension));
    if (path && !outputFolder.empty())
        path = (std::filesystem::path(outputFolder) / std::filesystem::path(*path).filename()).string();
    return path;
}

bool IsSameFile(const std::string& one, const std::string& other) {
    std::error_code ignored;
    return one == other || std::filesystem::equivalent(one, other, ignored);
}

namespace {

// The warnings that follow the image, each followed by what the options add to it.
void TellWarnings(ConversionHost& host, const RunOptions& options, const ConversionOutcome& outcome,
                  const Listing& listing) {
    if (outcome.write.below.count > 0) {
        host.ShowMessage(kClippedLowWarning);
        if (options.afterClipWarning)
            options.afterClipWarning(ClipSide::kBelow, outcome.write.below, outcome.low);
    }
    if (outcome.write.above.count > 0) {
        host.ShowMessage(kClippedHighWarning);
        if (options.afterClipWarning)
            options.afterClipWarning(ClipSide::kAbove, outcome.write.above, outcome.high);
    }
    if (listing.decimalCommaHeights > 0) {
        host.ShowMessage(kDecimalCommaWarning);
        if (options.afterDecimalCommaWarning) options.afterDecimalCommaWarning(listing.decimalCommaHeights);
    }
    for (const std::string& warning : listing.warnings) host.ShowMessage(warning);
}

ConversionOutcome RunSteps(ConversionHost& host, const ImageFormat& format, const RunOptions& options) {
    ConversionOutcome outcome;
    const std::string sourcePath = host.SourcePathText();
    const auto fail = [&](const std::string& message) {
        host.ShowMessage(message);
        return outcome;
    };
    const SourceFile file(sourcePath);
    if (auto message = ListingOpenFailure(sourcePath, file)) return fail(*message);
    const std::optional<std::string> outputPath = ImagePathFor(sourcePath, format, options.outputFolder);
    if (!outputPath) {
        return fail(CouldNot("convert", sourcePath,
                             "a source path needs at least four characters to name the image"));
    }
    if (IsSameFile(sourcePath, *outputPath)) {
        return fail(CouldNot("convert", sourcePath, WrittenOver("image", *outputPath, "the source itself")));
    }
    outcome.outputPath = *outputPath;

    GridListingReader gridReader(options.read);
    ListingReader& reader = options.reader ? *options.reader : gridReader;
    Listing listing;
    if (auto message = StepFailure(file, sourcePath, reader.ReadHead(file, sourcePath, listing)))
        return fail(*message);
    host.ShowStatus(kReadingStatus);
    host.DoEvents();
    if (auto message = StepFailure(file, sourcePath, reader.ReadBody(file, sourcePath, listing)))
        return fail(*message);
    // The listing is read: the memory it was seen in goes before the image's comes.
    file.Release(0, file.Size(), false);
    outcome.grid = listing.grid;
    outcome.corners = listing.corners;

    std::optional<PresetTexts> preset;
    if (host.UsePresetRanges()) preset = PresetTexts{host.MinPresetText(), host.MaxPresetText()};
    const HeightRange range = SettleRange(preset, listing.mesh);
    if (range.failure) return fail(CouldNot("convert", sourcePath, *range.failure));
    outcome.low = range.low;
    outcome.high = range.high;
    if (options.beforeWriting) {
        if (auto message = options.beforeWriting(outcome)) return fail(*message);
    }

    host.ShowStatus(kWritingStatus);
    host.DoEvents();
    std::optional<ImagePlacement> placement;
    if (listing.corners) placement = PlacementOf(*listing.corners);
    outcome.write = WriteHeightField(*outputPath, format, outcome.grid, listing.mesh.heights, range.low,
                                     range.high, placement);
    if (outcome.write.failure) return fail(CouldNot("write", *outputPath, *outcome.write.failure));
    TellWarnings(host, options, outcome, listing);
    host.ShowStatus(kFinishedStatus + *outputPath);
    outcome.converted = true;
    return outcome;
}

}  // namespace

ConversionOutcome RunConversion(ConversionHost& host, const ImageFormat& format, const RunOptions& options) {
    const BusyPointer busy(host);  // the source file is closed before the pointer returns
    return RunSteps(host, format, options);
}

}  // namespace tessiloom
