#pragma once

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

}  // namespace tessiloom
