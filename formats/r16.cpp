#include "formats/r16.h"

#include "formats/level_rows.h"

namespace tessiloom {
namespace {

bool WriteR16(ByteSink& sink, const HeightImage& image) {
    return WriteLevelRows<2>(sink, image, [](char* pixel, std::uint16_t level) {
        pixel[0] = static_cast<char>(level & 0xFF);
        pixel[1] = static_cast<char>(level >> 8);
    });
}

}  // namespace

const ImageFormat kR16Format{"r16", ".r16", false, false, false, WriteR16};

}  // namespace tessiloom
