// The fast engine against the reference search and accumulation, byte for byte, through
// every program's driver, on generated graphs full of exact ties, duplicate
// lines, self-loops and special weights, with several thread counts.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "graph/EdgeGraph.h"
#include "paths/FastEngine.h"
#include "paths/Path_Accumulate.h"
#include "tests/TestSupport.h"

namespace {

struct ProgramCase {
  Deliverable which;
  std::vector<std::string> extraArgs;
};

void ExpectSameEverywhere(const std::string& graph, const std::string& label) {
  const ProgramCase programs[] = {
      {Deliverable::Anybridge, {}},   {Deliverable::Plusbridge, {}},
      {Deliverable::Betweenness, {}}, {Deliverable::Linkbridge, {}},
      {Deliverable::Anypairs, {}},    {Deliverable::Spanpairs, {"0", "17038"}},
      {Deliverable::Spanpairs, {"3", "9"}},
  };
  // 1, 2 and 7 threads; then searches that move to the radix queue at once
  // or after two nodes.
  const TestEngine engines[] = {{false, 1, {}}, {false, 2, {}},
                                  {false, 7, {}}, {false, 2, 0},
                                  {false, 7, 2}};
  for (const auto& program : programs) {
    const std::string capacity = "100000";
    const std::string expected =
        RunOnText(program.which, graph, capacity, program.extraArgs, TestEngine{true, 1});
    for (const TestEngine& engine : engines) {
      const std::string actual =
          RunOnText(program.which, graph, capacity, program.extraArgs, engine);
      ASSERT_EQ(expected, actual) << label << ", deliverable " << static_cast<int>(program.which)
                                  << ", threads " << engine.threads << ", heap limit "
                                  << engine.heapLimit.value_or(kDefaultHeapLimit) << "\ngraph:\n"
                                  << graph;
    }
  }
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using Shares = std::vector<std::pair<int32_t, double>>;

// What Fast_Accumulate hands out for the last search of ws, and whether its
// counts were exact.
bool FastShares(int32_t s, FastWorkspace& ws, Shares& shares) {
  shares.clear();
  return Fast_Accumulate(s, ws, [&](int32_t w, double value) { shares.emplace_back(w, value); });
}

void ExpectSameShares(const Shares& expected, const Shares& actual, const std::string& at) {
  ASSERT_EQ(expected.size(), actual.size()) << at;
  for (size_t k = 0; k < expected.size(); ++k) {
    ASSERT_EQ(expected[k].first, actual[k].first) << at << " share " << k;
    ASSERT_TRUE(SameBits(expected[k].second, actual[k].second)) << at << " share " << k;
  }
}

// Both engines from s with wide counts: the same settle order and the same
// bits in every distance, mantissa and exponent; and, where plain counts
// (plain, from the reference) did not overflow, the bits of those counts.
void ExpectSameWideSearch(const EdgeGraph& graph, const FastGraph& fast, int32_t s,
                          LengthRule rule, const SourcePass& plain, SourcePass& wide,
                          FastWorkspace& ws, const std::string& at) {
  const int32_t n = graph.nameCount;
  Path_Search(graph, n, s, SEARCH_PATHS, rule, wide, COUNTS_WIDE);
  Fast_Search(fast, s, SEARCH_PATHS, ws, COUNTS_WIDE);
  std::vector<int32_t> referenceOrder;
  for (const Stack_Cell* c = wide.stack; c != nullptr; c = c->next) {
    referenceOrder.push_back(c->node);
  }
  const std::vector<int32_t> fastOrder = Fast_SettleOrder(fast, ws);
  ASSERT_EQ(referenceOrder, std::vector<int32_t>(fastOrder.rbegin(), fastOrder.rend())) << at;
  const bool overflowed = Path_CountsOverflowed(plain);
  for (int32_t v = 0; v < n; ++v) {
    ASSERT_EQ(wide.settled[v] != 0, Fast_Settled(fast, ws, v)) << at << " node " << v;
    if (wide.settled[v] == 0) continue;
    ASSERT_TRUE(SameBits(wide.dist[v], Fast_Distance(fast, ws, v))) << at << " node " << v;
    const WideCount count = Path_WideCount(wide, v);
    ASSERT_TRUE(SameBits(count.mantissa, Fast_Count(fast, ws, v))) << at << " node " << v;
    ASSERT_EQ(count.exponent, Fast_CountExponent(fast, ws, v)) << at << " node " << v;
    if (overflowed) continue;
    const WideCount asPlain = WideCount_Of(plain.sigma[v]);
    ASSERT_TRUE(SameBits(asPlain.mantissa, count.mantissa)) << at << " node " << v;
    ASSERT_EQ(asPlain.exponent, count.exponent) << at << " node " << v;
  }
}

// Below the six printed decimals: every distance, count, dependency and score
// of the fast engine must carry the reference's exact bits, and nodes must
// settle in the same order, with and without path counting. Each source is
// searched with the default heap limit, with the radix queue from the start,
// and with a move from heap to radix queue early in the search, and again
// with wide counts. Scores follow the drivers' rule: a source whose plain
// counts overflowed counts with wide ones, in both engines alike; their
// number is added to *overflowedSources when given.
void ExpectSameBitsInEngines(const std::string& text, Deliverable which, LengthRule rule,
                             const std::string& label, int* overflowedSources = nullptr) {
  TempFile file(text);
  RunSettings settings = SettingsWithPath(which, file.path());
  settings.nodeCapacity = 100000;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  const int32_t n = graph.nameCount;
  const FastGraph fast = FastGraph_Build(graph, rule);
  const int32_t heapLimits[] = {kDefaultHeapLimit, 0, 2};
  std::vector<FastWorkspace> workspaces(std::size(heapLimits));
  for (size_t k = 0; k < workspaces.size(); ++k) {
    FastWorkspace_Init(workspaces[k], fast);
    workspaces[k].heapLimit = heapLimits[k];
  }
  FastWorkspace wideWs;
  FastWorkspace_Init(wideWs, fast);
  SourcePass pass;
  SourcePass widePass;
  std::vector<double> referenceScores(static_cast<size_t>(n), 0.0);
  std::vector<std::vector<double>> fastScores(workspaces.size(),
                                              std::vector<double>(static_cast<size_t>(n), 0.0));
  auto where = [&](size_t k, int32_t s) {
    return label + " heap limit " + std::to_string(heapLimits[k]) + " source " + std::to_string(s);
  };
  for (int32_t s = 0; s < n; ++s) {
    // Distances only first, then with paths, whose pass the accumulation uses.
    for (const SearchMode mode : {SEARCH_DISTANCES, SEARCH_PATHS}) {
      Path_Search(graph, n, s, mode, rule, pass);
      const bool paths = mode == SEARCH_PATHS;
      // Only path mode stacks the settled nodes.
      std::vector<int32_t> referenceOrder;
      for (const Stack_Cell* c = pass.stack; c != nullptr; c = c->next) {
        referenceOrder.push_back(c->node);
      }
      for (size_t k = 0; k < workspaces.size(); ++k) {
        FastWorkspace& ws = workspaces[k];
        Fast_Search(fast, s, mode, ws);
        const std::string at = where(k, s) + (paths ? " paths" : " distances");
        if (paths) {
          const std::vector<int32_t> fastOrder = Fast_SettleOrder(fast, ws);
          ASSERT_EQ(referenceOrder, std::vector<int32_t>(fastOrder.rbegin(), fastOrder.rend()))
              << at;
        }
        for (int32_t v = 0; v < n; ++v) {
          ASSERT_EQ(pass.settled[v] != 0, Fast_Settled(fast, ws, v)) << at << " node " << v;
          if (pass.settled[v] == 0) continue;
          ASSERT_TRUE(SameBits(pass.dist[v], Fast_Distance(fast, ws, v))) << at << " node " << v;
          if (paths) {
            ASSERT_TRUE(SameBits(pass.sigma[v], Fast_Count(fast, ws, v))) << at << " node " << v;
          }
        }
      }
    }
    const std::string wideAt = label + " wide counts source " + std::to_string(s);
    ExpectSameWideSearch(graph, fast, s, rule, pass, widePass, wideWs, wideAt);
    if (testing::Test::HasFatalFailure()) return;
    Shares wideShares;
    ASSERT_TRUE(FastShares(s, wideWs, wideShares)) << wideAt;

    const bool overflowed = Path_CountsOverflowed(pass);
    if (overflowed && overflowedSources != nullptr) ++*overflowedSources;
    Path_Accumulate(overflowed ? widePass : pass, n, s, referenceScores);
    for (size_t k = 0; k < workspaces.size(); ++k) {
      FastWorkspace& ws = workspaces[k];
      Shares shares;
      const bool exact = FastShares(s, ws, shares);
      ASSERT_EQ(!overflowed, exact) << where(k, s);
      if (!exact) {
        // As the driver does: the same workspace searches again, wide.
        Fast_Search(fast, s, SEARCH_PATHS, ws, COUNTS_WIDE);
        ASSERT_TRUE(FastShares(s, ws, shares)) << where(k, s);
      }
      // Plain counts, where exact, give the very shares wide ones give.
      ExpectSameShares(wideShares, shares, where(k, s) + " shares");
      if (testing::Test::HasFatalFailure()) return;
      std::vector<double>& scores = fastScores[k];
      for (const auto& [w, value] : shares) {
        double& score = scores[static_cast<size_t>(w)];
        score = AddOrdered(value, score);
      }
      for (int32_t v = 0; v < n; ++v) {
        const auto at = static_cast<size_t>(v);
        ASSERT_TRUE(SameBits(referenceScores[at], scores[at])) << where(k, s) << " node " << v;
      }
    }
  }
}

TEST(Differential, EnginesAgreeToTheLastBit) {
  std::mt19937_64 rng(42);
  for (int round = 0; round < 120; ++round) {
    // Non-integer weights make sums that round, so the order of every
    // floating-point operation shows in the bits.
    const GraphShape shape{1 + static_cast<int>(rng() % 30), static_cast<int>(rng() % 90),
                         round % 2 == 0 ? 0 : static_cast<int>(rng() % 60), round % 10 == 0};
    const std::string text = MakeGraph(rng, shape);
    const std::string label = "round " + std::to_string(round);
    ExpectSameBitsInEngines(text, Deliverable::Anybridge, LENGTH_STORED, label);
    ExpectSameBitsInEngines(text, Deliverable::Anypairs, LENGTH_STORED, label + " raw");
    ExpectSameBitsInEngines(text, Deliverable::Spanpairs, LENGTH_RECIPROCAL, label + " recip");
  }
}

TEST(Differential, SmallGraphsWithTiesAndSpecialWeights) {
  std::mt19937_64 rng(20261208);
  for (int round = 0; round < 150; ++round) {
    const GraphShape shape{1 + static_cast<int>(rng() % 25), static_cast<int>(rng() % 60),
                         round % 3 == 0 ? 0 : static_cast<int>(rng() % 40), false};
    ExpectSameEverywhere(MakeGraph(rng, shape), "round " + std::to_string(round));
  }
}

TEST(Differential, LargerGraphsExerciseTheHeap) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 6; ++round) {
    const GraphShape shape{150 + static_cast<int>(rng() % 100), 400 + static_cast<int>(rng() % 400),
                         round < 3 ? 0 : 5, false};
    ExpectSameEverywhere(MakeGraph(rng, shape), "large round " + std::to_string(round));
  }
}

