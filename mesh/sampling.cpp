#include "mesh/sampling.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "conversion/height_field.h"
#include "mesh/orientation.h"

namespace tessiloom {
namespace {

// Heights that differ by less than this share of the mesh's height extent are one height: the same
// point computed from two triangles differs in the last bits.
constexpr double kSameHeight = 1e-9;

// The sample places along one axis, and how far their roundings may stand from them.
struct Places {
    std::vector<SamplePlace> at;
    std::vector<double> rounded;  // the places' roundings alone, packed closer for Within
    double error = 0;
};

Places PlacesBetween(std::int32_t count, double low, double high) {
    Places places;
    places.at.reserve(static_cast<std::size_t>(count));
    for (std::int32_t index = 0; index < count; ++index) {
        places.at.push_back(PlaceBetween(low, high, index, count - 1));
        places.rounded.push_back(places.at.back().rounded);
        places.error = std::max(places.error, places.at.back().error);
    }
    return places;
}

// The indices of the places whose rounding lies within [low, high], as far as it may miss them: the
// first and the one after the last. Worked out from the step, then made exact against the places'
// roundings themselves.
std::pair<std::size_t, std::size_t> Within(const Places& places, double low, double high) {
    low -= places.error;
    high += places.error;
    const std::vector<double>& at = places.rounded;
    const std::size_t count = at.size();
    const double step = (at.back() - at.front()) / static_cast<double>(count - 1);
    const auto near = [&](double place) {
        const double index = (place - at.front()) / step;
        return index <= 0 ? std::size_t{0} : std::min(static_cast<std::size_t>(index), count - 1);
    };
    std::size_t first = near(low);
    while (first > 0 && at[first - 1] >= low) --first;
    while (first < count && at[first] < low) ++first;
    std::size_t after = std::max(first, near(high));
    while (after < count && at[after] <= high) ++after;
    while (after > first && at[after - 1] > high) --after;
    return {first, after};
}

class Sampler {
  public:
    Sampler(GridSize size, const GroundBox& box, double tolerance, double* heights)
        : xs_(PlacesBetween(size.columns, box.x0, box.x1)),
          ys_(PlacesBetween(size.rows, box.y0, box.y1)),
          tolerance_(tolerance),
          heights_(heights),
          folded_((static_cast<std::size_t>(size.columns) * static_cast<std::size_t>(size.rows) + 63) / 64) {}

    void Triangle(GroundPoint a, GroundPoint b, GroundPoint c) {
        const int turn = Orient(At(a), At(b), At(c)).sign;
        if (turn == 0) return;  // on edge: it holds no ground
        if (turn < 0) std::swap(b, c);
        const auto [i0, i1] = Within(xs_, std::min({a.x, b.x, c.x}), std::max({a.x, b.x, c.x}));
        const auto [j0, j1] = Within(ys_, std::min({a.y, b.y, c.y}), std::max({a.y, b.y, c.y}));
        for (std::size_t j = j0; j < j1; ++j) {
            for (std::size_t i = i0; i < i1; ++i) Point(a, b, c, i, j);
        }
    }

    std::int64_t Folded() const {
        std::int64_t count = 0;
        for (const std::uint64_t word : folded_) count += __builtin_popcountll(word);
        return count;
    }

  private:
    static PlanePosition At(const GroundPoint& point) { return {point.x, point.y}; }

    // Point (i, j), when the triangle a, b, c (counterclockwise) holds it.
    void Point(const GroundPoint& a, const GroundPoint& b, const GroundPoint& c, std::size_t i,
               std::size_t j) {
        const SamplePlace& x = xs_.at[i];
        const SamplePlace& y = ys_.at[j];
        const Orientation wa = Orient(At(b), At(c), x, y);
        const Orientation wb = Orient(At(c), At(a), x, y);
        const Orientation wc = Orient(At(a), At(b), x, y);
        if (wa.sign < 0 || wb.sign < 0 || wc.sign < 0) return;
        Hold(i, j, Interpolate(a, b, c, wa, wb, wc));
    }

