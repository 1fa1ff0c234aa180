#include "formats/geotiff.h"

#include <geotiff/xtiffio.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "platform/large_memory.h"

namespace tessiloom {
namespace {

// GDAL's nodata tag, which libtiff does not know by itself.
const TIFFFieldInfo kNoDataField[] = {{TIFFTAG_GDAL_NODATA, -1, -1, TIFF_ASCII, FIELD_CUSTOM, true, false,
                                       const_cast<char*>("GDALNoDataValue")}};
TIFFExtendProc parentExtender = nullptr;

void ExtendTags(TIFF* tiff) {
    TIFFMergeFieldInfo(tiff, kNoDataField, 1);
    if (parentExtender) parentExtender(tiff);
}

// Once for the program: the nodata tag known, and libtiff's own words kept off standard error,
// where they would only stand in front of the caller's message.
void PrepareLibtiff() {
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        parentExtender = TIFFSetTagExtender(ExtendTags);
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

// A TIFF made in memory: libtiff goes back to write its directory, which a file written into place
// cannot. The memory is had at the start, all the file can take, so that running out of it is a
// failure told, not a crash inside libtiff.
class MemoryTiff {
  public:
    // A TIFF of `pixelBytes` in `rows` strips at most; BigTIFF where a classic TIFF's 32-bit offsets
    // cannot reach its end. No TIFF when there is no memory for it.
    MemoryTiff(std::uint64_t pixelBytes, std::uint64_t rows)
        : capacity_(pixelBytes + kDirectoryBytes + rows * kStripEntryBytes),
          bytes_(MakeLargeArray<char>(capacity_)),
          tiff_(bytes_ ? XTIFFClientOpen("heights", capacity_ >> 32 == 0 ? "w" : "w8", this, Read, Write,
                                         Seek, Close, Size, Map, Unmap)
                       : nullptr) {}
    ~MemoryTiff() {
        if (tiff_) XTIFFClose(tiff_);
    }
    MemoryTiff(const MemoryTiff&) = delete;
    MemoryTiff& operator=(const MemoryTiff&) = delete;

    TIFF* Tiff() const { return tiff_; }
    // Writes the directory and closes the TIFF: the file's bytes, or nothing when libtiff failed.
    std::optional<std::span<const char>> Finish() {
        const bool flushed = TIFFFlush(tiff_) != 0;
        XTIFFClose(std::exchange(tiff_, nullptr));
        if (!flushed) return std::nullopt;
        return std::span<const char>(bytes_.get(), size_);
    }

  private:
    // Beyond the pixels: the header and the tags, and the two strip tables' entries (8 bytes each in
    // a BigTIFF).
    static constexpr std::uint64_t kDirectoryBytes = std::uint64_t{1} << 20;
    static constexpr std::uint64_t kStripEntryBytes = 16;

    static MemoryTiff& Of(thandle_t handle) { return *static_cast<MemoryTiff*>(handle); }
    static tmsize_t Read(thandle_t, void*, tmsize_t) { return 0; }
    static tmsize_t Write(thandle_t handle, void* data, tmsize_t size) {
        MemoryTiff& self = Of(handle);
        const auto count = static_cast<std::uint64_t>(size);
        if (self.position_ > self.capacity_ || count > self.capacity_ - self.position_) return -1;
        std::memcpy(self.bytes_.get() + self.position_, data, count);
        self.position_ += count;
        self.size_ = std::max(self.size_, self.position_);
        return size;
    }
    static toff_t Seek(thandle_t handle, toff_t offset, int whence) {
        MemoryTiff& self = Of(handle);
        const std::uint64_t from = whence == SEEK_CUR ? self.position_ : whence == SEEK_END ? self.size_ : 0;
        self.position_ = from + offset;
        return self.position_;
    }
    static int Close(thandle_t) { return 0; }
    static toff_t Size(thandle_t handle) { return Of(handle).size_; }
    static int Map(thandle_t, void**, toff_t*) { return 0; }
    static void Unmap(thandle_t, void*, toff_t) {}

    const std::uint64_t capacity_;
    LargeArray<char> bytes_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    TIFF* tiff_;
};

// Every pixel's centre on its vertex: the first column at x0, the top row at y1.
bool Place(TIFF* tiff, const HeightImage& image) {
    const ImagePlacement& at = *image.placement;
    const double xStep = (at.x1 - at.x0) / (image.grid.columns - 1);
    const double yStep = (at.y1 - at.y0) / (image.grid.rows - 1);
    if (xStep > 0 && yStep > 0) {
        double scale[3] = {xStep, yStep, 0};
        double tiepoint[6] = {0, 0, 0, at.x0 - xStep / 2, at.y1 + yStep / 2, 0};
        return TIFFSetField(tiff, TIFFTAG_GEOPIXELSCALE, 3, scale) &&
               TIFFSetField(tiff, TIFFTAG_GEOTIEPOINTS, 6, tiepoint);
    }
    // A grid listed from north to south, or east to west: readers take a pixel scale as a size and
    // would put it beside where it lies, so a transformation says which way the rows step.
    double matrix[16] = {xStep, 0, 0, at.x0 - xStep / 2, 0, -yStep, 0, at.y1 + yStep / 2, 0, 0, 0, 0, 0,
                         0,     0, 1};
    return TIFFSetField(tiff, TIFFTAG_GEOTRANSMATRIX, 16, matrix);
}

// One float a pixel, and where the pixels lie.
bool Describe(TIFF* tiff, const HeightImage& image) {
    const GridSize grid = image.grid;
    return TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(grid.columns)) &&
           TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(grid.rows)) &&
           TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 32) &&
           TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) &&
           TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) &&
           TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
           TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
           TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0)) && Place(tiff, image) &&
           TIFFSetField(tiff, TIFFTAG_GDAL_NODATA, "nan");
}

bool WriteGeoTiff(ByteSink& sink, const HeightImage& image) {
    if (!image.placement || image.grid.columns < 2 || image.grid.rows < 2) return false;
    PrepareLibtiff();
    const auto rows = static_cast<std::uint64_t>(image.grid.rows);
    MemoryTiff tiff(static_cast<std::uint64_t>(image.grid.columns) * rows * sizeof(float), rows);
    if (!tiff.Tiff() || !Describe(tiff.Tiff(), image)) return false;
    for (std::int32_t row = 0; row < image.grid.rows; ++row) {
        const std::span<const float> heights = image.heights();
        if (TIFFWriteScanline(tiff.Tiff(), const_cast<float*>(heights.data()),
                              static_cast<std::uint32_t>(row), 0) < 0)
            return false;
    }
    const std::optional<std::span<const char>> bytes = tiff.Finish();
    return bytes && sink.Write(bytes->data(), bytes->size());
}

}  // namespace

const ImageFormat kGeoTiffFormat{"tiff", ".tif", false, true, true, WriteGeoTiff};

}  // namespace tessiloom
