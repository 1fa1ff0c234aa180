#include "conversion/listing.h"

#include <cmath>

#include "conversion/height_field.h"
#include "conversion/messages.h"

namespace tessiloom {
namespace {

std::string Counts(const HeaderCounts& counts) {
    return std::to_string(counts.vertexCount) + " vertices and " + std::to_string(counts.faceCount) +
           " faces";
}

// The grid the counts describe: square as the window knows it, or with `rectangular` a rectangle
// whose sides are settled by the first row.
std::optional<std::string> GridOf(const HeaderCounts& counts, const std::string& sourcePath, bool rectangular,
                                  GridSize& grid) {
    if (const SquareTest square = IsSquareGrid(counts); square.isSquare) {
        grid = {square.side, square.side};
    } else if (!rectangular) {
        return kNotSquareMessage;
    } else if (const std::optional<GridSize> sides = RectangleOf(counts); sides && sides->columns >= 2) {
        grid = *sides;
    } else {
        return CouldNot("read", sourcePath,
                        "its " + Counts(counts) +
                            " fit no grid of C x R vertices (C and R from 2) with 2(C-1)(R-1) faces");
    }
    if (!FitsAnImage(grid)) {
        return CouldNot("convert", sourcePath,
                        "its grid of " + Times(grid) + " vertices is larger than the " +
                            Times({kLargestImageSide, kLargestImageSide}) + " a height-field image can hold");
    }
    return std::nullopt;
}

}  // namespace

std::optional<GridSize> RectangleOf(const HeaderCounts& counts) {
    if (counts.faceCount % 2 != 0) return std::nullopt;
    const std::int64_t sum = std::int64_t{counts.vertexCount} + 1 - counts.faceCount / 2;
    const std::int64_t discriminant = sum * sum - 4 * std::int64_t{counts.vertexCount};
    if (sum < 0 || discriminant < 0) return std::nullopt;
    auto root = static_cast<std::int64_t>(std::sqrt(static_cast<double>(discriminant)));
    if (root * root > discriminant) --root;  // a double's square root of a large square may miss by one
    if ((root + 1) * (root + 1) <= discriminant) ++root;
    if (root * root != discriminant || (sum - root) % 2 != 0) return std::nullopt;
    return GridSize{static_cast<std::int32_t>((sum - root) / 2), static_cast<std::int32_t>((sum + root) / 2)};
}

std::optional<std::string> ReadListingHeader(LineSource& lines, const std::string& sourcePath,
                                             const ReadRequest& request, Listing& listing) {
    if (auto failure = ReadHeaderCounts(lines, listing.counts)) return CouldNot("read", sourcePath, *failure);
    if (auto message = GridOf(listing.counts, sourcePath, request.rectangular, listing.grid)) return message;
    if (auto failure = SkipToVertexList(lines)) return CouldNot("read", sourcePath, *failure);
    return std::nullopt;
}

std::optional<std::string> ReadListingHeights(const ByteSource& bytes, std::uint64_t begin,
                                              const std::string& sourcePath, const ReadRequest& request,
                                              Listing& listing) {
    GridSize& grid = listing.grid;
    const bool sidesOpen = grid.columns != grid.rows;  // only a rectangle's first row tells its width
    GridPlane plane;
    plane.columns = sidesOpen ? 0 : grid.columns;
    const bool readPlane = request.corners || sidesOpen;
    VertexHeights read = ReadVertexHeights(bytes, begin, listing.counts.vertexCount,
                                           readPlane ? &plane : nullptr, request.lines);
    listing.mesh = std::move(read.mesh);
    listing.decimalCommaHeights = read.decimalCommaHeights;
    if (read.unreadableVertex) return kUnreadableVertexMessage + std::to_string(*read.unreadableVertex);
    if (read.failure) return CouldNot("read", sourcePath, *read.failure);
    if (sidesOpen && plane.columns == grid.rows) std::swap(grid.columns, grid.rows);
    if (sidesOpen && plane.columns != grid.columns) {
        return CouldNot("read", sourcePath,
                        "its first row holds " + std::to_string(plane.columns) +
                            " vertices (those with vertex 0's Y), but its " + Counts(listing.counts) +
                            " make a grid of " + Times(grid) + " or " + Times({grid.rows, grid.columns}));
    }
    if (request.corners) listing.corners = plane.corners;
    return std::nullopt;
}

std::optional<std::string> CheckPlacement(const CornerPoints& corners, std::int32_t columns) {
    const ImagePlacement at = PlacementOf(corners);
    for (const double coordinate : {at.x0, at.x1, at.y0, at.y1}) {
        if (!std::isfinite(coordinate)) {
            return "a corner vertex (0, " + std::to_string(columns - 1) +
                   " or the last) has no finite \"X:\" or \"Y:\" to place the terrain by";
        }
    }
    if (at.x1 == at.x0) return "the corner vertices span no distance in X";
    if (at.y1 == at.y0) return "the corner vertices span no distance in Y";
    return std::nullopt;
}

std::optional<std::string> ListingOpenFailure(const std::string& path, const SourceFile& file) {
    if (path.empty()) return "There is no source file to convert: the source path is empty.";
    if (file.OpenFailure()) return CouldNot("open", path, *file.OpenFailure());
    return std::nullopt;
}

std::optional<std::string> GridListingReader::ReadHead(const ByteSource& source, const std::string& path,
                                                       Listing& listing) {
    LineSource header(source, kHeaderBlockBytes);
    if (auto message = ReadListingHeader(header, path, request_, listing)) return message;
    vertexLines_ = header.Position();
    return std::nullopt;
}

std::optional<std::string> GridListingReader::ReadBody(const ByteSource& source, const std::string& path,
                                                       Listing& listing) {
    return ReadListingHeights(source, vertexLines_, path, request_, listing);
}

std::optional<std::string> StepFailure(const SourceFile& file, const std::string& path,
                                       std::optional<std::string> stepMessage) {
    if (file.BytesLost()) return CouldNot("read", path, SourceFile::kBytesLostProblem);
    return stepMessage;
}

std::optional<std::string> ReadListingFile(const std::string& path, ListingReader& reader, Listing& listing) {
    const SourceFile file(path);
    if (auto message = ListingOpenFailure(path, file)) return message;
    if (auto message = StepFailure(file, path, reader.ReadHead(file, path, listing))) return message;
    return StepFailure(file, path, reader.ReadBody(file, path, listing));
}

}  // namespace tessiloom
