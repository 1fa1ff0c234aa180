#pragma once

#include <optional>
#include <string>

#include "conversion/line_source.h"
#include "conversion/reader.h"

// The reading half of a conversion, shared by the conversion run and by a look at a listing that
// writes nothing. Each step fails with the exact message the user is to see.
namespace tessiloom {

// "Could not <verb> '<source>': <problem>." — the form of every failure message that names a file.
std::string CouldNot(const std::string& verb, const std::string& path, const std::string& problem);

struct ListingHeader {
    HeaderCounts counts;
    double side = 0;
};

struct HeaderStep {
    ListingHeader header;
    std::optional<std::string> message;
};

// Reads the header counts, checks that the grid is square and fits an image, and skips to the
// vertex list, so the next line is the first vertex line.
HeaderStep ReadListingHeader(LineSource& lines, const std::string& sourcePath);

struct HeightsStep {
    MeshHeights mesh;
    std::optional<CornerPoints> corners;
    std::optional<std::string> message;
};

// Reads the vertex heights, and with `withCorners` the corner vertices' positions too.
HeightsStep ReadListingHeights(LineSource& lines, const std::string& sourcePath, const ListingHeader& header,
                               bool withCorners);

}  // namespace tessiloom
