#include "conversion/listing.h"

#include "conversion/messages.h"
#include "conversion/targa_writer.h"

namespace tessiloom {

std::optional<std::string> ReadListingHeader(LineSource& lines, const std::string& sourcePath,
                                             Listing& listing) {
    if (auto failure = ReadHeaderCounts(lines, listing.counts)) return CouldNot("read", sourcePath, *failure);
    const std::optional<std::int32_t> side = IsSquareGrid(listing.counts);
    if (!side) return kNotSquareMessage;
    if (*side > kLargestTargaSide) {
        const std::string sides = std::to_string(*side) + " x " + std::to_string(*side);
        const std::string largest =
            std::to_string(kLargestTargaSide) + " x " + std::to_string(kLargestTargaSide);
        return CouldNot("convert", sourcePath,
                        "its grid of " + sides + " vertices is larger than the " + largest +
                            " a height-field image can hold");
    }
    listing.grid = {*side, *side};
    if (auto failure = SkipToVertexList(lines)) return CouldNot("read", sourcePath, *failure);
    return std::nullopt;
}

std::optional<std::string> ReadListingHeights(LineSource& lines, const std::string& sourcePath,
                                              bool withCorners, Listing& listing) {
    GridPlane plane;
    plane.columns = listing.grid.columns;
    VertexHeights read = ReadVertexHeights(lines, listing.counts.vertexCount, withCorners ? &plane : nullptr);
    listing.mesh = std::move(read.mesh);
    if (withCorners) listing.corners = plane.corners;
    if (read.unreadableVertex) return kUnreadableVertexMessage + std::to_string(*read.unreadableVertex);
    if (read.failure) return CouldNot("read", sourcePath, *read.failure);
    return std::nullopt;
}

}  // namespace tessiloom
