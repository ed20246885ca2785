// Wide path counts against plain doubles, where those hold the value, and
// against exact powers of two beyond them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "paths/OrderedMath.h"
#include "paths/WideCount.h"

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameCount(WideCount a, WideCount b) {
  return SameBits(a.mantissa, b.mantissa) && a.exponent == b.exponent;
}

// 2^e as a wide count, built by sums as the searches build counts.
WideCount PowerOfTwo(int e) {
  WideCount c = WideCount_Of(1.0);
  for (int k = 0; k < e; ++k) c = WideCount_Add(c, c);
  return c;
}

// A count of 53 random bits in [2^low, 2^(high+1)).
double RandomCount(std::mt19937_64& rng, int low, int high) {
  const double fraction = static_cast<double>(rng() >> 11) * 0x1p-53;  // [0, 1)
  return std::ldexp(1.0 + fraction, low + static_cast<int>(rng() % (high - low + 1)));
}

// Sums and ratios of counts that plain doubles hold: the very bits of the
// plain operations, ratios far below the normal range included (a count
// of about 2^1023 over one of a few units), where rounding twice would show.
TEST(WideCount, GivesThePlainBitsWherePlainCountsHold) {
  std::mt19937_64 rng(2024);
  int belowNormal = 0;
  for (int round = 0; round < 200000; ++round) {
    // Near each other, anywhere, small against any, a unit against 2^1023.
    const int lowA[] = {0, 0, 0, 0}, highA[] = {60, 1023, 8, 1};
    const int lowB[] = {0, 0, 0, 1023}, highB[] = {60, 1023, 1023, 1023};
    const int kind = round % 4;
    const double a = RandomCount(rng, lowA[kind], highA[kind]);
    const double b = RandomCount(rng, lowB[kind], highB[kind]);
    const double sum = a + b;
    if (sum != INFINITY) {
      ASSERT_TRUE(SameCount(WideCount_Of(sum), WideCount_Add(WideCount_Of(a), WideCount_Of(b))))
          << a << " + " << b;
    }
    for (const auto& [v, w] : {std::pair{a, b}, std::pair{b, a}}) {
      const double plain = DivOrdered(v, w);
      if (plain != 0.0 && plain < std::numeric_limits<double>::min()) ++belowNormal;
      ASSERT_TRUE(SameBits(plain, WideCount_Ratio(WideCount_Of(v), WideCount_Of(w))))
          << v << " / " << w;
    }
  }
  EXPECT_GT(belowNormal, 1000);  // the subnormal range was reached
}

TEST(WideCount, ZeroCountsDivideAsPlainZeroes) {
  const WideCount zero;
  const WideCount three = WideCount_Of(3.0);
  EXPECT_TRUE(SameCount(three, WideCount_Add(zero, three)));
  EXPECT_TRUE(SameCount(three, WideCount_Add(three, zero)));
  EXPECT_TRUE(SameBits(DivOrdered(0.0, 3.0), WideCount_Ratio(zero, three)));
  EXPECT_TRUE(SameBits(DivOrdered(3.0, 0.0), WideCount_Ratio(three, zero)));
  EXPECT_TRUE(SameBits(DivOrdered(0.0, 0.0), WideCount_Ratio(zero, zero)));
}

// Beyond the plain range, quotients of exact powers of two (and 3 times one)
// are known exactly, down to the smallest subnormal and its rounding.
TEST(WideCount, RatiosBeyondThePlainRange) {
  const double kMin = std::numeric_limits<double>::denorm_min();  // 2^-1074
  const WideCount threeTimes1099 = WideCount_Add(PowerOfTwo(1100), PowerOfTwo(1099));
  struct Case {
    WideCount v;
    WideCount w;
    double expected;
  };
  const Case cases[] = {
      {PowerOfTwo(2000), PowerOfTwo(2000), 1.0},
      {WideCount_Add(PowerOfTwo(2000), PowerOfTwo(1999)), PowerOfTwo(2000), 1.5},
      {PowerOfTwo(2000), PowerOfTwo(1000), 0x1p1000},
      {PowerOfTwo(2000), PowerOfTwo(977), 0x1p1023},
      {PowerOfTwo(2000), PowerOfTwo(976), INFINITY},
      {PowerOfTwo(1000), PowerOfTwo(2022), 0x1p-1022},
      {PowerOfTwo(1100), PowerOfTwo(2174), kMin},
      {PowerOfTwo(1100), PowerOfTwo(2175), 0.0},         // half the least: to even, 0
      {threeTimes1099, PowerOfTwo(2175), kMin},          // 1.5 of the least: 1
      {threeTimes1099, PowerOfTwo(2174), 2 * kMin},      // 3 of the least, exact
      {PowerOfTwo(1), PowerOfTwo(5000), 0.0},
      {PowerOfTwo(5000), PowerOfTwo(1), INFINITY},
      // Exponents far apart, past the range of int.
      {WideCount{0.5, int64_t{1} << 40}, WideCount_Of(1.0), INFINITY},
      {WideCount_Of(1.0), WideCount{0.5, int64_t{1} << 40}, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(SameBits(c.expected, WideCount_Ratio(c.v, c.w)))
        << c.v.exponent << " over " << c.w.exponent << ": " << WideCount_Ratio(c.v, c.w);
  }
}

// A sum far below the larger term's last place leaves it as it is.
TEST(WideCount, SumsOfTermsFarApart) {
  const WideCount big = PowerOfTwo(5000);
  EXPECT_TRUE(SameCount(big, WideCount_Add(big, WideCount_Of(1.0))));
  EXPECT_TRUE(SameCount(big, WideCount_Add(WideCount_Of(1.0), big)));
  EXPECT_TRUE(SameCount(big, WideCount_Add(big, PowerOfTwo(5000 - 54))));
  const WideCount above = WideCount_Add(big, PowerOfTwo(5000 - 52));
  EXPECT_TRUE(SameCount(WideCount{0.5 + 0x1p-53, 5001}, above));
}

}  // namespace
