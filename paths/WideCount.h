// Path counts that do not overflow: a double mantissa and a separate binary
// exponent. Both engines hold counts this way for a source whose plain
// double counts reached infinity, and call these functions, so that the two
// agree to the bit.
//
// Wherever plain doubles do not overflow, these give their very bits:
// counts are 0 or integers >= 1, so normal, and rounding a sum or a quotient
// to 53 bits does not change when both operands are scaled by powers of two.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "paths/OrderedMath.h"

// mantissa * 2^exponent, normalised: mantissa in [0.5, 1), or 0 with
// exponent 0. Counts only grow by sums, so the exponent stays far below
// 2^62 (it grows by at most 1 per sum).
struct WideCount {
  double mantissa = 0.0;
  int64_t exponent = 0;
};

// The wide count of a finite plain count >= 0.
inline WideCount WideCount_Of(double count) {
  int e = 0;
  const double m = std::frexp(count, &e);  // 0 comes back with exponent 0
  return WideCount{m, e};
}

// a + b, rounded as the plain sum of their values rounds.
inline WideCount WideCount_Add(WideCount a, WideCount b) {
  if (b.mantissa == 0.0) return a;
  if (a.mantissa == 0.0) return b;
  if (a.exponent < b.exponent) std::swap(a, b);
  // Past 1100 binary places the smaller term is 0 here; it is below half a
  // unit in the last place of the larger from 55 places on, so the rounded
  // sum is the larger either way.
  const int64_t gap = a.exponent - b.exponent;
  const double smaller = gap > 1100 ? 0.0 : std::ldexp(b.mantissa, -static_cast<int>(gap));
  const WideCount sum = WideCount_Of(a.mantissa + smaller);
  return WideCount{sum.mantissa, a.exponent + sum.exponent};
}

// v / w as a double, rounded once as the plain quotient of their values:
// 0, infinity or NaN where that quotient is. A quotient below the normal
// range is divided there directly, so that it is not rounded twice.
inline double WideCount_Ratio(WideCount v, WideCount w) {
  // Beyond +-2200 the quotient is infinite or 0 whatever the mantissas.
  // From -1000 up, v's mantissa scaled by 2^d is exact (or overflows only
  // where the quotient does); below, both are scaled so that every quotient
  // not rounding to 0 comes from exact operands.
  const auto d = static_cast<int>(std::clamp<int64_t>(v.exponent - w.exponent, -2200, 2200));
  if (d < -1000) return DivOrdered(std::ldexp(v.mantissa, d + 1000), std::ldexp(w.mantissa, 1000));
  return DivOrdered(std::ldexp(v.mantissa, d), w.mantissa);
}
