#include "library/Sampling.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numeric>

#include "graph/RunError.h"

namespace {

uint64_t SplitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

inline uint64_t RotateLeft(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// The full 128-bit product a * b as its high and low words, from 32-bit
// halves, so that no compiler extension is needed.
void Multiply(uint64_t a, uint64_t b, uint64_t& high, uint64_t& low) {
  const uint64_t a0 = a & 0xffffffffULL, a1 = a >> 32;
  const uint64_t b0 = b & 0xffffffffULL, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffULL) + (p10 & 0xffffffffULL);
  low = (middle << 32) | (p00 & 0xffffffffULL);
  high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
}

constexpr double kLn2 = 0.6931471805599453094;
constexpr double kSqrtHalf = 0.70710678118654752440;
// kappa = 7/3 + 3/sqrt(2), as a double.
constexpr double kKappa = 7.0 / 3.0 + 3.0 * kSqrtHalf;

}  // namespace

SampleStream Sampling_Stream(uint64_t seed) {
  SampleStream stream;
  for (uint64_t& word : stream.s) word = SplitMix64(seed);
  return stream;
}

uint64_t Sampling_Next(SampleStream& stream) {
  uint64_t* s = stream.s;
  const uint64_t result = RotateLeft(s[1] * 5, 7) * 9;
  const uint64_t t = s[1] << 17;
  s[2] ^= s[0];
  s[3] ^= s[1];
  s[1] ^= s[2];
  s[0] ^= s[3];
  s[2] ^= t;
  s[3] = RotateLeft(s[3], 45);
  return result;
}

uint64_t Sampling_Below(SampleStream& stream, uint64_t bound) {
  assert(bound >= 1);
  uint64_t high, low;
  Multiply(Sampling_Next(stream), bound, high, low);
  if (low < bound) {
    const uint64_t threshold = (0 - bound) % bound;  // 2^64 mod bound
    while (low < threshold) Multiply(Sampling_Next(stream), bound, high, low);
  }
  return high;
}

std::vector<int32_t> Sampling_DrawOrder(int32_t n, int32_t count, uint64_t seed) {
  assert(n >= 0 && count >= 0 && count <= n);
  std::vector<int32_t> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  SampleStream stream = Sampling_Stream(seed);
  for (int32_t i = 0; i < count; ++i) {
    const auto left = static_cast<uint64_t>(n - i);
    const auto j = static_cast<size_t>(i) + static_cast<size_t>(Sampling_Below(stream, left));
    std::swap(order[static_cast<size_t>(i)], order[j]);
  }
  order.resize(static_cast<size_t>(count));
  return order;
}

std::vector<int32_t> Sampling_Sources(int32_t n, int32_t count, uint64_t seed) {
  std::vector<int32_t> sources = Sampling_DrawOrder(n, count, seed);
  std::sort(sources.begin(), sources.end());
  return sources;
}

void Sampling_CheckBound(double epsilon, double delta) {
  if (!(epsilon > 0.0) || !std::isfinite(epsilon)) {
    throw RunError(kStatusUsage, "--epsilon must be a number above 0");
  }
  if (!(delta > 0.0 && delta < 1.0)) {
    throw RunError(kStatusUsage, "--delta must be a number above 0 and below 1");
  }
}

double Sampling_Log(double x) {
  assert(x > 0.0 && std::isfinite(x));
  int exponent = 0;
  double m = std::frexp(x, &exponent);  // x = m * 2^exponent, m in [0.5, 1): exact
  if (m < kSqrtHalf) {
    m *= 2.0;
    exponent -= 1;
  }
  // ln m = 2 atanh(z), z = (m-1)/(m+1), |z| <= 0.172: 2 z^(2j+1)/(2j+1)
  // falls below 2^-60 relative by j = 12.
  const double z = (m - 1.0) / (m + 1.0);
  const double z2 = z * z;
  double term = z;
  double sum = 0.0;
  for (int j = 0; j <= 12; ++j) {
    sum += term / static_cast<double>(2 * j + 1);
    term *= z2;
  }
  return 2.0 * sum + static_cast<double>(exponent) * kLn2;
}

