#include "cli/file_conversion.h"

#include <filesystem>

#include "cli/pov_include.h"
#include "conversion/messages.h"
#include "conversion/number_text.h"
#include "conversion/run.h"
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
    terrain.imageType = std::string(request.format->extension).substr(1);
    terrain.sourceName = std::filesystem::path(path).filename().string();
    terrain.low = outcome.low;
    terrain.high = outcome.high;
    terrain.grid = outcome.grid;
    terrain.corners = *outcome.corners;
    return terrain;
}

// Why the files this conversion would write must not be written: one would replace a listing the
// command names (its own among them), or the image another listing of the command wrote.
std::optional<std::string> CheckTargets(const std::string& path, const ConversionRequest& request,
                                        const RunOptions& options, const ConversionBatch& batch) {
    const std::optional<std::string> image = ImagePathFor(path, options);
    if (!image) return std::nullopt;  // the run tells why
    std::vector<std::pair<std::string, std::string>> targets{{"image", *image}};
    if (request.povInclude) targets.emplace_back("include", IncludePathFor(*image));
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

}  // namespace

std::unique_ptr<ListingReader> MakeListingReader(const ConversionRequest& request) {
    if (request.mesh) return std::make_unique<MeshListingReader>(request.meshRequest);
    ReadRequest read;
    read.rectangular = request.rectangular;
    read.corners = request.povInclude;
    return std::make_unique<GridListingReader>(read);
}

bool ConvertFile(const std::string& path, const ConversionRequest& request, ConversionBatch& batch,
                 std::ostream& log) {
    ConsoleHost host(path, request.preset, request.quiet, log);
    const std::unique_ptr<ListingReader> reader = MakeListingReader(request);
    RunOptions options;
    options.outputFolder = request.outputFolder;
    options.format = request.format;
    options.reader = reader.get();
    options.afterClipWarning = [&host](ClipSide side, const ClipTally& tally, double limit) {
        host.ShowMessage(ClipLine(side, tally, limit));
    };
    options.afterDecimalCommaWarning = [&host](std::int64_t heights) {
        host.ShowMessage(DecimalCommaLine(heights));
    };
    // The include is written in full before the image and put in place after it, so that one that
    // cannot be written (no corners to place it by, a read-only older include, a full disk) fails
    // the listing before a new image stands beside an older include.
    std::optional<AtomicFile> include;
    std::string includePath;
    if (request.povInclude) {
        options.beforeWriting = [&](const ConversionOutcome& sofar) -> std::optional<std::string> {
            includePath = IncludePathFor(sofar.outputPath);
            const PovTerrain terrain = TerrainOf(path, request, sofar);
            if (auto problem = CheckInclude(terrain)) return CouldNot("write", includePath, *problem);
            const std::string text = PovIncludeText(terrain);
            include.emplace(includePath);
            if (include->Write(text.data(), text.size())) return std::nullopt;
            return CouldNot("write", includePath, *include->Failure());
        };
    }
    if (auto problem = CheckTargets(path, request, options, batch)) {
        host.ShowMessage(*problem);
        return false;
    }
    const ConversionOutcome outcome = RunConversion(host, options);
    if (!outcome.converted) return false;
    batch.written.push_back({path, outcome.outputPath});
    if (!include) return true;
    include->Commit();
    if (include->Failure()) {
        host.ShowMessage(CouldNot("write", includePath, *include->Failure()));
        return false;
    }
    return true;
}

}  // namespace tessiloom