// Hubs with more than 64 distinct neighbours, so cells are compared in
// several blocks, next to nodes that list a neighbour twice. The largest hub
// widens the frontier past the default heap limit.
TEST(Differential, HubsWithManyNeighbours) {
  std::mt19937_64 rng(64);
  for (const int leaves : {60, 100, 140, kDefaultHeapLimit + 40}) {
    std::string text;
    for (int k = 0; k < leaves; ++k) {
      text.append("hub n").append(std::to_string(k)).append(" ");
      text.append(kTieWeights[rng() % std::size(kTieWeights)]).append("\n");
    }
    text.append("n1 n2 1\nn1 n2 0.5\nn3 n3 0\n");
    text += MakeGraph(rng, GraphShape{leaves, leaves, 0, false});
    const std::string label = "hub of " + std::to_string(leaves);
    ExpectSameBitsInEngines(text, Deliverable::Anybridge, LENGTH_STORED, label);
    ExpectSameBitsInEngines(text, Deliverable::Anypairs, LENGTH_STORED, label + " raw");
    ExpectSameEverywhere(text, label);
  }
}

TEST(FastGraph, CellShapeTellsHowANodeMayBeRelaxed) {
  TempFile file("a b 1\na c 1\nb c 1\nb c 2\nd d 1\nd a 1\n");
  RunSettings settings = SettingsWithPath(Deliverable::Anypairs, file.path());
  settings.nodeCapacity = 10;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  for (const FastNumbering numbering : {FAST_BY_LOCALITY, FAST_BY_NAME}) {
    const FastGraph fast = FastGraph_Build(graph, LENGTH_STORED, numbering);
    // a: b, c, d; b: a, c, c; c: a, b, b; d: d, d, a.
    const std::vector<uint8_t> expected = {kCellsDistinct, kCellsRepeated, kCellsRepeated,
                                           kCellsSelfLoop};
    for (int32_t name = 0; name < 4; ++name) {
      EXPECT_EQ(expected[static_cast<size_t>(name)], fast.cellShape[Fast_NodeAt(fast, name)])
          << "name " << name << ", numbering " << numbering;
    }
  }
}

