// The scan queue against the reference search's selection loop, run over a
// plain array: the same node must come out of every Pop, for any mix of NaN,
// the UNREACHED sentinel, negative and infinite distances, and ties.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "paths/Path_Search.h"
#include "paths/ScanQueue.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNegNaN = std::copysign(kNaN, -1.0);

// The selection as the reference search makes it, and the state it reads.
struct ScanModel {
  std::vector<double> dist;
  std::vector<char> settled;
};

// The loop of Path_Search, verbatim in its comparisons; settles and returns
// the node it selects, or -1 when it selects none.
int32_t ScanModel_Pop(ScanModel& model) {
  double m = UNREACHED;
  int32_t u = -1;
  for (size_t i = 0; i < model.dist.size(); ++i) {
    if (model.settled[i] != 0) continue;
    if (model.dist[i] == UNREACHED) continue;
    if (model.dist[i] < m || m == UNREACHED) {
      m = model.dist[i];
      u = static_cast<int32_t>(i);
    }
  }
  if (u >= 0) model.settled[static_cast<size_t>(u)] = 1;
  return u;
}

// The queue and the model, changed together as a search changes them.
struct Pair {
  ScanQueue queue;
  ScanModel model;

  explicit Pair(int32_t nodes) {
    queue.Init(nodes);
    Reset(nodes);
  }
  // A new search: every node unreached. The queue is drained, as a search
  // leaves it, and is reused without Init as the engine reuses it.
  void Reset(int32_t nodes) {
    model.dist.assign(static_cast<size_t>(nodes), UNREACHED);
    model.settled.assign(static_cast<size_t>(nodes), 0);
  }
  void Set(int32_t v, double d) {
    double& now = model.dist[static_cast<size_t>(v)];
    queue.Update(v, now != UNREACHED, d);
    now = d;
  }
  int32_t QueuePop() {
    return queue.Pop([this](int32_t v) { return model.dist[static_cast<size_t>(v)]; });
  }
};

// One step of a hand case: set node's distance, or (node == kPop) pop and
// expect the node given.
constexpr int32_t kPop = -1;
struct Step {
  int32_t node;
  double dist;
  int32_t expected;
};
Step Set(int32_t v, double d) { return {v, d, 0}; }
Step Pop(int32_t expected) { return {kPop, 0.0, expected}; }

struct HandCase {
  const char* name;
  std::vector<Step> steps;
};

