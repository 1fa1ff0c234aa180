#pragma once

#include <ostream>
#include <string>

#include "cli/file_conversion.h"

namespace tessiloom {

// Reads the listing at `path` as a conversion with `request` would, writes nothing, and describes
// it on `out`: for a grid the counts and the grid side, for a whole mesh its objects, used vertices
// and triangles, the lattice found or none, the box, the image size and what sampling left empty or
// found folded; then the automatic range a conversion would use, the true lowest and highest height
// and, with a preset range, how many heights it would clip on each side. A listing that a conversion
// could not read, or whose range a conversion could not scale over, gets the conversion's message
// on `log`, prefixed with its path, and false.
bool DescribeListing(const std::string& path, const ConversionRequest& request, std::ostream& out,
                     std::ostream& log);

}  // namespace tessiloom
