#include "formats/formats.h"

#include "formats/geotiff.h"
#include "formats/pgm.h"
#include "formats/png.h"
#include "formats/r16.h"
#include "formats/targa.h"

namespace tessiloom {
namespace {

const ImageFormat* const kFormats[] = {&kTargaFormat, &kPngFormat, &kPgmFormat, &kR16Format, &kGeoTiffFormat};

}  // namespace

const ImageFormat* FormatNamed(std::string_view name) {
    for (const ImageFormat* format : kFormats) {
        if (format->name == name) return format;
    }
    return nullptr;
}

std::string FormatNames(std::string_view separator) {
    std::string names;
    for (const ImageFormat* format : kFormats)
        names += std::string(names.empty() ? "" : separator) + std::string(format->name);
    return names;
}

}  // namespace tessiloom