TEST(Differential, PathCountsPastTwoToThe31And53) {
  std::mt19937_64 rng(99);
  for (int round = 0; round < 3; ++round) {
    const GraphShape shape{10, 15, round == 2 ? 20 : 0, true};
    ExpectSameEverywhere(MakeGraph(rng, shape), "diamonds " + std::to_string(round));
  }
}

// A chain c0 .. c180 of 56 to 90 identical lines per hop, with a two-line
// detour beside every seventh pair of hops, after graph: more shortest paths
// from end to end than the largest double holds (56^180 > 2^1045), and
// counts that round past 2^53. Joined to graph at c0; given a weight, c90
// also has a pendant p, self-looped, at that weight, which cannot shorten
// the chain but can, at a negative or NaN length, move or void c90's
// distance and count after c90 has settled.
std::string WithOverflowingChain(std::mt19937_64& rng, std::string graph,
                                 const char* pendantWeight) {
  auto node = [](const char* prefix, int i) { return prefix + std::to_string(i); };
  for (int i = 0; i < 180; ++i) {
    const std::string line = node("c", i) + " " + node("c", i + 1) + " 1\n";
    for (int copies = 56 + static_cast<int>(rng() % 35); copies > 0; --copies) graph += line;
    if (i % 7 == 0 && i + 2 <= 180) {
      graph += node("c", i) + " " + node("e", i) + " 1\n";
      graph += node("e", i) + " " + node("c", i + 2) + " 1\n";
    }
  }
  graph += "n0 c0 1\n";
  if (pendantWeight != nullptr) {
    graph.append("c90 p ").append(pendantWeight).append("\np p ").append(pendantWeight);
    graph.append("\n");
  }
  return graph;
}

