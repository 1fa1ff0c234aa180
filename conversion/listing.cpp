#include "conversion/listing.h"

#include "conversion/number_text.h"
#include "conversion/run_texts.h"
#include "conversion/targa_writer.h"

namespace tessiloom {

std::string CouldNot(const std::string& verb, const std::string& path, const std::string& problem) {
    return "Could not " + verb + " '" + path + "': " + problem + ".";
}

HeaderStep ReadListingHeader(LineSource& lines, const std::string& sourcePath) {
    HeaderStep step;
    const HeaderRead read = ReadHeaderCounts(lines);
    if (read.failure) {
        step.message = CouldNot("read", sourcePath, *read.failure);
        return step;
    }
    step.header.counts = read.counts;
    const GridShape grid = IsSquareGrid(read.counts.vertexCount, read.counts.faceCount);
    step.header.side = grid.side;
    if (!grid.square) {
        step.message = kNotSquareMessage;
    } else if (grid.side > kLargestTargaSide) {
        const std::string side = NumberText(grid.side);
        const std::string largest = std::to_string(kLargestTargaSide);
        step.message = CouldNot("convert", sourcePath,
                                "its grid of " + side + " x " + side + " vertices is larger than the " + largest +
                                    " x " + largest + " a height-field image can hold");
    } else if (auto failure = SkipToVertexList(lines)) {
        step.message = CouldNot("read", sourcePath, *failure);
    }
    return step;
}

HeightsStep ReadListingHeights(LineSource& lines, const std::string& sourcePath, const ListingHeader& header,
                               bool withCorners) {
    HeightsStep step;
    CornerPoints corners;
    corners.side = static_cast<std::int32_t>(header.side);
    VertexHeights read = ReadVertexHeights(lines, header.counts.vertexCount, withCorners ? &corners : nullptr);
    if (read.unreadableVertex) {
        step.message = kUnreadableVertexMessage + std::to_string(*read.unreadableVertex);
    } else if (read.failure) {
        step.message = CouldNot("read", sourcePath, *read.failure);
    }
    step.mesh = std::move(read.mesh);
    if (withCorners) step.corners = corners;
    return step;
}

}  // namespace tessiloom
