// The sampling plan: the generator and the draw bit for bit against values
// computed apart from this code, the draw as a uniform permutation prefix,
// Hoeffding's K against hand-computed values, and the adaptive stop against
// the exact scores of trees, whose dependencies have a closed form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <vector>

#include "graph/RunError.h"
#include "library/Sampling.h"

namespace {

TEST(SamplingDraw, GeneratorAndDrawGiveTheirFixedValues) {
  // From an independent implementation of splitmix64, xoshiro256** and the
  // multiply-and-reject draw (Python integers).
  SampleStream stream = Sampling_Stream(1);
  EXPECT_EQ(Sampling_Next(stream), 0xb3f2af6d0fc710c5ULL);
  EXPECT_EQ(Sampling_Next(stream), 0x853b559647364ceaULL);
  EXPECT_EQ(Sampling_Next(stream), 0x92f89756082a4514ULL);
  EXPECT_EQ(Sampling_Next(stream), 0x642e1c7bc266a3a7ULL);
  stream = Sampling_Stream(0x123456789abcdefULL);
  EXPECT_EQ(Sampling_Next(stream), 0xa2c2a42038d4ec3dULL);
  stream = Sampling_Stream(1);
  std::vector<uint64_t> small;
  for (int i = 0; i < 10; ++i) small.push_back(Sampling_Below(stream, 10));
  EXPECT_EQ(small, (std::vector<uint64_t>{7, 5, 5, 3, 6, 1, 0, 3, 8, 5}));
  stream = Sampling_Stream(7);
  const uint64_t large = (uint64_t{1} << 63) + 1;  // rejects almost half of all words
  EXPECT_EQ(Sampling_Below(stream, large), 6461677535414237997ULL);
  EXPECT_EQ(Sampling_Below(stream, large), 7744196453246319819ULL);
  EXPECT_EQ(Sampling_Below(stream, large), 9049029322324588832ULL);
  EXPECT_EQ(Sampling_DrawOrder(100, 20, 1),
            (std::vector<int32_t>{70, 52, 58, 40, 0, 18, 12, 42, 87, 59, 93, 96, 94, 71, 65, 90,
                                  22, 57, 21, 24}));
  EXPECT_EQ(Sampling_DrawOrder(10, 10, 42), (std::vector<int32_t>{0, 4, 7, 9, 3, 8, 5, 1, 2, 6}));
}

TEST(SamplingDraw, IsAPrefixOfOnePermutation) {
  for (const int32_t n : {1, 2, 7, 64, 1000}) {
    for (const uint64_t seed : {uint64_t{0}, uint64_t{1}, kSampleSeed, uint64_t{~0ULL}}) {
      const std::vector<int32_t> whole = Sampling_DrawOrder(n, n, seed);
      std::vector<int32_t> sorted = whole;
      std::sort(sorted.begin(), sorted.end());
      std::vector<int32_t> identity(static_cast<size_t>(n));
      std::iota(identity.begin(), identity.end(), 0);
      ASSERT_EQ(sorted, identity) << "n " << n;
      for (const int32_t count : {0, 1, n / 3, n - 1}) {
        if (count < 0) continue;
        const std::vector<int32_t> part = Sampling_DrawOrder(n, count, seed);
        ASSERT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << n << " " << count;
        std::vector<int32_t> ascending = part;
        std::sort(ascending.begin(), ascending.end());
        EXPECT_EQ(Sampling_Sources(n, count, seed), ascending);
      }
    }
  }
  EXPECT_NE(Sampling_DrawOrder(1000, 10, 1), Sampling_DrawOrder(1000, 10, 2));
}

// Chi-square statistic of counts against equal expectations.
double ChiSquare(const std::map<std::vector<int32_t>, int>& counts, int cells, int trials) {
  const double expected = static_cast<double>(trials) / cells;
  double chi = 0;
  for (const auto& [key, count] : counts) chi += (count - expected) * (count - expected) / expected;
  chi += (cells - static_cast<int>(counts.size())) * expected;  // cells never seen
  return chi;
}

TEST(SamplingDraw, EveryOrderedPrefixIsEquallyLikely) {
  // The first 2 of a draw of 4 from 6: 30 ordered pairs. Seeds are fixed,
  // so this cannot fail by chance from one run to the next; the bound is the
  // 99.9% point of chi-square with 29 degrees of freedom.
  constexpr int kTrials = 60000;
  std::map<std::vector<int32_t>, int> counts;
  for (int seed = 0; seed < kTrials; ++seed) {
    std::vector<int32_t> draw = Sampling_DrawOrder(6, 4, static_cast<uint64_t>(seed));
    draw.resize(2);
    counts[draw] += 1;
  }
  EXPECT_EQ(counts.size(), 30u);
  EXPECT_LT(ChiSquare(counts, 30, kTrials), 58.3);
}

TEST(SamplingDraw, BoundedDrawsStayInRangeWithoutBias) {
  SampleStream stream = Sampling_Stream(99);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(Sampling_Below(stream, 1), 0u);
  for (int i = 0; i < 1000; ++i) EXPECT_LT(Sampling_Below(stream, ~0ULL), ~0ULL);
  std::map<std::vector<int32_t>, int> counts;
  constexpr int kTrials = 30000;
  for (int i = 0; i < kTrials; ++i) {
    counts[{static_cast<int32_t>(Sampling_Below(stream, 3))}] += 1;
  }
  EXPECT_EQ(counts.size(), 3u);
  EXPECT_LT(ChiSquare(counts, 3, kTrials), 13.8);  // 99.9% point, 2 degrees of freedom
}

TEST(SamplingCount, HoeffdingCountMatchesHandComputedValues) {
  // K = ceil((n/(n-1))^2 ln(2n/D) / (2E^2)), at most n. For n = 17039,
  // E = 0.05, D = 0.1: (17039/17038)^2 = 1.000117..., ln(340780) = 12.7390...,
  // / 0.005 gives 2548.10, so 2549.
  const struct {
    int32_t n;
    double epsilon, delta;
    int32_t k;
  } cases[] = {
      {17039, 0.05, 0.1, 2549}, {17039, 0.1, 0.1, 638},   {1000000, 0.01, 0.1, 84057},
      {1000000, 0.01, 0.01, 95570}, {2000, 0.1, 0.05, 566}, {1000, 0.05, 0.1, 1000},
      {100, 0.05, 0.1, 100},   {3, 0.5, 0.5, 3},        {2, 0.1, 0.1, 2},
      {0, 0.1, 0.1, 0},        {1000, 10.0, 0.1, 1},    {1000, 1e-300, 0.1, 1000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sampling_HoeffdingCount(c.n, c.epsilon, c.delta), c.k)
        << c.n << " " << c.epsilon << " " << c.delta;
  }
}

TEST(SamplingCount, BadBoundsAreUsageErrors) {
  for (const auto& [epsilon, delta] : std::vector<std::pair<double, double>>{
           {0.0, 0.1}, {-1.0, 0.1}, {NAN, 0.1}, {INFINITY, 0.1}, {0.1, 0.0}, {0.1, 1.0},
           {0.1, NAN}, {0.1, -0.5}}) {
    try {
      Sampling_CheckBound(epsilon, delta);
      ADD_FAILURE() << epsilon << " " << delta << " accepted";
    } catch (const RunError& e) {
      EXPECT_EQ(e.status(), kStatusUsage);
    }
  }
  EXPECT_NO_THROW(Sampling_CheckBound(0.01, 0.1));
}

TEST(SamplingCount, LogarithmAgreesWithTheLibrary) {
  for (double x = 1e-300; x < 1e300; x *= 1.7303) {
    const double want = std::log(x);
    EXPECT_NEAR(Sampling_Log(x), want, 4e-16 * std::max(1.0, std::fabs(want))) << x;
  }
  EXPECT_EQ(Sampling_Log(1.0), 0.0);
  EXPECT_NEAR(Sampling_Log(2.0), std::log(2.0), 2e-16);
}

TEST(SamplingAdaptive, PlanChecksPowersOfTwoBelowTheCap) {
  const AdaptivePlan plan = Sampling_AdaptivePlan(100000, 0.01, 0.1);
  const int32_t cap = Sampling_HoeffdingCount(100000, 0.01, 0.05);
  ASSERT_GE(plan.checkpoints.size(), 2u);
  EXPECT_EQ(plan.checkpoints.back(), cap);
  const size_t checks = plan.checkpoints.size() - 1;
  for (size_t i = 0; i < checks; ++i) {
    const int32_t k = plan.checkpoints[i];
    EXPECT_EQ(k & (k - 1), 0) << k;
    EXPECT_LT(k, cap);
    if (i > 0) {
      EXPECT_EQ(k, 2 * plan.checkpoints[i - 1]);
    }
  }
  EXPECT_DOUBLE_EQ(plan.logTerm, std::log(20.0 * 100000 * static_cast<double>(checks) / 0.1));
  // At E = 0.1 no check could pass before the cap: the plan is Hoeffding's.
  const AdaptivePlan wide = Sampling_AdaptivePlan(17039, 0.1, 0.1);
  EXPECT_EQ(wide.checkpoints, (std::vector<int32_t>{Sampling_HoeffdingCount(17039, 0.1, 0.1)}));
}

TEST(SamplingAdaptive, StopsBeforeHoeffdingOnLowVarianceData) {
  for (const double epsilon : {0.05, 0.02, 0.01}) {
    const int32_t n = 100000;
    const AdaptivePlan plan = Sampling_AdaptivePlan(n, epsilon, kSampleDelta);
    const int32_t hoeffding = Sampling_HoeffdingCount(n, epsilon, kSampleDelta);
    // Every source adds nearly the same dependency to each node: 1000 +- 1.
    size_t stop = plan.checkpoints.size();
    for (size_t check = 0; check < plan.checkpoints.size(); ++check) {
      const double k = plan.checkpoints[check];
      const std::vector<double> sums(static_cast<size_t>(n), 1000.0 * k);
      const std::vector<double> squares(static_cast<size_t>(n), (1000.0 * 1000.0 + 1.0) * k);
      if (Sampling_MayStop(plan, check, sums, squares)) {
        stop = check;
        break;
      }
    }
    ASSERT_LT(stop, plan.checkpoints.size() - 1) << epsilon;
    EXPECT_LT(plan.checkpoints[stop], hoeffding) << epsilon;
  }
}

TEST(SamplingAdaptive, InputsOutsideThePremisesNeverStop) {
  const int32_t n = 100000;
  const AdaptivePlan plan = Sampling_AdaptivePlan(n, 0.01, kSampleDelta);
  const size_t last = plan.checkpoints.size() - 2;  // the widest sample before the cap
  const double k = plan.checkpoints[last];
  std::vector<double> sums(static_cast<size_t>(n), 0.0), squares(static_cast<size_t>(n), 0.0);
  ASSERT_TRUE(Sampling_MayStop(plan, last, sums, squares));
  for (const double bad : {-1.0, double{NAN}, double{INFINITY}, k * (n - 2) * 1.001}) {
    std::vector<double> broken = sums;
    broken[n / 2] = bad;
    EXPECT_EQ(Sampling_AdaptiveWidth(plan, last, broken, squares), INFINITY) << bad;
    EXPECT_FALSE(Sampling_MayStop(plan, last, broken, squares)) << bad;
  }
  std::vector<double> brokenSquares = squares;
  brokenSquares[3] = NAN;
  EXPECT_FALSE(Sampling_MayStop(plan, last, sums, brokenSquares));
  EXPECT_TRUE(Sampling_MayStop(plan, plan.checkpoints.size() - 1, sums, brokenSquares));  // the cap
}

// The widest interval over nodes, worked out from each node's X values:
// s sqrt(2 rho L / k) + kappa R L / k.
double WidestInterval(const std::vector<std::vector<double>>& x, int32_t n, double logTerm) {
  const double k = static_cast<double>(x[0].size());
  const double rho = k <= n / 2.0 ? 1 - (k - 1) / n : (1 - k / n) * (1 + 1 / k);
  const double kappa = 7.0 / 3.0 + 3.0 / std::sqrt(2.0);
  double widest = 0;
  for (const std::vector<double>& values : x) {
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / k;
    double var = 0;
    for (const double xi : values) var += (xi - mean) * (xi - mean);
    var /= k;
    widest = std::max(widest, std::sqrt(var) * std::sqrt(2 * rho * logTerm / k) +
                                  kappa * (n / (n - 1.0)) * logTerm / k);
  }
  return widest;
}

TEST(SamplingAdaptive, WidthIsTheEmpiricalBernsteinSerflingInterval) {
  // Three nodes' dependencies over 64 sources of n = 1000 (below half of n),
  // then the same ten times over (640, past half).
  const int32_t n = 1000;
  AdaptivePlan plan;
  plan.n = n;
  plan.epsilon = 0.01;
  plan.delta = kSampleDelta;
  plan.logTerm = std::log(20.0 * n * 3 / kSampleDelta);
  for (const int repeat : {1, 10}) {
    std::vector<double> sums(3), squares(3);
    std::vector<std::vector<double>> x(3);
    for (int v = 0; v < 3; ++v) {
      for (int s = 0; s < 64 * repeat; ++s) {
        const double delta = v == 0 ? 5.0 : v == 1 ? (s % 4) * 100.0 : (s % 64 == 9 ? 998.0 : 0.0);
        sums[v] += delta;
        squares[v] += delta * delta;
        x[v].push_back(n * delta / ((n - 1.0) * (n - 2.0)));
      }
    }
    plan.checkpoints = {64 * repeat, n};
    EXPECT_NEAR(Sampling_AdaptiveWidth(plan, 0, sums, squares), WidestInterval(x, n, plan.logTerm),
                1e-12)
        << 64 * repeat;
  }
}

// A random recursive tree (node i > 0 hangs from a uniform earlier node) and
// its dependencies: for a source s and node v != s, delta_s(v) counts the
// targets whose paths from s pass v, so it is n-1 less the nodes on s's side
// of v: size(c) for the child subtree c of v holding s, n - size(v) when s
// is outside v's subtree.
struct Tree {
  std::vector<int32_t> parent;
  std::vector<int64_t> size;
};

Tree RandomTree(int32_t n, uint64_t seed) {
  Tree t;
  t.parent.assign(static_cast<size_t>(n), -1);
  t.size.assign(static_cast<size_t>(n), 1);
  SampleStream stream = Sampling_Stream(seed);
  for (int32_t i = 1; i < n; ++i) {
    t.parent[static_cast<size_t>(i)] = static_cast<int32_t>(Sampling_Below(stream, static_cast<uint64_t>(i)));
  }
  for (int32_t i = n - 1; i > 0; --i) t.size[static_cast<size_t>(t.parent[static_cast<size_t>(i)])] += t.size[static_cast<size_t>(i)];
  return t;
}

// The sums over the sources added so far of every node's dependency and
// its square. Most nodes have s outside their subtree, so a source changes
// only its own term and its ancestors' from size(v) - 1.
class TreeSums {
 public:
  explicit TreeSums(const Tree& tree)
      : tree_(tree), more_(tree.parent.size()), moreSquares_(tree.parent.size()) {}

