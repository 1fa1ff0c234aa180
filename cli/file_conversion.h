#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "conversion/image_format.h"
#include "formats/targa.h"
#include "mesh/mesh_listing.h"

namespace tessiloom {

struct ConversionRequest {
    std::optional<PresetTexts> preset;
    bool quiet = false;
    const ImageFormat* format = &kTargaFormat;
    bool rectangular = false;
    std::string outputFolder;  // empty: each image beside its listing
    bool povInclude = false;
    std::string povName;   // empty: made from the listing's name
    bool sidecar = false;  // write the sidecar with the image's scale beside it
    bool mesh = false;     // read the whole mesh, not a grid's few markers
    MeshRequest meshRequest;
};

// The reader of one listing for `request`: a whole mesh, or a grid.
std::unique_ptr<ListingReader> MakeListingReader(const ConversionRequest& request);

// An image an earlier listing of the same command wrote.
struct WrittenImage {
    std::string source;
    std::string image;
};

// One command's listings, and the images it has written so far.
struct ConversionBatch {
    std::vector<std::string> listings;
    std::vector<WrittenImage> written;
};

// Converts one listing as the window would, reporting on `log` through a ConsoleHost. A clipping
// warning is followed by a line with how many heights were clipped on that side and the farthest
// one, the decimal-comma warning by how many heights it concerns and what reads them whole; the
// include and the sidecar, when asked for, are written beside the image. A listing whose image or include
// would be written over a listing of the batch (its own among them), or whose image would replace
// one the batch wrote (two tiles named alike, sent to one --output-dir), is refused before anything
// is written. Returns true when the image (and the include, if asked for) were written; the image
// is then added to the batch.
bool ConvertFile(const std::string& path, const ConversionRequest& request, ConversionBatch& batch,
                 std::ostream& log);

}  // namespace tessiloom
