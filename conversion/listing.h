#pragma once

#include <optional>
#include <string>

#include "conversion/line_source.h"
#include "conversion/reader.h"

// The reading half of a conversion, shared by the conversion run and by a look at a listing that
// writes nothing. Each step fails with the exact message the user is to see.
namespace tessiloom {

// What has been read of one listing so far.
struct Listing {
    HeaderCounts counts;
    GridSize grid;
    MeshHeights mesh;
    std::optional<CornerPoints> corners;  // when the heights were read with their corners
};

// Reads the header counts, checks that the grid is square and fits an image, and skips to the
// vertex list, so the next line is the first vertex line.
std::optional<std::string> ReadListingHeader(LineSource& lines, const std::string& sourcePath,
                                             Listing& listing);

// Reads the vertex heights, and with `withCorners` the corner vertices' positions too.
std::optional<std::string> ReadListingHeights(LineSource& lines, const std::string& sourcePath,
                                              bool withCorners, Listing& listing);

}  // namespace tessiloom
