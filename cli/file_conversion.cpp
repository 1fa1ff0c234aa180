#include "cli/file_conversion.h"

#include <filesystem>

#include "cli/pov_include.h"
#include "conversion/messages.h"
#include "conversion/number_text.h"
#include "conversion/run.h"
#include "formats/sidecar.h"
#include "platform/atomic_file.h"

namespace tessiloom {
namespace {

std::string DecimalCommaLine(std::int64_t heights) {
    return std::to_string(heights) + (heights == 1 ? " height was" : " heights were") +
           " read only up to a decimal comma; tessiloom-convert --mesh reads decimal commas as points.";
}

std::string ClipLine(ClipSide side, const ClipTally& tally, double limit) {
    const bool below = side == ClipSide::kBelow;
    const std::string heights = tally.count == 1 ? " height was" : " heights were";
    return std::to_string(tally.count) + heights + " clipped " +
           (below ? "below the minimum " : "above the maximum ") + NumberText(limit) + "; the " +
           (below ? "lowest" : "highest") + " was " + NumberText(tally.extreme) + ".";
}

// What the include describes: the image the run writes and the range and corners it read.
PovTerrain TerrainOf(const std::string& path, const ConversionRequest& request,
                     const ConversionOutcome& outcome) {
    const std::filesystem::path imagePath(outcome.outputPath);
    PovTerrain terrain;
    terrain.name = request.povName.empty() ? IdentifierFromStem(imagePath.stem().string()) : request.povName;
    terrain.imageName = imagePath.filename().string();
    terrain.imageType = std::string(request.format->name);
    terrain.sourceName = std::filesystem::path(path).filename().string();
    terrain.low = outcome.low;
    terrain.high = outcome.high;
    terrain.grid = outcome.grid;
    terrain.corners = *outcome.corners;
    if (request.mesh) terrain.meshGround = GroundAxisName(request.meshRequest.up);
    return terrain;
}

// A file written beside the image: the POV-Ray include or the sidecar.
struct Companion {
    const char* kind;
    std::string extension;
};

std::vector<Companion> CompanionsOf(const ConversionRequest& request) {
    std::vector<Companion> companions;
    if (request.povInclude) companions.push_back({"include", ".inc"});
    if (request.sidecar) companions.push_back({"sidecar", ".json"});
    return companions;
}

// The text of a companion of the image the run is about to write.
std::optional<std::string> CompanionText(const Companion& companion, const std::string& path,
                                         const ConversionRequest& request, const ConversionOutcome& sofar,
                                         std::string& text) {
    if (companion.extension == ".inc") {
        const PovTerrain terrain = TerrainOf(path, request, sofar);
        if (auto problem = CheckInclude(terrain)) return problem;
        text = PovIncludeText(terrain);
        return std::nullopt;
    }
    if (auto problem = CheckPlacement(*sofar.corners, sofar.grid.columns)) return problem;
    const HeightImage image{sofar.grid, sofar.low, sofar.high, PlacementOf(*sofar.corners), {}, {}};
    text = SidecarText(std::filesystem::path(sofar.outputPath).filename().string(), *request.format, image);
    return std::nullopt;
}

// Why the files this conversion would write must not be written: one would replace a listing the
// command names (its own among them), or the image another listing of the command wrote.
std::optional<std::string> CheckTargets(const std::string& path, const ConversionRequest& request,
                                        const ConversionBatch& batch) {
    const std::optional<std::string> image = ImagePathFor(path, *request.format, request.outputFolder);
    if (!image) return std::nullopt;  // the run tells why
    std::vector<std::pair<std::string, std::string>> targets{{"image", *image}};
    for (const Companion& companion : CompanionsOf(request))
        targets.emplace_back(companion.kind, CompanionPathFor(*image, *request.format, companion.extension));
    for (const auto& [kind, target] : targets) {
        for (const std::string& listing : batch.listings) {
            std::error_code missing;  // a listing that is not there is not written over
            if (!std::filesystem::exists(listing, missing) || !IsSameFile(listing, target)) continue;
            const std::string over =
                IsSameFile(listing, path) ? "the source itself" : "the listing '" + listing + "'";
            return CouldNot("convert", path, WrittenOver(kind, target, over));
        }
    }
    for (const WrittenImage& earlier : batch.written) {
        if (IsSameFile(earlier.image, *image) && !IsSameFile(earlier.source, path)) {
            return CouldNot("convert", path,
                            "its image '" + *image + "' would replace the image just written from '" +
                                earlier.source + "'");
        }
    }
    return std::nullopt;
}

// The companions, written in full before the image and put in place after it, so that one that
// cannot be written (no corners to place it by, a read-only older file, a full disk) fails the
// listing before a new image stands beside an older companion.
class CompanionFiles {
  public:
    CompanionFiles(const std::string& path, const ConversionRequest& request)
        : path_(path), request_(request) {}

