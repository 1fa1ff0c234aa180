#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "cli/console_host.h"
#include "conversion/listing.h"

namespace tessiloom {

// Reads the listing at `path` as a conversion would, writes nothing, and describes it on `out`:
// the counts, the grid side, the automatic range a conversion would use, the true lowest and
// highest height and, with a preset range, how many heights it would clip on each side. A listing
// that a conversion could not read, or whose range a conversion could not scale over, gets the
// conversion's message on `log`, prefixed with its path, and false.
bool DescribeListing(const std::string& path, const ReadRequest& request,
                     const std::optional<PresetTexts>& preset, std::ostream& out, std::ostream& log);

}  // namespace tessiloom
