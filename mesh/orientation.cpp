#include "mesh/orientation.h"

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

// A sum of doubles kept exactly, as a nonoverlapping expansion in increasing order of magnitude.
class Expansion {
  public:
    void Add(double value) {
        double carry = value;
        for (std::size_t index = 0; index < count_; ++index) {
            const Pair sum = TwoSum(carry, terms_[index]);
            terms_[index] = sum.low;
            carry = sum.high;
        }
        terms_[count_++] = carry;
    }
    int Sign() const {
        for (std::size_t index = count_; index-- > 0;) {
            if (terms_[index] != 0) return terms_[index] > 0 ? 1 : -1;
        }
        return 0;
    }

  private:
    double terms_[17] = {};
    std::size_t count_ = 0;
};

// Adds the exact product of the exact differences (a1 - a0) and (b1 - b0), times `factor` (1 or -1).
void AddProduct(Expansion& sum, double a1, double a0, double b1, double b0, double factor) {
    const Pair a = TwoSum(a1, -a0);
    const Pair b = TwoSum(b1, -b0);
    for (const double left : {a.high, a.low}) {
        for (const double right : {b.high, b.low}) {
            const Pair product = TwoProduct(left, right);
            sum.Add(factor * product.high);
            sum.Add(factor * product.low);
        }
    }
}

// Beyond this share of the terms' magnitude, rounding cannot have turned the determinant's sign.
constexpr double kErrorBound = (3.0 + 16.0 * 0x1p-53) * 0x1p-53;

}  // namespace

Orientation Orient(PlanePosition a, PlanePosition b, PlanePosition c) {
    const double left = (b.x - a.x) * (c.y - a.y);
    const double right = (b.y - a.y) * (c.x - a.x);
    const double determinant = left - right;
    if (std::abs(determinant) > kErrorBound * (std::abs(left) + std::abs(right)))
        return {determinant, determinant > 0 ? 1 : -1};
    Expansion exact;
    AddProduct(exact, b.x, a.x, c.y, a.y, 1);
    AddProduct(exact, b.y, a.y, c.x, a.x, -1);
    return {determinant, exact.Sign()};
}

}  // namespace tessiloom
