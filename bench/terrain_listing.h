#pragma once

#include <optional>
#include <string>

namespace tessiloom {

// Writes a realistic 3D-Studio style listing of a side x side terrain grid to `path`: CRLF line
// ends, a vertex list with X, Y and Z in fixed six-decimal form, and the full face list with its
// smoothing lines, as exporters write it. Returns why it failed, or nothing.
std::optional<std::string> WriteTerrainListing(const std::string& path, int side);

// The same terrain as a mesh that is no lattice: a side x side grid whose inner vertices stand up to
// a fifth of a step off their nodes, each at the terrain's height there, two triangles a cell.
std::optional<std::string> WriteIrregularListing(const std::string& path, int side);

// side x side objects of one triangle each, in the lower left half of their cell of the grid: a
// listing whose objects are as small as they come.
std::optional<std::string> WriteTriangleObjectsListing(const std::string& path, int side);

}  // namespace tessiloom
