#include "cli/shared_range.h"

#include <algorithm>

namespace tessiloom {

std::optional<SharedRange> FindSharedRange(const std::vector<std::string>& paths,
                                           const ConversionRequest& request, std::ostream& log) {
    std::optional<SharedRange> shared;
    for (const std::string& path : paths) {
        Listing listing;
        if (auto message = ReadListingFile(path, *MakeListingReader(request), listing)) {
            log << path << ": " << *message << '\n';
            continue;
        }
        if (!shared) shared = SharedRange{listing.mesh.lowest, listing.mesh.highest, {}};
        shared->low = std::min(shared->low, listing.mesh.lowest);
        shared->high = std::max(shared->high, listing.mesh.highest);
        shared->readable.push_back(path);
    }
    return shared;
}

}  // namespace tessiloom
