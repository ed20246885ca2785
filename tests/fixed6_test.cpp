// The fixed-point formatter against the C library's "%f", byte for byte.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "library/Fixed6.h"

namespace {

std::string Printf(double v) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%f", v);
  return buf;
}

std::string Ours(double v) {
  char buf[kFixed6Widest];
  return std::string(buf, Fixed6_Write(buf, v));
}

TEST(Fixed6, SpecialAndBoundaryValues) {
  const double cases[] = {0.0, -0.0, 1.0, -1.0, 0.5, 1e-7, -1e-7, 5e-7, 4.9999999e-7, 0.0078125,
                          0.0234375, 2.5e-7, 1.5e-6, 0.1234565, 123456789.123, 1e300, -1e300,
                          8.8e12, 8.7e12, 1e13, 1e15, 9007199254740993.0, 1e-300, 5e-324,
                          std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), std::nan(""), -std::nan("")};
  for (const double v : cases) EXPECT_EQ(Printf(v), Ours(v)) << std::hexfloat << v;
}

// Multiples of 2^-7 and of 2^-k near millionth boundaries produce exact
// halves, where rounding must go to the even neighbour.
TEST(Fixed6, ExactTiesRoundToEven) {
  for (int k = 0; k < 4096; ++k) {
    for (int shift = 7; shift <= 12; ++shift) {
      const double v = std::ldexp(static_cast<double>(2 * k + 1), -shift);
      ASSERT_EQ(Printf(v), Ours(v)) << std::hexfloat << v;
      ASSERT_EQ(Printf(-v), Ours(-v)) << std::hexfloat << -v;
    }
  }
}

TEST(Fixed6, RandomDoublesOfEveryMagnitude) {
  std::mt19937_64 rng(6);
  for (int i = 0; i < 300000; ++i) {
    double v;
    if (i % 3 == 0) {
      v = std::bit_cast<double>(rng());  // every exponent, NaN payloads included
    } else if (i % 3 == 1) {
      v = std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 90));
    } else {
      v = static_cast<double>(rng() % 2000000) / 1000000.0 + static_cast<double>(rng() % 100);
    }
    if (rng() & 1) v = -v;
    ASSERT_EQ(Printf(v), Ours(v)) << std::hexfloat << v;
  }
}

}  // namespace
