#include "mesh/mesh_listing.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "conversion/height_field.h"
#include "conversion/messages.h"
#include "conversion/reader.h"
#include "mesh/lattice.h"
#include "mesh/sampling.h"

namespace tessiloom {
namespace {

// Sets the range of `heights` to the usual one, as a grid's vertices give it, over the used
// vertices' heights.
void SettleHeights(const Mesh& mesh, MeshHeights& heights) {
    const MeshHeights usual;
    heights.highest = std::max(usual.highest, mesh.highest);
    heights.lowest = std::min(usual.lowest, mesh.lowest);
}

std::string SampleWarning(std::int64_t count, const std::string& where, const std::string& which) {
    return "Warning: " + std::to_string(count) + (count == 1 ? " sample lies " : " samples lie ") + where +
           "; " + (count == 1 ? "its " : "their ") + which;
}

// Why the box cannot be sampled: no extent along one of the ground's axes, or more than a double
// can hold (finite coordinates of opposite signs near the largest).
std::optional<std::string> CheckBox(const GroundBox& box, UpAxis up) {
    const std::string ground = GroundMarker(up);
    if (!(box.x1 > box.x0)) return std::string("its triangles cover no ground along X");
    if (!(box.y1 > box.y0)) return "its triangles cover no ground along " + ground;
    if (!std::isfinite(box.x1 - box.x0))
        return std::string("its triangles spread too far along X to be measured");
    if (!std::isfinite(box.y1 - box.y0))
        return "its triangles spread too far along " + ground + " to be measured";
    return std::nullopt;
}

}  // namespace

bool MayBeALattice(const ByteSource& source) {
    std::string head(kHeaderBlockBytes, '\0');
    const ByteSource::Read read = source.ReadAt(0, head.data(), head.size());
    head.resize(read.count);
    const StringByteSource headBytes(head);
    LineSource lines(headBytes);
    HeaderCounts counts;
    return ReadHeaderCounts(lines, counts) || RectangleOf(counts);
}

std::optional<std::string> MeshListingReader::Read(const ByteSource& source, const std::string& path,
                                                   FaceReading faces, Mesh& mesh, Listing& listing) {
    if (auto failure = ReadMesh(source, request_.up, request_.lines, mesh, faces))
        return CouldNot("read", path, *failure);
    summary_.objects = mesh.objects.size();
    summary_.usedVertices = mesh.usedCount;
    summary_.triangles = mesh.triangleCount;
    summary_.box = mesh.box;
    if (auto failure = CheckBox(summary_.box, request_.up)) return CouldNot("convert", path, *failure);
    const GroundBox& box = summary_.box;
    listing.corners = CornerPoints{{box.x0, box.y0}, {box.x1, box.y0}, {box.x1, box.y1}};
    SettleHeights(mesh, listing.mesh);
    return std::nullopt;
}

std::optional<std::string> MeshListingReader::ReadBody(const ByteSource& source, const std::string& path,
                                                       Listing& listing) {
    // The large blocks (the points, the faces, the heights) say when there is no memory for them;
    // whatever else runs short (the list of objects, a lattice's fit, the sampling's places) throws.
    try {
        return ReadWhole(source, path, listing);
    } catch (const std::bad_alloc&) {
        return CouldNot("read", path, kOutOfMemoryProblem);
    }
}

std::optional<std::string> MeshListingReader::ReadWhole(const ByteSource& source, const std::string& path,
                                                        Listing& listing) {
    const bool latticeFirst =
        !request_.size && source.Size() >= request_.latticeFirstBytes && MayBeALattice(source);
    summary_ = {};
    Mesh mesh;
    if (auto failure =
            Read(source, path, latticeFirst ? FaceReading::kMarkPlaces : FaceReading::kKeep, mesh, listing))
        return failure;
    bool outOfMemory = false;
    std::optional<Lattice> lattice = FindLattice(mesh, outOfMemory);
    if (outOfMemory) return CouldNot("read", path, kOutOfMemoryProblem);
    if (lattice) {
        summary_.lattice = lattice->grid;
        summary_.xStep = lattice->xStep;
        summary_.yStep = lattice->yStep;
    }
    const bool fitsAnImage = lattice && FitsAnImage(lattice->grid);
    if (fitsAnImage && (!request_.size || (request_.size->columns == lattice->grid.columns &&
                                           request_.size->rows == lattice->grid.rows))) {
        summary_.image = lattice->grid;
        listing.grid = lattice->grid;
        listing.mesh.heights = TakeHeights(*lattice, mesh);
        return std::nullopt;
    }
    const bool largerThanAnImage = lattice && !fitsAnImage;
    lattice.reset();        // its heights go before the samples' come
    if (!mesh.facesKept) {  // read as a lattice first: its faces are wanted after all
        mesh = Mesh();
        if (auto failure = Read(source, path, FaceReading::kKeep, mesh, listing)) return failure;
    }
    summary_.sampled = true;
    if (request_.size) {
        summary_.image = *request_.size;
    } else if (largerThanAnImage) {
        // A lattice is lossless where an image holds it node for node. One too large for that is
        // sampled at as many nodes as an image holds, so that a side that fits keeps its nodes; what
        // lies between the samples of the other is lost, which the user is told.
        summary_.image = {std::min(summary_.lattice->columns, kLargestImageSide),
                          std::min(summary_.lattice->rows, kLargestImageSide)};
        listing.warnings.push_back("Warning: the used vertices stand on a lattice of " +
                                   Times(*summary_.lattice) + " nodes, more than the " +
                                   Times({kLargestImageSide, kLargestImageSide}) +
                                   " an image can hold; it is sampled at " + Times(summary_.image) + ".");
    } else {
        summary_.image = DefaultSampleSize(mesh.usedCount, summary_.box);
    }
    Samples samples = SampleMesh(mesh, summary_.image);
    if (samples.outOfMemory) return CouldNot("read", path, kOutOfMemoryProblem);
    summary_.emptySamples = samples.empty;
    summary_.foldedSamples = samples.folded;
    listing.grid = summary_.image;
    listing.mesh.heights = std::move(samples.heights);
    if (samples.empty > 0)
        listing.warnings.push_back(SampleWarning(samples.empty, "under no triangle", "level is 0."));
    if (samples.folded > 0) {
        listing.warnings.push_back(
            SampleWarning(samples.folded, "under triangles at different heights", "highest is kept."));
    }
    return std::nullopt;
}

}  // namespace tessiloom
