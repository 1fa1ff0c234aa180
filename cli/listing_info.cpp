#include "cli/listing_info.h"

#include <algorithm>
#include <iomanip>

#include "conversion/listing.h"
#include "conversion/messages.h"
#include "conversion/number_text.h"
#include "conversion/run.h"
#include "conversion/targa_writer.h"

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

void DescribePreset(std::ostream& out, const HeightRange& range, const Listing& listing) {
    Row(out, "preset range", Range(range.low, range.high));
    if (range.failure) return;
    DiscardingSink sink;
    const HeightFieldWrite tally =
        StreamHeightField(sink, kTargaFormat, listing.grid, listing.mesh.heights, range.low, range.high);
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
    const HeightRange range = SettleRange(preset, mesh);
    if (preset) DescribePreset(out, range, listing);
    if (range.failure) {
        log << path << ": " << CouldNot("convert", path, *range.failure) << '\n';
        return false;
    }
    return true;
}

}  // namespace tessiloom
