#pragma once

#include <cmath>
#include <cstdint>

// Which side of a line a point lies on, decided exactly for any points given as doubles, so that a
// point on the edge two triangles share is held by both, never by neither.
namespace tessiloom {

struct PlanePosition {
    double x = 0;
    double y = 0;
};

// The determinant (b - a) x (c - a) as a double, and the sign of its exact value: positive when a, b
// and c turn counterclockwise, negative when clockwise, 0 when they lie on one line.
struct Orientation {
    double determinant = 0;
    int sign = 0;
};

Orientation Orient(PlanePosition a, PlanePosition b, PlanePosition c);

// Beyond this share of the magnitude of the determinant's two products, rounding cannot have turned
// its sign.
inline constexpr double kOrientationError = (3.0 + 16.0 * 0x1p-53) * 0x1p-53;

// A sample's place along one axis of a grid of samples: (low (steps - index) + high index) / steps,
// exactly, which the nearest double may miss.
struct SamplePlace {
    double low = 0;
    double high = 0;
    double index = 0;    // a whole number from 0 to steps
    double steps = 1;    // a whole number from 1 to 2^15
    double rounded = 0;  // a double near the place: within `error` of it
    double error = 0;    // 0 where `rounded` is the place
};

// The place `index` of `steps` from `low` to `high`; its `error` bounds that of its rounding, 0 when
// the rounding is exact.
SamplePlace PlaceBetween(double low, double high, std::int32_t index, std::int32_t steps);

// The sign of the determinant of a, b and the sample at (x, y), at the samples' exact places.
int ExactSign(PlanePosition a, PlanePosition b, const SamplePlace& x, const SamplePlace& y);

// The orientation of a, b and the sample at (x, y): its determinant at the rounded places, its sign
// at the exact ones, so that a sample on an edge is on it even where no double is. Inline: a
// mesh's sampling asks it three times a sample a triangle.
inline Orientation Orient(PlanePosition a, PlanePosition b, const SamplePlace& x, const SamplePlace& y) {
    const double alongX = b.x - a.x;
    const double alongY = b.y - a.y;
    const double left = alongX * (y.rounded - a.y);
    const double right = alongY * (x.rounded - a.x);
    const double determinant = left - right;
    // The places' errors move the determinant by at most this much more.
    const double placed = (1 + 0x1p-50) * (std::abs(alongX) * y.error + std::abs(alongY) * x.error);
    if (std::abs(determinant) > kOrientationError * (std::abs(left) + std::abs(right)) + placed)
        return {determinant, determinant > 0 ? 1 : -1};
    return {determinant, ExactSign(a, b, x, y)};
}

}  // namespace tessiloom