// The bits of both engines, plain and wide, under each length rule, and then
// the betweenness drivers, whose fast engine redoes the overflowing sources
// of a task after others of the same task, on several threads.
TEST(Differential, CountsPastTheLargestDoubleAmongTiesAndSpecialWeights) {
  std::mt19937_64 rng(1024);
  struct Round {
    int specialPercent;
    const char* pendantWeight;
    LengthRule rule;
  };
  const Round rounds[] = {{0, nullptr, LENGTH_RECIPROCAL},
                          {30, "-1", LENGTH_STORED},
                          {40, "nan", LENGTH_RECIPROCAL},
                          {20, "0", LENGTH_STORED}};
  for (const Round& round : rounds) {
    const GraphShape shape{1 + static_cast<int>(rng() % 30), static_cast<int>(rng() % 90),
                           round.specialPercent, false};
    const std::string text = WithOverflowingChain(rng, MakeGraph(rng, shape), round.pendantWeight);
    const std::string label = std::string("chain, special ") +
                              std::to_string(round.specialPercent) + "%, pendant " +
                              (round.pendantWeight != nullptr ? round.pendantWeight : "none");
    int overflowed = 0;
    ExpectSameBitsInEngines(text, Deliverable::Anybridge, round.rule, label, &overflowed);
    // Else wide counts would only have been checked where plain ones are exact.
    EXPECT_GT(overflowed, 0) << label;
    const std::string expected =
        RunOnText(Deliverable::Anybridge, text, "100000", {}, TestEngine{true, 1, {}});
    for (const TestEngine engine : {TestEngine{false, 1, {}}, TestEngine{false, 2, {}},
                                      TestEngine{false, 7, 0}}) {
      EXPECT_EQ(expected, RunOnText(Deliverable::Anybridge, text, "100000", {}, engine))
          << label << ", threads " << engine.threads;
    }
  }
}

}  // namespace

namespace {

// A sum of two NaNs takes the left operand's, the distance so far: from a,
// c is reached at -nan + nan, which must print as -nan in every engine.
TEST(Differential, SumOfTwoNaNsKeepsTheDistanceSign) {
  const std::string graph = "a b -nan\nb c nan\n";
  for (const TestEngine engine : {TestEngine{true, 1}, TestEngine{false, 1}, TestEngine{false, 2}}) {
    EXPECT_EQ("a b -nan\na c -nan\nb c nan\n", RunOnText(Deliverable::Anypairs, graph, "3", {}, engine));
  }
}

}  // namespace