    // Before the image: whether an image that says where its pixels lie can say it, and each
    // companion written aside.
    std::optional<std::string> Prepare(const ConversionOutcome& sofar) {
        if (request_.format->needsPlacement) {
            if (auto problem = CheckPlacement(*sofar.corners, sofar.grid.columns))
                return CouldNot("write", sofar.outputPath, *problem);
        }
        for (const Companion& companion : CompanionsOf(request_)) {
            const std::string target =
                CompanionPathFor(sofar.outputPath, *request_.format, companion.extension);
            std::string text;
            if (auto problem = CompanionText(companion, path_, request_, sofar, text))
                return CouldNot("write", target, *problem);
            AtomicFile& file =
                files_.emplace_back(target, std::make_unique<AtomicFile>(target)).second.operator*();
            if (!file.Write(text.data(), text.size())) return CouldNot("write", target, *file.Failure());
        }
        return std::nullopt;
    }

    // After the image: each companion put in place; the message for the first that fails.
    std::optional<std::string> Commit() {
        for (auto& [target, file] : files_) {
            file->Commit();
            if (file->Failure()) return CouldNot("write", target, *file->Failure());
        }
        return std::nullopt;
    }

  private:
    const std::string& path_;
    const ConversionRequest& request_;
    std::vector<std::pair<std::string, std::unique_ptr<AtomicFile>>> files_;
};

}  // namespace

std::unique_ptr<ListingReader> MakeListingReader(const ConversionRequest& request) {
    if (request.mesh) return std::make_unique<MeshListingReader>(request.meshRequest);
    ReadRequest read;
    read.rectangular = request.rectangular;
    read.corners = request.povInclude || request.sidecar || request.format->needsPlacement;
    return std::make_unique<GridListingReader>(read);
}

bool ConvertFile(const std::string& path, const ConversionRequest& request, ConversionBatch& batch,
                 std::ostream& log) {
    ConsoleHost host(path, request.preset, request.quiet, log);
    if (auto problem = CheckTargets(path, request, batch)) {
        host.ShowMessage(*problem);
        return false;
    }
    const std::unique_ptr<ListingReader> reader = MakeListingReader(request);
    CompanionFiles companions(path, request);
    RunOptions options;
    options.outputFolder = request.outputFolder;
    options.reader = reader.get();
    options.afterClipWarning = [&host](ClipSide side, const ClipTally& tally, double limit) {
        host.ShowMessage(ClipLine(side, tally, limit));
    };
    options.afterDecimalCommaWarning = [&host](std::int64_t heights) {
        host.ShowMessage(DecimalCommaLine(heights));
    };
    options.beforeWriting = [&](const ConversionOutcome& sofar) { return companions.Prepare(sofar); };
    const ConversionOutcome outcome = RunConversion(host, *request.format, options);
    if (!outcome.converted) return false;
    batch.written.push_back({path, outcome.outputPath});
    if (auto problem = companions.Commit()) {
        host.ShowMessage(*problem);
        return false;
    }
    return true;
}

}  // namespace tessiloom
