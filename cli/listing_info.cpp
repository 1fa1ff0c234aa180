#include "cli/listing_info.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <utility>

#include "conversion/listing.h"
#include "conversion/messages.h"
#include "conversion/number_text.h"
#include "conversion/run.h"
#include "formats/targa.h"

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

void DescribeGrid(std::ostream& out, const Listing& listing) {
    Row(out, "vertices", std::to_string(listing.counts.vertexCount));
    Row(out, "faces", std::to_string(listing.counts.faceCount));
    Row(out, "grid", Times(listing.grid));
}

void DescribeMesh(std::ostream& out, const MeshSummary& mesh, UpAxis up) {
    const std::string ground = GroundAxisName(up);
    Row(out, "objects", std::to_string(mesh.objects));
    Row(out, "used vertices", std::to_string(mesh.usedVertices));
    Row(out, "triangles", std::to_string(mesh.triangles));
    Row(out, "lattice",
        mesh.lattice ? Times(*mesh.lattice) + ", steps " + FittedNumberText(mesh.xStep) + " along X and " +
                           FittedNumberText(mesh.yStep) + " along " + ground
                     : "none");
    Row(out, "box",
        "X " + Range(mesh.box.x0, mesh.box.x1) + ", " + ground + " " + Range(mesh.box.y0, mesh.box.y1));
    Row(out, "image", Times(mesh.image) + (mesh.sampled ? " samples" : " nodes of the lattice"));
    if (!mesh.sampled) return;
    Row(out, "empty samples", std::to_string(mesh.emptySamples));
    Row(out, "folded samples", std::to_string(mesh.foldedSamples));
}

// The true lowest and highest of the heights, NaN (a sample nothing holds) left out.
std::pair<double, double> TrueRange(const HeightList& heights) {
    double lowest = HUGE_VAL;
    double highest = -HUGE_VAL;
    heights.ForEach([&](double height) {
        lowest = std::min(lowest, height);
        highest = std::max(highest, height);
    });
    return {lowest, highest};
}

}  // namespace

bool DescribeListing(const std::string& path, const ConversionRequest& request, std::ostream& out,
                     std::ostream& log) {
    const std::unique_ptr<ListingReader> reader = MakeListingReader(request);
    Listing listing;
    if (auto message = ReadListingFile(path, *reader, listing)) {
        log << path << ": " << *message << '\n';
        return false;
    }

    const MeshHeights& mesh = listing.mesh;
    out << path << '\n';
    if (request.mesh) {
        DescribeMesh(out, static_cast<const MeshListingReader&>(*reader).Summary(), request.meshRequest.up);
    } else {
        DescribeGrid(out, listing);
    }
    Row(out, "automatic range",
        Range(mesh.lowest, mesh.highest) + (mesh.lowest == mesh.highest ? " (no span)" : ""));
    const auto [trueLowest, trueHighest] = TrueRange(mesh.heights);
    Row(out, "heights", trueLowest <= trueHighest ? Range(trueLowest, trueHighest) : "none");
    const HeightRange range = SettleRange(request.preset, mesh);
    if (request.preset) DescribePreset(out, range, listing);
    if (range.failure) {
        log << path << ": " << CouldNot("convert", path, *range.failure) << '\n';
        return false;
    }
    return true;
}

}  // namespace tessiloom
