#pragma once

#include <functional>
#include <optional>
#include <string>

#include "conversion/conversion_host.h"
#include "conversion/height_field.h"
#include "conversion/listing.h"

namespace tessiloom {

// The image's path: the source path with its last four characters, whatever they are, replaced
// by `extension` (".tga": "hill.asc" gives "hill.tga", "hill.ascii" gives "hill.a.tga"). Empty when
// the path has fewer than four characters.
std::optional<std::string> OutputPathFor(const std::string& sourcePath, const std::string& extension);

// The path of a file that goes beside the image at `imagePath`, written in `format`: `extension`
// (".inc", ".json") in place of the image's ("hill.tga" gives "hill.inc").
std::string CompanionPathFor(const std::string& imagePath, const ImageFormat& format,
                             std::string_view extension);

// The heights that map to 0 and to 65535, as typed.
struct PresetTexts {
    std::string min;
    std::string max;
};

struct HeightRange {
    double low = 0;   // the height that becomes 0
    double high = 0;  // the height that becomes 65535
    // Why no image can be scaled over it; completes "Could not convert '<source>': ".
    std::optional<std::string> failure;
};

// The range a conversion maps the heights over: the preset texts read by Val when given, else the
// listing's tracked lowest and highest. A range of no span, or one whose ends or span are not
// finite, fails.
HeightRange SettleRange(const std::optional<PresetTexts>& preset, const MeshHeights& mesh);

enum class ClipSide { kBelow, kAbove };

struct ConversionOutcome;

// What the command line asks of a run beyond the window's conversion.
struct RunOptions {
    // The folder the image goes into, under its usual name; empty: beside the source.
    std::string outputFolder;
    ReadRequest read;
    // How the listing is read; none: as a grid, as `read` asks.
    ListingReader* reader = nullptr;
    // Called once the listing is read and the range settled, before anything is written, with the
    // outcome so far; a message it returns is the run's failure, and nothing is written.
    std::function<std::optional<std::string>(const ConversionOutcome& sofar)> beforeWriting;
    // Called right after each clipping warning with what was clipped on that side and the limit
    // it was clipped to.
    std::function<void(ClipSide side, const ClipTally& tally, double limit)> afterClipWarning;
    // Called right after the warning that heights were read only up to a decimal comma, with how many.
    std::function<void(std::int64_t heights)> afterDecimalCommaWarning;
};

// Where a run writes the image of `sourcePath` in `format`: OutputPathFor, moved into `outputFolder`
// when one is given. Empty when the path is too short to name an image.
std::optional<std::string> ImagePathFor(const std::string& sourcePath, const ImageFormat& format,
                                        const std::string& outputFolder);

// Both names lead to one file: the same text, or a link or another spelling of it.
bool IsSameFile(const std::string& one, const std::string& other);

struct ConversionOutcome {
    bool converted = false;  // the image was written in full (warnings or not)
    std::string outputPath;
    GridSize grid;
    double low = 0;                       // the height that became 0
    double high = 0;                      // the height that became 65535
    std::optional<CornerPoints> corners;  // when the reading gives them
    HeightFieldWrite write;               // what the writer clipped
};

// Runs one conversion of the host's current source file into a height-field image in `format`
// (the window's is the Targa), beside it or in RunOptions::outputFolder, and reports every step and every
// failure through the host (the exact texts are in messages.h): the busy pointer is on for the whole run,
// events are delivered at exactly two points (after the "Reading" and the "Writing" status, when only the
// source file is open), and a failure is one message after which the run stops with no image written and an
// older image of that name untouched. Warnings follow the image. The source file is closed before the busy
// pointer goes off, on every path.
ConversionOutcome RunConversion(ConversionHost& host, const ImageFormat& format,
                                const RunOptions& options = {});

}  // namespace tessiloom