  void Add(int32_t s) {
    const auto n = static_cast<int64_t>(tree_.parent.size());
    count_ += 1;
    Change(s, 0);
    for (int32_t child = s, v = tree_.parent[static_cast<size_t>(s)]; v >= 0;
         child = v, v = tree_.parent[static_cast<size_t>(v)]) {
      Change(v, n - 1 - tree_.size[static_cast<size_t>(child)]);
    }
  }

  void Get(std::vector<double>& sums, std::vector<double>& squares) const {
    sums.resize(more_.size());
    squares.resize(more_.size());
    for (size_t v = 0; v < more_.size(); ++v) {
      const int64_t base = tree_.size[v] - 1;
      sums[v] = static_cast<double>(count_ * base + more_[v]);
      squares[v] = static_cast<double>(count_ * base * base + moreSquares_[v]);
    }
  }

 private:
  void Change(int32_t v, int64_t delta) {
    const int64_t base = tree_.size[static_cast<size_t>(v)] - 1;
    more_[static_cast<size_t>(v)] += delta - base;
    moreSquares_[static_cast<size_t>(v)] += delta * delta - base * base;
  }

  const Tree& tree_;
  int64_t count_ = 0;
  std::vector<int64_t> more_, moreSquares_;
};

TEST(SamplingAdaptive, TreeDependenciesMatchAPathCount) {
  // On the path 0-1-2-3 (a tree whose parents are i-1), delta_0(1) = 2
  // (targets 2, 3), delta_3(1) = 1 (target 0), delta_2(1) = 1.
  Tree path{{-1, 0, 1, 2}, {4, 3, 2, 1}};
  TreeSums one(path);
  one.Add(0);
  std::vector<double> sums, squares;
  one.Get(sums, squares);
  EXPECT_EQ(sums, (std::vector<double>{0, 2, 1, 0}));
  TreeSums all(path);
  for (int32_t s = 0; s < 4; ++s) all.Add(s);
  all.Get(sums, squares);
  // Betweenness over ordered pairs: node 1 carries 0-2, 0-3 and 2-0, 3-0.
  EXPECT_EQ(sums, (std::vector<double>{0, 4, 4, 0}));
  EXPECT_EQ(squares, (std::vector<double>{0, 2 * 2 + 1 + 1, 1 + 1 + 2 * 2, 0}));
}

TEST(SamplingAdaptive, NeverStopsWithANodeOffByMoreThanEpsilon) {
  // A tree of 6000 nodes, 20 seeds: wherever a run stops, compare every
  // node's normalised estimate with the exact score. At E = 0.03 the runs
  // stop at a check (the cap is n); at 0.04 they reach the cap (3873).
  const int32_t n = 6000;
  const Tree tree = RandomTree(n, 5);
  TreeSums every(tree);
  for (int32_t s = 0; s < n; ++s) every.Add(s);
  std::vector<double> exact, unused;
  every.Get(exact, unused);
  const double norm = static_cast<double>(n - 1) * static_cast<double>(n - 2);
  for (const double epsilon : {0.04, 0.03}) {
    const AdaptivePlan plan = Sampling_AdaptivePlan(n, epsilon, kSampleDelta);
    ASSERT_GE(plan.checkpoints.size(), 2u) << epsilon;
    int early = 0;
    for (uint64_t seed = 1; seed <= 20; ++seed) {
      const std::vector<int32_t> order = Sampling_DrawOrder(n, plan.checkpoints.back(), seed);
      TreeSums drawn(tree);
      std::vector<double> sums, squares;
      int32_t done = 0;
      for (size_t check = 0; check < plan.checkpoints.size(); ++check) {
        for (; done < plan.checkpoints[check]; ++done) drawn.Add(order[static_cast<size_t>(done)]);
        drawn.Get(sums, squares);
        if (!Sampling_MayStop(plan, check, sums, squares)) continue;
        if (check + 1 < plan.checkpoints.size()) early += 1;
        double worst = 0;
        for (size_t v = 0; v < sums.size(); ++v) {
          const double estimate = static_cast<double>(n) / done * sums[v] / norm;
          worst = std::max(worst, std::fabs(estimate - exact[v] / norm));
        }
        EXPECT_LE(worst, epsilon) << "seed " << seed << ", stopped at " << done;
        break;
      }
    }
    EXPECT_EQ(early, epsilon == 0.03 ? 20 : 0) << "E = " << epsilon;
  }
}

}  // namespace
