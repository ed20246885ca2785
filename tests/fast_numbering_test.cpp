// The fast graph's own numbering of the nodes: a breadth-first renaming of
// the name-numbered graph, cell for cell, and searches over it that give
// bit for bit what searches over the name-numbered graph give, on graphs
// large enough for wide frontiers full of ties, which the reference is too
// slow to check source by source.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <queue>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "graph/EdgeList.h"
#include "paths/FastEngine.h"
#include "tests/TestSupport.h"

namespace {

FastGraph Load(const std::string& text, Deliverable which, LengthRule rule,
               FastNumbering numbering) {
  TempFile file(text);
  RunSettings settings = SettingsWithPath(which, file.path());
  settings.nodeCapacity = 1000000;
  return FastGraph_FromEdges(EdgeList_Read(settings), rule, numbering);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// local is byName with its nodes renamed: the same cells in the same order
// for every name, and the numbering a breadth-first walk gives.
void ExpectBreadthFirstRenaming(const FastGraph& byName, const FastGraph& local,
                                const std::string& label) {
  const int32_t n = byName.nodeCount;
  ASSERT_EQ(n, local.nodeCount) << label;
  ASSERT_EQ(byName.cells.size(), local.cells.size()) << label;
  EXPECT_EQ(byName.heapOrderSafe, local.heapOrderSafe) << label;
  std::vector<int32_t> identity(static_cast<size_t>(n));
  std::iota(identity.begin(), identity.end(), 0);
  ASSERT_EQ(identity, byName.nameOf) << label;
  for (int32_t u = 0; u < n; ++u) {
    const int32_t name = local.nameOf[static_cast<size_t>(u)];
    ASSERT_TRUE(name >= 0 && name < n) << label;
    ASSERT_EQ(u, local.nodeOf[static_cast<size_t>(name)]) << label << " node " << u;
    ASSERT_EQ(byName.cellShape[static_cast<size_t>(name)], local.cellShape[static_cast<size_t>(u)]);
    const uint64_t degree = byName.offsets[static_cast<size_t>(name) + 1] -
                            byName.offsets[static_cast<size_t>(name)];
    ASSERT_EQ(degree, local.offsets[static_cast<size_t>(u) + 1] - local.offsets[static_cast<size_t>(u)]);
    for (uint64_t k = 0; k < degree; ++k) {
      const FastCell& want = byName.cells[byName.offsets[static_cast<size_t>(name)] + k];
      const FastCell& got = local.cells[local.offsets[static_cast<size_t>(u)] + k];
      ASSERT_EQ(want.target, got.key) << label << " node " << u << " cell " << k;
      ASSERT_EQ(local.nodeOf[static_cast<size_t>(want.target)], got.target) << label;
      ASSERT_TRUE(SameBits(want.length, got.length)) << label;
    }
  }
  // The walk, written out: a queue of names met, each component from its
  // lowest name, each name's neighbours in cell order.
  std::vector<int32_t> walk;
  std::vector<bool> met(static_cast<size_t>(n), false);
  std::queue<int32_t> waiting;
  for (int32_t root = 0; root < n; ++root) {
    if (met[static_cast<size_t>(root)]) continue;
    met[static_cast<size_t>(root)] = true;
    waiting.push(root);
    for (; !waiting.empty(); waiting.pop()) {
      const auto name = static_cast<size_t>(waiting.front());
      walk.push_back(waiting.front());
      for (uint64_t k = byName.offsets[name]; k < byName.offsets[name + 1]; ++k) {
        const auto t = static_cast<size_t>(byName.cells[k].target);
        if (met[t]) continue;
        met[t] = true;
        waiting.push(byName.cells[k].target);
      }
    }
  }
  EXPECT_EQ(walk, local.nameOf) << label;
}

TEST(FastNumbering, IsABreadthFirstRenamingOfTheNamedGraph) {
  std::mt19937_64 rng(2417);
  std::vector<std::pair<std::string, std::string>> graphs;
  for (int round = 0; round < 8; ++round) {
    // Few lines over many names: several components and lone nodes.
    const GraphShape shape{5 + static_cast<int>(rng() % 60), static_cast<int>(rng() % 80),
                           round % 2 == 0 ? 0 : 30, false};
    graphs.emplace_back("random " + std::to_string(round), MakeGraph(rng, shape));
  }
  graphs.emplace_back("social 400", SocialGraph(400, 5));
  for (const auto& [label, text] : graphs) {
    const FastGraph byName = Load(text, Deliverable::Anybridge, LENGTH_STORED, FAST_BY_NAME);
    const FastGraph local = Load(text, Deliverable::Anybridge, LENGTH_STORED, FAST_BY_LOCALITY);
    ExpectBreadthFirstRenaming(byName, local, label);
  }
  // The graphs the engine tests use are renamed, so those tests cover it.
  const FastGraph social = Load(SocialGraph(400, 5), Deliverable::Anybridge, LENGTH_STORED,
                                FAST_BY_LOCALITY);
  std::vector<int32_t> identity(social.nameOf.size());
  std::iota(identity.begin(), identity.end(), 0);
  EXPECT_NE(identity, social.nameOf);
}

struct Outcome {
  std::vector<int32_t> order;
  std::vector<double> dist, sigma;
  std::vector<std::pair<int32_t, double>> shares;
  bool exact = true;
};

Outcome Search(const FastGraph& graph, FastWorkspace& ws, int32_t s, SearchMode mode) {
  Outcome out;
  Fast_Search(graph, s, mode, ws);
  out.order = Fast_SettleOrder(graph, ws);
  for (int32_t v = 0; v < graph.nodeCount; ++v) {
    out.dist.push_back(Fast_Settled(graph, ws, v) ? Fast_Distance(graph, ws, v) : 0.0);
    out.sigma.push_back(mode == SEARCH_PATHS && Fast_Settled(graph, ws, v) ? Fast_Count(graph, ws, v) : 0.0);
  }
  if (mode == SEARCH_PATHS) {
    out.exact = Fast_Accumulate(s, ws, [&](int32_t w, double value) { out.shares.emplace_back(w, value); });
  } else {
    out.shares.clear();
    for (const int32_t v : Fast_RowsFrom(graph, s + 1, ws)) out.shares.emplace_back(v, 0.0);
  }
  return out;
}

void ExpectSame(const Outcome& want, const Outcome& got, const std::string& at) {
  ASSERT_EQ(want.order, got.order) << at;
  ASSERT_EQ(want.exact, got.exact) << at;
  for (size_t v = 0; v < want.dist.size(); ++v) {
    ASSERT_TRUE(SameBits(want.dist[v], got.dist[v])) << at << " name " << v;
    ASSERT_TRUE(SameBits(want.sigma[v], got.sigma[v])) << at << " name " << v;
  }
  ASSERT_EQ(want.shares.size(), got.shares.size()) << at;
  for (size_t k = 0; k < want.shares.size(); ++k) {
    ASSERT_EQ(want.shares[k].first, got.shares[k].first) << at << " share " << k;
    ASSERT_TRUE(SameBits(want.shares[k].second, got.shares[k].second)) << at << " share " << k;
  }
}

// Thousands of names: frontiers of thousands of nodes on the radix queue,
// with ties among equal distances that the name order must break, and
// special weights that send the search to the scan policy.
TEST(FastNumbering, SearchesGiveTheSameBitsAsOnTheNamedGraph) {
  std::mt19937_64 rng(88);
  struct Case {
    std::string label;
    std::string text;
    Deliverable which;
    LengthRule rule;
  };
  const Case cases[] = {
      {"social 20000", SocialGraph(20000, 3), Deliverable::Anybridge, LENGTH_RECIPROCAL},
      {"random 4000", MakeGraph(rng, GraphShape{4000, 16000, 0, false}), Deliverable::Anybridge,
       LENGTH_STORED},
      {"random 3000, special weights", MakeGraph(rng, GraphShape{3000, 12000, 3, false}),
       Deliverable::Anypairs, LENGTH_STORED},
  };
  for (const Case& c : cases) {
    const FastGraph byName = Load(c.text, c.which, c.rule, FAST_BY_NAME);
    const FastGraph local = Load(c.text, c.which, c.rule, FAST_BY_LOCALITY);
    for (const int32_t heapLimit : {kDefaultHeapLimit, 0}) {
      FastWorkspace wantWs, gotWs;
      FastWorkspace_Init(wantWs, byName);
      FastWorkspace_Init(gotWs, local);
      wantWs.heapLimit = gotWs.heapLimit = heapLimit;
      for (int k = 0; k < 4; ++k) {
        const auto s = static_cast<int32_t>(rng() % static_cast<uint64_t>(byName.nodeCount));
        for (const SearchMode mode : {SEARCH_PATHS, SEARCH_DISTANCES}) {
          const std::string at = c.label + ", heap limit " + std::to_string(heapLimit) +
                                 ", source " + std::to_string(s) +
                                 (mode == SEARCH_PATHS ? ", paths" : ", distances");
          ExpectSame(Search(byName, wantWs, s, mode), Search(local, gotWs, s, mode), at);
          if (testing::Test::HasFatalFailure()) return;
        }
      }
    }
  }
}

}  // namespace
