#include "formats/png.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace tessiloom {
namespace {

// The writer's caller tells the user what failed; libpng's own words on standard error would only
// stand in front of that message.
[[noreturn]] void FailQuietly(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnoreWarning(png_structp, png_const_charp) {}

// Owns libpng's two structures for one image.
class PngWriter {
  public:
    PngWriter() : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, FailQuietly, IgnoreWarning)) {
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngWriter() { png_destroy_write_struct(&png_, &info_); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

void WriteToSink(png_structp png, png_bytep data, png_size_t size) {
    auto* sink = static_cast<ByteSink*>(png_get_io_ptr(png));
    if (!sink->Write(reinterpret_cast<const char*>(data), size)) png_error(png, "the sink refused");
}

// libpng reports a failure by jumping back here, past its own frames: nothing in this function may
// need destroying at that point, so the row buffer belongs to the caller.
bool WriteRows(png_structp png, png_infop info, ByteSink& sink, const HeightImage& image,
               std::vector<png_byte>& samples) {
    const GridSize grid = image.grid;
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &sink, WriteToSink, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(grid.columns), static_cast<png_uint_32>(grid.rows), 16,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::int32_t row = 0; row < grid.rows; ++row) {
        png_byte* sample = samples.data();
        for (const std::uint16_t level : image.levels()) {  // PNG samples are big-endian
            *sample++ = static_cast<png_byte>(level >> 8);
            *sample++ = static_cast<png_byte>(level & 0xFF);
        }
        png_write_row(png, samples.data());
    }
    png_write_end(png, info);
    return true;
}

bool WritePng(ByteSink& sink, const HeightImage& image) {
    const PngWriter writer;
    if (!writer.info()) return false;
    std::vector<png_byte> samples(2 * static_cast<std::size_t>(image.grid.columns));
    return WriteRows(writer.png(), writer.info(), sink, image, samples);
}

}  // namespace

const ImageFormat kPngFormat{"png", ".png", true, false, false, WritePng};

}  // namespace tessiloom
