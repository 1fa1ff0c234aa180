#pragma once

#include "conversion/image_format.h"

// The heights themselves, not levels, as a 32-bit float GeoTIFF for GIS tools (QGIS, GDAL): every
// pixel's centre on its vertex or sample (the first column at x0, the bottom row at y0), north up
// unless the grid is listed from north to south, with no coordinate system, since a listing has
// none. A pixel nothing holds is NaN, the file's declared nodata. Written with libtiff, the GeoTIFF
// tags known to it through libgeotiff.
namespace tessiloom {

extern const ImageFormat kGeoTiffFormat;

}  // namespace tessiloom