int32_t Sampling_HoeffdingCount(int32_t n, double epsilon, double delta) {
  assert(n >= 0);
  if (n < 3) return n;
  const double nodes = static_cast<double>(n);
  const double r = nodes / (nodes - 1.0);
  const double count = r * r * Sampling_Log(2.0 * nodes / delta) / (2.0 * epsilon * epsilon);
  if (!(count < nodes)) return n;  // also when E^2 underflows: the exact run
  return std::max<int32_t>(1, static_cast<int32_t>(std::ceil(count)));
}

AdaptivePlan Sampling_AdaptivePlan(int32_t n, double epsilon, double delta) {
  AdaptivePlan plan;
  plan.n = n;
  plan.epsilon = epsilon;
  plan.delta = delta;
  const int32_t cap = Sampling_HoeffdingCount(n, epsilon, delta / 2.0);
  std::vector<int32_t> candidates;
  for (int64_t k = 2; k < cap; k *= 2) candidates.push_back(static_cast<int32_t>(k));
  // A check passes only if its fixed term kappa R L / k is within E; keep
  // those that could, with L of all the candidates (fewer checks only make
  // L smaller, so a kept check stays possible).
  const double nodes = static_cast<double>(n);
  const double range = nodes / (nodes - 1.0);
  if (!candidates.empty()) {
    const auto all = static_cast<double>(candidates.size());
    const double logAll = Sampling_Log(20.0 * nodes * all / delta);
    for (const int32_t k : candidates) {
      if (kKappa * range * logAll / static_cast<double>(k) < epsilon) plan.checkpoints.push_back(k);
    }
  }
  if (plan.checkpoints.empty()) {  // no check could pass: Hoeffding's K with all of D
    plan.checkpoints.push_back(Sampling_HoeffdingCount(n, epsilon, delta));
    return plan;
  }
  const auto checks = static_cast<double>(plan.checkpoints.size());
  plan.logTerm = Sampling_Log(20.0 * nodes * checks / delta);
  plan.checkpoints.push_back(cap);
  return plan;
}

double Sampling_AdaptiveWidth(const AdaptivePlan& plan, size_t check, std::span<const double> sums,
                              std::span<const double> squares) {
  assert(check + 1 < plan.checkpoints.size());
  assert(sums.size() == squares.size());
  constexpr double kNever = INFINITY;
  const double n = static_cast<double>(plan.n);
  const double k = static_cast<double>(plan.checkpoints[check]);
  const double range = n / (n - 1.0);
  const double scale = n / ((n - 1.0) * (n - 2.0));  // X = scale * delta
  const double rho = k <= n / 2.0 ? 1.0 - (k - 1.0) / n : (1.0 - k / n) * (1.0 + 1.0 / k);
  const double spread = std::sqrt(2.0 * rho * plan.logTerm / k);
  const double floor = kKappa * range * plan.logTerm / k;
  const double most = k * (n - 2.0);
  double widest = floor;
  for (size_t v = 0; v < sums.size(); ++v) {
    const double s1 = sums[v], s2 = squares[v];
    if (!(s1 >= 0.0 && s1 <= most && s2 >= 0.0 && std::isfinite(s2))) return kNever;
    const double mean = s1 / k;
    const double variance = std::max(0.0, s2 / k - mean * mean) * (scale * scale);
    widest = std::max(widest, std::sqrt(variance) * spread + floor);
  }
  return widest;
}

bool Sampling_MayStop(const AdaptivePlan& plan, size_t check, std::span<const double> sums,
                      std::span<const double> squares) {
  if (check + 1 >= plan.checkpoints.size()) return true;
  return Sampling_AdaptiveWidth(plan, check, sums, squares) <= plan.epsilon;
}
