#include "formats/pgm.h"

#include <string>

#include "formats/level_rows.h"

namespace tessiloom {
namespace {

bool WritePgm(ByteSink& sink, const HeightImage& image) {
    const std::string header =
        "P5\n" + std::to_string(image.grid.columns) + " " + std::to_string(image.grid.rows) + "\n65535\n";
    if (!sink.Write(header.data(), header.size())) return false;
    return WriteLevelRows<2>(sink, image, [](char* pixel, std::uint16_t level) {
        pixel[0] = static_cast<char>(level >> 8);
        pixel[1] = static_cast<char>(level & 0xFF);
    });
}

}  // namespace

const ImageFormat kPgmFormat{"pgm", ".pgm", true, false, false, WritePgm};

}  // namespace tessiloom
