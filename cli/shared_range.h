#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/file_conversion.h"

namespace tessiloom {

// One height range for a set of tiles, so that their seams meet: the lowest of their automatic lows
// and the highest of their highs, each file's automatic range exactly as a conversion of it alone
// would take it.
struct SharedRange {
    double low = 0;
    double high = 0;
    std::vector<std::string> readable;  // the files that count towards the range, in the order given
};

// Reads every listing of `paths` once, as `request` asks, to learn its range. A listing that cannot be read
// is told on `log`, prefixed with its path as a conversion's message is, and counts for nothing. Nothing when
// no listing could be read.
std::optional<SharedRange> FindSharedRange(const std::vector<std::string>& paths,
                                           const ConversionRequest& request, std::ostream& log);

}  // namespace tessiloom
