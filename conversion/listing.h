#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "conversion/image_format.h"
#include "conversion/line_source.h"
#include "conversion/reader.h"
#include "platform/source_file.h"

// The reading half of a conversion, shared by the conversion run and by a look at a listing that
// writes nothing. Each step fails with the exact message the user is to see.
namespace tessiloom {

// What a read asks beyond the heights.
struct ReadRequest {
    // Also take grids of C columns and R rows (each 2 to 32767), with C x R vertices and
    // 2(C-1)(R-1) faces; C is the number of leading vertices that share vertex 0's Y. A square grid
    // reads as it does without this.
    bool rectangular = false;
    bool corners = false;  // read the corner vertices' positions too
    LinesReading lines;    // how the vertex lines are read
};

// The header is read through a block this small: the vertex lines are read from where it ends, so
// that what it read beyond them is all that is read twice.
inline constexpr std::size_t kHeaderBlockBytes = std::size_t{1} << 16;

// Why the listing at `path`, opened as `file`, cannot be read (an empty path, a file that did not
// open); nothing when it can.
std::optional<std::string> ListingOpenFailure(const std::string& path, const SourceFile& file);

// What went wrong in a step of reading the listing `file` at `path`, given what the step said: that
// bytes of the file were lost while it was read, which may have made the step fail in any
// way, or succeed with lines that are no longer the file's; else the step's own message.
std::optional<std::string> StepFailure(const SourceFile& file, const std::string& path,
                                       std::optional<std::string> stepMessage);

// What has been read of one listing so far.
struct Listing {
    HeaderCounts counts;
    // The grid. For a rectangular grid the header gives its two sides; which one runs along the rows
    // is known once the first row has been read.
    GridSize grid;
    // The heights, vertex 0 (the bottom-left pixel) first, and the range they were read in. A NaN
    // height is a pixel that nothing holds: level 0.
    MeshHeights mesh;
    // Where the corner pixels lie in the plane, when asked for.
    std::optional<CornerPoints> corners;
    // Heights read only up to a decimal comma ("Z: 1,131584"): a terrain written in a language that
    // writes decimal commas, made wrong without a word.
    std::int64_t decimalCommaHeights = 0;
    // What else the user is to be told once the image is written.
    std::vector<std::string> warnings;
};

// Where the pixel centres lie: vertex 0's X and Y at the left and the bottom, the end of the first
// row's X at the right, the last vertex's Y at the top.
inline ImagePlacement PlacementOf(const CornerPoints& corners) {
    return {corners.first.x, corners.firstRowEnd.x, corners.first.y, corners.last.y};
}

// Why the corners of a grid `columns` wide place no image: one has no finite "X:" or "Y:", or they
// span no distance along one axis. Nothing when they place it.
std::optional<std::string> CheckPlacement(const CornerPoints& corners, std::int32_t columns);

// How a conversion reads its listing, in two steps: what tells whether it can be converted at all,
// then the bulk of its lines (the run says "Reading Vertices..." between the two). Each step fails
// with the exact message the user is to see.
class ListingReader {
  public:
    virtual ~ListingReader() = default;
    virtual std::optional<std::string> ReadHead(const ByteSource& source, const std::string& path,
                                                Listing& listing) = 0;
    virtual std::optional<std::string> ReadBody(const ByteSource& source, const std::string& path,
                                                Listing& listing) = 0;
};

// A grid read through its few markers, as the window reads it.
class GridListingReader final : public ListingReader {
  public:
    explicit GridListingReader(const ReadRequest& request) : request_(request) {}
    std::optional<std::string> ReadHead(const ByteSource& source, const std::string& path,
                                        Listing& listing) override;
    std::optional<std::string> ReadBody(const ByteSource& source, const std::string& path,
                                        Listing& listing) override;

  private:
    ReadRequest request_;
    std::uint64_t vertexLines_ = 0;  // where the vertex lines start, once the head is read
};

// The two sides of the grid of C x R vertices with 2(C-1)(R-1) faces that the counts describe,
// narrower first; none when they describe none. C and R add up to V + 1 - F/2 and multiply to V,
// so they are the roots of a quadratic, which must be whole numbers.
std::optional<GridSize> RectangleOf(const HeaderCounts& counts);

// Reads the header counts, checks that they describe a grid that fits an image, and skips to the
// vertex list, so that `lines` then stands at the first vertex line.
std::optional<std::string> ReadListingHeader(LineSource& lines, const std::string& sourcePath,
                                             const ReadRequest& request, Listing& listing);

// Reads the vertex heights from `begin` in `bytes`, where the vertex lines start, and what `request`
// asks beside them.
std::optional<std::string> ReadListingHeights(const ByteSource& bytes, std::uint64_t begin,
                                              const std::string& sourcePath, const ReadRequest& request,
                                              Listing& listing);

// Opens the listing at `path` and reads it with `reader`, for a look at a listing that converts nothing.
std::optional<std::string> ReadListingFile(const std::string& path, ListingReader& reader, Listing& listing);

}  // namespace tessiloom
