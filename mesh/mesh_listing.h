#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "conversion/listing.h"
#include "mesh/mesh.h"

// A whole mesh as a conversion reads it: a lattice one pixel a node, lossless; any other mesh, or any
// mesh at a size asked for, sampled through its triangles over the box of its used vertices.
namespace tessiloom {

struct MeshRequest {
    UpAxis up = UpAxis::kZ;
    std::optional<GridSize> size;  // sample at this size, lattice or not
    LinesReading lines;
};

// What a mesh came to, for a look at it.
struct MeshSummary {
    std::size_t objects = 0;
    std::uint64_t usedVertices = 0;
    std::uint64_t triangles = 0;
    std::optional<GridSize> lattice;  // the lattice the used vertices stand on, if any
    double xStep = 0;                 // its steps
    double yStep = 0;
    GroundBox box;
    GridSize image;
    bool sampled = false;
    std::int64_t emptySamples = 0;
    std::int64_t foldedSamples = 0;
};

class MeshListingReader final : public ListingReader {
  public:
    explicit MeshListingReader(const MeshRequest& request) : request_(request) {}

    // Nothing is known of a mesh before its lines are read.
    std::optional<std::string> ReadHead(const ByteSource&, const std::string&, Listing&) override {
        return std::nullopt;
    }
    // The image's heights, their range (the usual one, over the used vertices' heights), the box as
    // the corners of the image, and warnings for samples that no triangle holds or that triangles
    // at different heights hold.
    std::optional<std::string> ReadBody(const ByteSource& source, const std::string& path,
                                        Listing& listing) override;

    // What the last ReadBody found.
    const MeshSummary& Summary() const { return summary_; }

  private:
    MeshRequest request_;
    MeshSummary summary_;
};

}  // namespace tessiloom
