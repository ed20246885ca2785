// The plan of a sampled betweenness run: which sources, how many of them
// for a promised error, and when an adaptive run may stop. Pure functions of
// their arguments, with no engine in them; every double is computed from
// IEEE additions, multiplications, divisions and square roots in a fixed
// order (the logarithm too: see Sampling_Log), so the same arguments give the
// same sources, counts and decisions on every machine and compiler.
//
// The estimate. With n nodes and the sample S of K sources, node v's score
// is estimated as (n/K) * sum over s in S of delta_s(v), delta_s(v) being
// the dependency of source s on v (the score's share from source s), and
// its normalised estimate as that over (n-1)(n-2). Written as a mean,
//   b^(v) = (1/K) * sum over s in S of X_s(v),
//   X_s(v) = n * delta_s(v) / ((n-1)(n-2)).
// Each of the at most n-2 targets t other than s and v adds a share in
// [0, 1] to delta_s(v), and delta_v(v) = 0, so delta_s(v) lies in [0, n-2]
// (a leaf of a star reaches n-2 through the centre) and X_s(v) in [0, R],
// R = n/(n-1). For a source drawn uniformly, E[X_s(v)] = b(v), the exact
// normalised score.
//
// --epsilon E [--delta D]: Hoeffding's inequality, which holds for draws
// without replacement as for independent ones, gives
//   P(|b^(v) - b(v)| >= E) <= 2 exp(-2 K E^2 / R^2)
// for each node, and the union bound over the n nodes makes the chance that
// any node misses by E or more at most D when
//   K = ceil( (n/(n-1))^2 * ln(2n/D) / (2 E^2) ),   at most n,
// K = n being the exact run. Computed as written, left to right: r = n/(n-1),
// then r * r * ln(2n/D) / (2 * E * E). Below 3 nodes nothing is normalised
// and K = n. D defaults to 0.1: K grows only with ln(1/D) (0.01 costs 14%
// more sources than 0.1 at n = 10^6: 95570 against 84057 for E = 0.01), and
// the bound is loose on real graphs (the worst-case range, a union over
// every node), so the errors met run well below E already at D = 0.1 (on a
// random tree of 20000 nodes, 20 seeds, E = 0.1, 0.05, 0.02: at most 0.3 E).
//
// The draw. A generator of its own (xoshiro256**, seeded through splitmix64)
// and an unbiased bounded draw (multiply and reject), both specified here bit
// for bit, shuffle 0..n-1 from the front (Fisher-Yates): draw i picks
// uniformly among the n-i sources not yet drawn. So the first k drawn are a
// uniform sample of k for every k, and a longer draw with the same seed
// begins with the shorter one: an adaptive run that checks after k = 2, 4,
// 8, ... sources has, at each check, a uniform sample. The sources of a run
// are folded in ascending order, so they are handed out sorted.
//
// The adaptive stop (--epsilon with --adaptive). D is split in halves. One
// half pays for a cap: Hoeffding's K with D/2, where the run stops in any
// case. The other pays for checks at powers of two below the cap: at each,
// with m checks and n nodes, every node's interval is
//   |b^(v) - b(v)| <= s(v) sqrt(2 rho_k L / k) + kappa R L / k,
//   L = ln(20 n m / D), kappa = 7/3 + 3/sqrt(2),
//   rho_k = 1 - (k-1)/n for k <= n/2, else (1 - k/n)(1 + 1/k),
// s(v)^2 = (1/k) sum (X_s(v) - b^(v))^2, the empirical Bernstein-Serfling
// inequality for sampling without replacement (Bardenet and Maillard,
// Bernoulli 21(3), 2015, Theorem 3, which fails with chance at most 5 delta
// on each side; here 10 delta = D / (2 n m)). The run stops at the first
// check where every node's interval is within E. The union over nodes and
// checks keeps the chance of stopping with some node off by more than E at
// most D/2, and the cap adds at most D/2. The checks are the powers of two
// k from 2 below the cap whose fixed term kappa R L / k is below E (L taken
// over all those powers), since no other could pass; when none is left the
// plan is Hoeffding's K with all of D and no check. So the checks pay off
// for small E (below about 0.08: the fixed term grows as 1/k, Hoeffding's
// as 1/sqrt(k)), and at 0.1 an adaptive run is a fixed one.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The defaults of --seed and --delta.
constexpr uint64_t kSampleSeed = 1;
constexpr double kSampleDelta = 0.1;

// xoshiro256** state.
struct SampleStream {
  uint64_t s[4];
};

// The stream of seed: its four words are the first four outputs of
// splitmix64 started at seed.
SampleStream Sampling_Stream(uint64_t seed);

// The next 64 bits of stream (xoshiro256**).
uint64_t Sampling_Next(SampleStream& stream);

// Uniform in [0, bound), bound >= 1: the high word of Next * bound, drawn
// again while the low word falls below 2^64 mod bound (so no value is more
// likely than another).
uint64_t Sampling_Below(SampleStream& stream, uint64_t bound);

// The first count sources of the shuffle of 0..n-1 that seed gives, in the
// order drawn; 0 <= count <= n. A prefix of the draw with a larger count.
// Takes 4n bytes while it draws (the shuffled array).
std::vector<int32_t> Sampling_DrawOrder(int32_t n, int32_t count, uint64_t seed);

// The same sources in ascending order: the sample of a --sample run.
std::vector<int32_t> Sampling_Sources(int32_t n, int32_t count, uint64_t seed);

// Throws RunError (status 2) unless E > 0 is a finite number and 0 < D < 1.
void Sampling_CheckBound(double epsilon, double delta);

// K of --epsilon E --delta D over n nodes (formula above); valid E and D.
int32_t Sampling_HoeffdingCount(int32_t n, double epsilon, double delta);

// The checks of an adaptive run: at checkpoints[i] sources; the last is the
// cap, where the run stops whatever the check says.
struct AdaptivePlan {
  int32_t n = 0;
  double epsilon = 0;
  double delta = 0;
  std::vector<int32_t> checkpoints;  // powers of two below the cap, then the cap
  double logTerm = 0;                // L above
};

// The plan for n nodes, E and D (valid ones).
AdaptivePlan Sampling_AdaptivePlan(int32_t n, double epsilon, double delta);

// The widest of the nodes' intervals above after the first k sources of the
// draw, k = plan.checkpoints[check] (not the cap): sums[v] and squares[v] are
// the sums over those sources of delta_s(v) and delta_s(v)^2, the raw
// dependencies. Infinite when a sum is negative or not finite, or sums[v]
// exceeds k(n-2): inputs outside the bound's premises prove nothing.
double Sampling_AdaptiveWidth(const AdaptivePlan& plan, size_t check, std::span<const double> sums,
                              std::span<const double> squares);

// Whether the run stops at check: the cap, or every interval within E.
bool Sampling_MayStop(const AdaptivePlan& plan, size_t check, std::span<const double> sums,
                      std::span<const double> squares);

// ln(x) for finite x > 0 from IEEE arithmetic alone (an atanh series on the
// mantissa), within a few units in the last place, the same on every
// machine; libm's log may differ in the last bit from one library to another.
double Sampling_Log(double x);
