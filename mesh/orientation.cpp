#include "mesh/orientation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <initializer_list>

namespace tessiloom {
namespace {

// A sum of two doubles, exactly: `high` the rounded sum, `low` what rounding left out.
struct Pair {
    double high;
    double low;
};

Pair TwoSum(double a, double b) {
    const double sum = a + b;
    const double bPart = sum - a;
    const double aPart = sum - bPart;
    return {sum, (a - aPart) + (b - bPart)};
}

// A double in two halves of 26 bits, whose products are exact.
Pair Split(double a) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double high = c - (c - a);
    return {high, a - high};
}

Pair TwoProduct(double a, double b) {
    const double product = a * b;
    const Pair x = Split(a);
    const Pair y = Split(b);
    const double error = product - x.high * y.high - x.low * y.high - x.high * y.low;
    return {product, x.low * y.low - error};
}

// A sum of doubles kept exactly, as a nonoverlapping expansion in increasing order of magnitude, its
// zero terms dropped: no more of them than it was given values, at most kTerms.
template <std::size_t kTerms>
class Expansion {
  public:
    void Add(double value) {
        double carry = value;
        std::size_t kept = 0;
        for (std::size_t index = 0; index < count_; ++index) {
            const Pair sum = TwoSum(carry, terms_[index]);
            if (sum.low != 0) terms_[kept++] = sum.low;
            carry = sum.high;
        }
        if (carry != 0) {
            assert(kept < kTerms);  // each value added makes at most one more term
            terms_[kept++] = carry;
        }
        count_ = kept;
    }
    // Adds the exact product of the value and `factor`.
    void AddProduct(double value, double factor) {
        const Pair product = TwoProduct(value, factor);
        Add(product.high);
        Add(product.low);
    }
    // Adds the exact product of this sum and `factor` to `sum`.
    template <std::size_t kSumTerms>
    void AddScaledTo(Expansion<kSumTerms>& sum, double factor) const {
        for (std::size_t index = 0; index < count_; ++index) sum.AddProduct(terms_[index], factor);
    }
    int Sign() const { return count_ == 0 ? 0 : terms_[count_ - 1] > 0 ? 1 : -1; }

  private:
    double terms_[kTerms];  // only the first count_ are ever read
    std::size_t count_ = 0;
};

// Adds the exact product of the exact differences (a1 - a0) and (b1 - b0), times `factor` (1 or -1).
template <std::size_t kTerms>
void AddProduct(Expansion<kTerms>& sum, double a1, double a0, double b1, double b0, double factor) {
    const Pair a = TwoSum(a1, -a0);
    const Pair b = TwoSum(b1, -b0);
    for (const double left : {a.high, a.low}) {
        for (const double right : {b.high, b.low}) sum.AddProduct(factor * left, right);
    }
}

// The exact sign of the determinant of a, b and c.
int ExactSign(PlanePosition a, PlanePosition b, PlanePosition c) {
    Expansion<16> exact;
    AddProduct(exact, b.x, a.x, c.y, a.y, 1);
    AddProduct(exact, b.y, a.y, c.x, a.x, -1);
    return exact.Sign();
}

}  // namespace

Orientation Orient(PlanePosition a, PlanePosition b, PlanePosition c) {
    const double left = (b.x - a.x) * (c.y - a.y);
    const double right = (b.y - a.y) * (c.x - a.x);
    const double determinant = left - right;
    if (std::abs(determinant) > kOrientationError * (std::abs(left) + std::abs(right)))
        return {determinant, determinant > 0 ? 1 : -1};
    return {determinant, ExactSign(a, b, c)};
}

SamplePlace PlaceBetween(double low, double high, std::int32_t index, std::int32_t steps) {
    SamplePlace place{low, high, double(index), double(steps), 0, 0};
    if (index == steps) {
        place.rounded = high;
        return place;
    }
    place.rounded = low + index * (high - low) / steps;
    // Each of the four roundings errs by at most half a unit in the last place of a value no larger
    // than twice the larger end: eight such units bound them all.
    Expansion<6> miss;  // the place, times steps, less the rounded place times steps
    miss.AddProduct(low, place.steps - place.index);
    miss.AddProduct(high, place.index);
    miss.AddProduct(-place.rounded, place.steps);
    if (miss.Sign() != 0) place.error = 0x1p-50 * std::max(std::abs(low), std::abs(high));
    return place;
}

// The exact sign of the determinant of a, b and the sample at (x, y). With A = b.x - a.x and B = b.y
// - a.y, the determinant times both axes' steps is
//   x.steps y.steps (A (y.low - a.y) - B (x.low - a.x)) + x.steps y.index A (y.high - y.low)
//   - y.steps x.index B (x.high - x.low),
// each term a sum of exact products of doubles and whole numbers.
int ExactSign(PlanePosition a, PlanePosition b, const SamplePlace& x, const SamplePlace& y) {
    if (x.error == 0 && y.error == 0) return ExactSign(a, b, {x.rounded, y.rounded});
    Expansion<16> corner;
    Expansion<8> alongY, alongX;
    AddProduct(corner, b.x, a.x, y.low, a.y, 1);
    AddProduct(corner, b.y, a.y, x.low, a.x, -1);
    AddProduct(alongY, b.x, a.x, y.high, y.low, 1);
    AddProduct(alongX, b.y, a.y, x.high, x.low, -1);
    Expansion<64> sum;
    corner.AddScaledTo(sum, x.steps * y.steps);
    alongY.AddScaledTo(sum, x.steps * y.index);
    alongX.AddScaledTo(sum, y.steps * x.index);
    return sum.Sign();
}

}  // namespace tessiloom
