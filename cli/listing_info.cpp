#include "cli/listing_info.h"

#include <algorithm>
#include <iomanip>

#include "conversion/listing.h"
#include "conversion/number_text.h"
#include "conversion/targa_writer.h"
#include "conversion/val.h"

namespace tessiloom {
namespace {

constexpr int kLabelWidth = 18;

// Takes the image's bytes and forgets them: only the writer's clip tallies are wanted.
class DiscardingSink final : public ByteSink {
  public:
    bool Write(const char*, std::size_t) override { return true; }
};

void Row(std::ostream& out, const std::string& label, const std::string& value) {
    out << "  " << std::left << std::setw(kLabelWidth) << label << value << '\n';
}

std::string Range(double low, double high) {
    return NumberText(low) + " to " + NumberText(high);
}

std::string Clipped(const ClipTally& tally, const char* extreme) {
    if (tally.count == 0) return "0";
    return std::to_string(tally.count) + " (" + extreme + " " + NumberText(tally.extreme) + ")";
}

void DescribePreset(std::ostream& out, const PresetTexts& preset, const Listing& listing) {
    const double low = Val(preset.min);
    const double high = Val(preset.max);
    DiscardingSink sink;
    const HeightFieldWrite tally =
        StreamHeightField(sink, kTargaFormat, listing.grid, listing.mesh.heights, low, high);
    if (tally.failure) {
        Row(out, "preset range", Range(low, high) + ": no range to scale over");
        return;
    }
    Row(out, "preset range", Range(low, high));
    Row(out, "clipped below", Clipped(tally.below, "lowest"));
    Row(out, "clipped above", Clipped(tally.above, "highest"));
}

}  // namespace

bool DescribeListing(const std::string& path, const ReadRequest& request,
                     const std::optional<PresetTexts>& preset, std::ostream& out, std::ostream& log) {
    Listing listing;
    if (auto message = ReadListingFile(path, request, listing)) {
        log << path << ": " << *message << '\n';
        return false;
    }

    const MeshHeights& mesh = listing.mesh;
    double trueLowest = mesh.heights[0];
    double trueHighest = mesh.heights[0];
    for (std::size_t index = 0; index < mesh.heights.Size();) {
        const std::span<const double> run = mesh.heights.RunFrom(index);
        trueLowest = std::min(trueLowest, *std::min_element(run.begin(), run.end()));
        trueHighest = std::max(trueHighest, *std::max_element(run.begin(), run.end()));
        index += run.size();
    }
    out << path << '\n';
    Row(out, "vertices", std::to_string(listing.counts.vertexCount));
    Row(out, "faces", std::to_string(listing.counts.faceCount));
    Row(out, "grid", std::to_string(listing.grid.columns) + " x " + std::to_string(listing.grid.rows));
    Row(out, "automatic range",
        Range(mesh.lowest, mesh.highest) + (mesh.lowest == mesh.highest ? " (no span)" : ""));
    Row(out, "heights", Range(trueLowest, trueHighest));
    if (preset) DescribePreset(out, *preset, listing);
    return true;
}

}  // namespace tessiloom
