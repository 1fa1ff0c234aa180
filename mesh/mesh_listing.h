#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "conversion/listing.h"
#include "mesh/mesh.h"

// A whole mesh as a conversion reads it: a lattice one pixel a node, lossless; any other mesh, or any
// mesh at a size asked for, sampled through its triangles over the box of its used vertices.
namespace tessiloom {

// Listings this large, without a size asked for, are read first as the lattices they most often are,
// keeping none of their faces, which would take as much memory as their vertices; one found to be no
// lattice is read again, faces and all. Smaller ones keep their faces at once, saving that reading,
// and so does a listing whose first mesh's header counts are no grid's.
inline constexpr std::uint64_t kLatticeFirstBytes = std::uint64_t{256} << 20;

// Whether the listing may be a lattice, as far as its first mesh's header counts tell: a grid's
// counts are those of C x R vertices with 2(C-1)(R-1) faces, which a decimated terrain's or any
// other triangulation's nearly never are. A guess either way costs time, never the image: a mesh
// read without its faces that is no lattice is read again with them, and a lattice read with its
// faces is found all the same. Counts that cannot be read near the start tell nothing.
bool MayBeALattice(const ByteSource& source);

struct MeshRequest {
    UpAxis up = UpAxis::kZ;
    std::optional<GridSize> size;  // sample at this size, lattice or not
    LinesReading lines;
    std::uint64_t latticeFirstBytes = kLatticeFirstBytes;
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
    // ReadBody, where memory that runs short may throw.
    std::optional<std::string> ReadWhole(const ByteSource& source, const std::string& path, Listing& listing);
    // Reads the mesh with its faces as `faces` says, and what the listing takes of it before its
    // heights: the summary's counts and box, the box and the range.
    std::optional<std::string> Read(const ByteSource& source, const std::string& path, FaceReading faces,
                                    Mesh& mesh, Listing& listing);

    MeshRequest request_;
    MeshSummary summary_;
};

}  // namespace tessiloom