const HandCase kHandCases[] = {
    {"nothing reached", {Pop(-1)}},
    {"NaN at the lowest index goes first", {Set(0, kNaN), Set(1, 1), Set(2, 0), Pop(0), Pop(2),
                                            Pop(1), Pop(-1)}},
    {"negative NaN at the lowest index too", {Set(1, kNegNaN), Set(3, -5), Pop(1), Pop(3)}},
    {"NaN waits while the lowest candidate is a number",
     {Set(0, 5), Set(1, kNaN), Set(2, 3), Pop(2), Pop(0), Pop(1), Pop(-1)}},
    {"NaN goes once it is the lowest candidate, before smaller numbers",
     {Set(0, 1), Set(1, kNaN), Set(2, 3), Set(3, 2), Pop(0), Pop(1), Pop(3), Pop(2)}},
    {"NaN candidates alone go by index",
     {Set(2, kNaN), Set(0, kNegNaN), Set(5, kNaN), Pop(0), Pop(2), Pop(5), Pop(-1)}},
    {"a number replacing NaN at the lowest index", {Set(0, kNaN), Set(1, 1), Set(0, 2), Pop(1),
                                                    Pop(0)}},
    {"NaN replacing the lowest number", {Set(0, 1), Set(1, 0), Set(0, kNaN), Pop(0), Pop(1)}},
    {"the sentinel is never a candidate", {Set(0, UNREACHED), Set(1, 5), Pop(1), Pop(-1)}},
    {"a node set back to the sentinel drops out",
     {Set(0, 1), Set(1, 2), Set(0, UNREACHED), Pop(1), Pop(-1)}},
    {"a NaN node set back to the sentinel drops out",
     {Set(0, kNaN), Set(1, 3), Set(0, UNREACHED), Pop(1), Pop(-1)}},
    {"distances just beside the sentinel are candidates",
     {Set(0, -100.5), Set(1, UNREACHED), Set(2, std::nextafter(UNREACHED, 0.0)), Pop(0), Pop(2),
      Pop(-1)}},
    {"negative distances", {Set(0, 0), Set(2, -1), Set(1, -3), Pop(1), Pop(2), Pop(0)}},
    {"-0.0 ties with 0.0, lowest index first",
     {Set(3, -0.0), Set(2, 0.0), Set(1, -0.0), Set(4, 0.0), Pop(1), Pop(2), Pop(3), Pop(4)}},
    {"infinities order like numbers",
     {Set(0, kInf), Set(1, -kInf), Set(2, 1), Pop(1), Pop(2), Pop(0), Pop(-1)}},
    {"equal distances go by index", {Set(4, 2), Set(1, 2), Set(3, 2), Pop(1), Pop(3), Pop(4)}},
    {"a lowered distance moves the node", {Set(0, 5), Set(1, 6), Set(1, 4), Pop(1), Pop(0)}},
    {"a raised distance moves the node", {Set(0, 1), Set(1, 2), Set(0, 3), Pop(1), Pop(0)}},
};

// Each case's expectations hold for the queue and for the model alike, so
// the model used below reads the reference loop as written here.
TEST(ScanQueue, HandCasesFollowTheScanRule) {
  for (const HandCase& c : kHandCases) {
    Pair pair(6);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      if (s.node != kPop) {
        pair.Set(s.node, s.dist);
        continue;
      }
      EXPECT_EQ(s.expected, ScanModel_Pop(pair.model)) << c.name << ", model, step " << i;
      EXPECT_EQ(s.expected, pair.QueuePop()) << c.name << ", queue, step " << i;
    }
  }
}

// A distance for a random update: a few values so that ties are common,
// with NaN of both signs, the sentinel and its neighbours, signed zeros and
// infinities among them.
double PickDistance(std::mt19937_64& rng) {
  static const double kValues[] = {kNaN,   kNegNaN, UNREACHED, UNREACHED, -100.5,
                                   -99.5,  -kInf,   kInf,      -2.0,      -1.0,
                                   -0.0,   0.0,     0.0,       0.5,       1.0,
                                   1.0,    2.0,     3.0,       1e300,     -1e-300};
  return kValues[rng() % std::size(kValues)];
}

// Random updates of unsettled nodes and pops; each search runs until both
// select nothing, then a new one starts on the same queue.
void ExpectSameSelections(int32_t nodes, uint64_t seed, int steps) {
  std::mt19937_64 rng(seed);
  Pair pair(nodes);
  for (int step = 0; step < steps; ++step) {
    if (rng() % 10 < 7) {
      const auto v = static_cast<int32_t>(rng() % static_cast<uint64_t>(nodes));
      if (pair.model.settled[static_cast<size_t>(v)] == 0) pair.Set(v, PickDistance(rng));
      continue;
    }
    const int32_t expected = ScanModel_Pop(pair.model);
    ASSERT_EQ(expected, pair.QueuePop()) << nodes << " nodes, seed " << seed << " step " << step;
    if (expected < 0) pair.Reset(nodes);
  }
}

TEST(ScanQueue, SelectsLikeTheReferenceScan) {
  for (const int32_t nodes : {1, 2, 3, 8, 40, 300}) {
    for (uint64_t seed = 1; seed <= 40; ++seed) {
      ExpectSameSelections(nodes, seed * 7919 + static_cast<uint64_t>(nodes), 3000);
    }
  }
}

}  // namespace