    // Linear within the triangle; at a corner, exactly the corner's height.
    static double Interpolate(const GroundPoint& a, const GroundPoint& b, const GroundPoint& c,
                              Orientation wa, Orientation wb, Orientation wc) {
        if (wb.sign == 0 && wc.sign == 0) return a.height;
        if (wc.sign == 0 && wa.sign == 0) return b.height;
        if (wa.sign == 0 && wb.sign == 0) return c.height;
        // On an edge, the corner across from it weighs nothing.
        const double da = wa.sign == 0 ? 0 : wa.determinant;
        const double db = wb.sign == 0 ? 0 : wb.determinant;
        const double dc = wc.sign == 0 ? 0 : wc.determinant;
        const double height = (da * a.height + db * b.height + dc * c.height) / (da + db + dc);
        // Rounding may carry a plateau's samples a hair past its height, where the automatic range
        // would clip them.
        return std::clamp(height, std::min({a.height, b.height, c.height}),
                          std::max({a.height, b.height, c.height}));
    }

    void Hold(std::size_t i, std::size_t j, double height) {
        const std::size_t index = j * xs_.at.size() + i;
        double& held = heights_[index];
        if (std::isnan(held)) {
            held = height;
            return;
        }
        if (std::abs(height - held) > tolerance_) folded_[index / 64] |= std::uint64_t{1} << (index % 64);
        held = std::max(held, height);
    }

    const Places xs_;
    const Places ys_;
    const double tolerance_;
    double* heights_;
    std::vector<std::uint64_t> folded_;  // a bit a point
};

}  // namespace

Samples SampleMesh(const Mesh& mesh, GridSize size) {
    Samples samples;
    const std::size_t count = static_cast<std::size_t>(size.columns) * static_cast<std::size_t>(size.rows);
    LargeArray<double> heights = MakeLargeArray<double>(count);
    if (!heights) {
        samples.outOfMemory = true;
        return samples;
    }
    std::fill(heights.get(), heights.get() + count, std::numeric_limits<double>::quiet_NaN());
    Sampler sampler(size, mesh.box, kSameHeight * (mesh.highest - mesh.lowest), heights.get());
    mesh.points.WithLookup([&](auto points) {
        for (const MeshObject& object : mesh.objects) {
            for (std::uint64_t face = 0; face < object.faceCount;) {
                const std::span<const MeshFace> faces = mesh.faces.RunFrom(object.firstFace + face);
                for (const MeshFace& corners :
                     faces.first(std::min<std::uint64_t>(faces.size(), object.faceCount - face))) {
                    const auto point = [&](std::uint32_t vertex) {
                        return points[object.firstVertex + vertex];
                    };
                    sampler.Triangle(point(corners.a), point(corners.b), point(corners.c));
                    ++face;
                }
            }
        }
    });
    samples.empty =
        std::count_if(heights.get(), heights.get() + count, [](double height) { return std::isnan(height); });
    samples.folded = sampler.Folded();
    samples.heights = HeightList::Adopt(std::move(heights), count);
    return samples;
}

GridSize DefaultSampleSize(std::uint64_t usedVertices, const GroundBox& box) {
    const double aspect = (box.x1 - box.x0) / (box.y1 - box.y0);
    const double points = static_cast<double>(usedVertices);
    const auto side = [](double length) {
        return static_cast<std::int32_t>(std::clamp(std::round(length), 2.0, double{kLargestImageSide}));
    };
    double width = std::sqrt(points * aspect);
    double height = std::sqrt(points / aspect);
    // A strip too narrow for two samples across gets two, and the rest of the points along it: its
    // proportions would give it many times more samples than points.
    if (std::round(height) < 2)
        width = points / 2;
    else if (std::round(width) < 2)
        height = points / 2;
    return {side(width), side(height)};
}

}  // namespace tessiloom
