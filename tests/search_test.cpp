// The reference search and accumulation on small graphs whose every value
// is worked out by hand: distances, path counts, predecessor order, settle
// order, and the rules for zero, negative, infinite and NaN lengths and the
// -100 sentinel. The fast engine is checked against the same example.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "graph/EdgeGraph.h"
#include "paths/FastEngine.h"
#include "paths/Path_Accumulate.h"
#include "paths/Path_Search.h"
#include "tests/TestSupport.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double U = UNREACHED;

// A graph as a program loads it: cells hold the weights as read, which a
// search takes as lengths (LENGTH_STORED, as anypairs does) or turns into
// 1/(1+w) (LENGTH_RECIPROCAL, as the other programs do).
EdgeGraph Graph(Deliverable which, std::string_view text) {
  TempFile file(text);
  RunSettings settings = SettingsWithPath(which, file.path());
  settings.nodeCapacity = 1000;
  return EdgeGraph_Load(settings);
}

std::vector<int32_t> Preds(const SourcePass& pass, int32_t v) {
  std::vector<int32_t> nodes;
  for (const List_Cell* c = pass.preds[static_cast<size_t>(v)]; c != nullptr; c = c->next) {
    nodes.push_back(c->node);
    EXPECT_EQ(c->weight, 0.0);
  }
  return nodes;
}

std::vector<int32_t> StackFromTop(const SourcePass& pass) {
  std::vector<int32_t> nodes;
  for (const Stack_Cell* c = pass.stack; c != nullptr; c = c->next) nodes.push_back(c->node);
  return nodes;
}

using Ints = std::vector<int32_t>;
using Doubles = std::vector<double>;

// Lines a-b, a-c, b-d, c-d at input weight 1: every length 0.5.
const char kFourNodes[] = "a b 1\na c 1\nb d 1\nc d 1\n";

TEST(Search, FourNodeExampleInPathMode) {
  const EdgeGraph g = Graph(Deliverable::Anybridge, kFourNodes);
  SourcePass pass;
  Path_Search(g, 4, 0, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
  EXPECT_EQ(pass.dist, (Doubles{0.0, 0.5, 0.5, 1.0}));
  EXPECT_EQ(pass.sigma, (Doubles{1, 1, 1, 2}));
  EXPECT_EQ(pass.settled, (Ints{1, 1, 1, 1}));
  EXPECT_EQ(pass.delta, (Doubles{0, 0, 0, 0}));
  EXPECT_EQ(Preds(pass, 0), Ints{});
  EXPECT_EQ(Preds(pass, 1), Ints{0});
  EXPECT_EQ(Preds(pass, 2), Ints{0});
  EXPECT_EQ(Preds(pass, 3), (Ints{2, 1}));  // c tied after b, so it comes first
  EXPECT_EQ(StackFromTop(pass), (Ints{3, 2, 1, 0}));
}

TEST(Search, FourNodeExampleInDistanceModeAndUnderEitherRule) {
  const EdgeGraph stored = Graph(Deliverable::Anybridge, kFourNodes);
  const EdgeGraph raw = Graph(Deliverable::Spanpairs, kFourNodes);
  SourcePass a, b;
  Path_Search(stored, 4, 3, SEARCH_DISTANCES, LENGTH_RECIPROCAL, a);
  Path_Search(raw, 4, 3, SEARCH_DISTANCES, LENGTH_RECIPROCAL, b);
  for (const SourcePass* pass : {&a, &b}) {
    EXPECT_EQ(pass->dist, (Doubles{1.0, 0.5, 0.5, 0.0}));
    EXPECT_EQ(pass->settled, (Ints{1, 1, 1, 1}));
  }
}

// A pass used before is set up afresh: the earlier search leaves no trace.
TEST(Search, SourceWithoutCellsSettlesOnlyItself) {
  const EdgeGraph g = Graph(Deliverable::Anybridge, kFourNodes);
  SourcePass pass;
  Path_Search(g, 5, 0, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
  Path_Search(g, 5, 4, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
  EXPECT_EQ(pass.dist, (Doubles{U, U, U, U, 0.0}));
  EXPECT_EQ(pass.settled, (Ints{0, 0, 0, 0, 1}));
  EXPECT_EQ(pass.sigma, (Doubles{0, 0, 0, 0, 1}));
  EXPECT_EQ(StackFromTop(pass), Ints{4});
  for (int32_t v = 0; v < 5; ++v) EXPECT_EQ(Preds(pass, v), Ints{}) << v;
}

// s0 x1 t2 y3 z4. t is first reached over x at 11, then over y at 5, then
// ties over z at 5. y has two paths (duplicate line), so after y's cell t
// has y alone and count 2; z's tie adds 1.
TEST(Search, ShorterPathReplacesPredecessorsAndCount) {
  const EdgeGraph g = Graph(Deliverable::Anypairs,
                            "s x 1\nx t 10\ns y 2\ns y 2\ny t 3\ns z 4\nz t 1\n");
  SourcePass pass;
  Path_Search(g, 5, 0, SEARCH_PATHS, LENGTH_STORED, pass);
  EXPECT_EQ(pass.dist, (Doubles{0, 1, 5, 2, 4}));
  EXPECT_EQ(pass.sigma, (Doubles{1, 1, 3, 2, 1}));
  EXPECT_EQ(Preds(pass, 2), (Ints{4, 3}));
  EXPECT_EQ(Preds(pass, 3), (Ints{0, 0}));
  EXPECT_EQ(StackFromTop(pass), (Ints{2, 4, 3, 1, 0}));
}

TEST(Search, ParallelCellsCountEachPath) {
  const EdgeGraph g = Graph(Deliverable::Anypairs, "s u 1\ns u 1\nu v 1\nu v 1\n");
  SourcePass pass;
  Path_Search(g, 3, 0, SEARCH_PATHS, LENGTH_STORED, pass);
  EXPECT_EQ(pass.sigma, (Doubles{1, 2, 4}));
  EXPECT_EQ(Preds(pass, 1), (Ints{0, 0}));
  EXPECT_EQ(Preds(pass, 2), (Ints{1, 1}));
  EXPECT_EQ(pass.dist, (Doubles{0, 1, 2}));
}

TEST(Search, LongerParallelCellNeitherImprovesNorTies) {
  for (const char* text : {"u v 2\nu v 1\n", "u v 1\nu v 2\n"}) {
    SCOPED_TRACE(text);
    const EdgeGraph g = Graph(Deliverable::Anypairs, text);
    SourcePass pass;
    Path_Search(g, 2, 0, SEARCH_PATHS, LENGTH_STORED, pass);
    EXPECT_EQ(pass.dist, (Doubles{0, 1}));
    EXPECT_EQ(pass.sigma, (Doubles{1, 1}));
    EXPECT_EQ(Preds(pass, 1), Ints{0});
  }
}

struct SelfLoopCase {
  const char* label;
  Deliverable which;  // Anypairs: raw lengths; Anybridge: 1/(1+w)
  const char* text;
  Doubles dist;
  Doubles sigma;
  std::vector<Ints> preds;
  Ints stack;
};

// Each self-loop line gives its node two cells pointing to itself, met
// before the node's older cells.
const SelfLoopCase kSelfLoops[] = {
    // 0 + 5 > 0: nothing changes.
    {"positive", Deliverable::Anypairs, "a a 5\na b 1\n", {0, 1}, {1, 1}, {{}, {0}}, {1, 0}},
    // 0 + 0 ties: a becomes its own predecessor twice, its count doubling
    // each time; b then inherits the count 4.
    {"zero", Deliverable::Anypairs, "a b 1\na a 0\n", {0, 1}, {4, 4}, {{0, 0}, {0}}, {1, 0}},
    // Each cell lowers a's distance (0, -1, -2) and zeroes its count; b is
    // reached from -2 with count 0.
    {"negative at the source", Deliverable::Anypairs, "a b 1\na a -1\n", {-2, -1}, {0, 0},
     {{}, {0}}, {1, 0}},
    // a, at 1 over s, drops to 0 and -1 and loses its predecessor; then the
    // settled source s ties at -1 + 1 = 0 and gains a as predecessor with
    // a's count 0.
    {"negative after the source", Deliverable::Anypairs, "s a 1\na a -1\n", {0, -1}, {1, 0},
     {{1}, {}}, {1, 0}},
    // Weight -1 makes s-a infinitely long; inf + 1/6 is still inf, so both
    // self-loop cells tie.
    {"at infinity", Deliverable::Anybridge, "s a -1\na a 5\n", {0, kInf}, {1, 4}, {{}, {1, 1, 0}},
     {1, 0}},
};

TEST(Search, SelfLoops) {
  for (const auto& c : kSelfLoops) {
    SCOPED_TRACE(c.label);
    const EdgeGraph g = Graph(c.which, c.text);
    SourcePass pass;
    Path_Search(g, 2, 0, SEARCH_PATHS, RunSettings_For(c.which).lengthRule, pass);
    EXPECT_EQ(pass.dist, c.dist);
    EXPECT_EQ(pass.sigma, c.sigma);
    EXPECT_EQ(Preds(pass, 0), c.preds[0]);
    EXPECT_EQ(Preds(pass, 1), c.preds[1]);
    EXPECT_EQ(StackFromTop(pass), c.stack);
  }
}

TEST(Search, DistanceOfMinus100CountsAsUnreached) {
  {
    const EdgeGraph g = Graph(Deliverable::Anypairs, "a b -100\nb c 1\n");
    SourcePass pass;
    Path_Search(g, 3, 0, SEARCH_DISTANCES, LENGTH_STORED, pass);
    EXPECT_EQ(pass.settled, (Ints{1, 0, 0}));
    EXPECT_EQ(pass.dist, (Doubles{0, U, U}));
  }
  {
    // The next cell that reaches b overwrites the sentinel: a-c-b is 2,
    // replacing b's predecessor a by c. Settling b then relaxes its cell of
    // length -100 back to the settled source: 2 - 100 improves on 0.
    const EdgeGraph g = Graph(Deliverable::Anypairs, "a b -100\na c 1\nc b 1\n");
    SourcePass pass;
    Path_Search(g, 3, 0, SEARCH_PATHS, LENGTH_STORED, pass);
    EXPECT_EQ(pass.settled, (Ints{1, 1, 1}));
    EXPECT_EQ(pass.dist, (Doubles{-98, 2, 1}));
    EXPECT_EQ(pass.sigma, (Doubles{1, 1, 1}));
    EXPECT_EQ(Preds(pass, 0), Ints{1});
    EXPECT_EQ(Preds(pass, 1), Ints{2});
    EXPECT_EQ(StackFromTop(pass), (Ints{1, 2, 0}));
  }
}

TEST(Search, WeightMinusOneGivesInfiniteLength) {
  {
    const EdgeGraph g = Graph(Deliverable::Anybridge, "a b -1\n");
    SourcePass pass;
    Path_Search(g, 2, 0, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
    EXPECT_EQ(pass.dist, (Doubles{0, kInf}));
    EXPECT_EQ(pass.settled, (Ints{1, 1}));
    EXPECT_EQ(pass.sigma, (Doubles{1, 1}));
    EXPECT_EQ(Preds(pass, 1), Ints{0});
  }
  {
    const EdgeGraph g = Graph(Deliverable::Spanpairs, "a b -1\n");
    SourcePass pass;
    Path_Search(g, 2, 0, SEARCH_DISTANCES, LENGTH_RECIPROCAL, pass);
    EXPECT_EQ(pass.dist, (Doubles{0, kInf}));
    EXPECT_EQ(pass.settled, (Ints{1, 1}));
  }
  {
    // A finite path improves the infinite one: a-c-b is 0.5 + 0.5.
    const EdgeGraph g = Graph(Deliverable::Anybridge, "a b -1\na c 1\nc b 1\n");
    SourcePass pass;
    Path_Search(g, 3, 0, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
    EXPECT_EQ(pass.dist, (Doubles{0, 1.0, 0.5}));
    EXPECT_EQ(Preds(pass, 1), Ints{2});
    EXPECT_EQ(StackFromTop(pass), (Ints{1, 2, 0}));
  }
}

// Weight +inf gives length 0: b sits at a's distance, and relaxing b's cell
// back to the settled a ties, so a gains b as predecessor and b's count.
TEST(Search, InfiniteWeightGivesZeroLength) {
  const EdgeGraph g = Graph(Deliverable::Anybridge, "a b inf\nb c 1\n");
  SourcePass pass;
  Path_Search(g, 3, 0, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
  EXPECT_EQ(pass.dist, (Doubles{0, 0, 0.5}));
  EXPECT_EQ(pass.sigma, (Doubles{2, 1, 1}));
  EXPECT_EQ(Preds(pass, 0), Ints{1});
  EXPECT_EQ(Preds(pass, 1), Ints{0});
  EXPECT_EQ(Preds(pass, 2), Ints{1});
  EXPECT_EQ(StackFromTop(pass), (Ints{2, 1, 0}));

  const EdgeGraph raw = Graph(Deliverable::Spanpairs, "a b inf\nb c 1\n");
  SourcePass distances;
  Path_Search(raw, 3, 0, SEARCH_DISTANCES, LENGTH_RECIPROCAL, distances);
  EXPECT_EQ(distances.dist, (Doubles{0, 0, 0.5}));
}

// A NaN distance is taken only as the first candidate of a scan in index
// order: before a smaller finite distance at a higher index, after a finite
// one at a lower index.
TEST(Search, NaNDistanceIsSelectedOnlyAsFirstCandidate) {
  const struct {
    const char* text;
    int32_t source;
    int32_t nanNode;
    Ints stack;
  } cases[] = {
      {"s x 5\ns y 7\ns n nan\n", 0, 3, {3, 2, 1, 0}},  // s x y n
      {"s x 5\ns n nan\ns y 7\n", 0, 2, {3, 2, 1, 0}},  // s x n y: n before y's 7
      {"n x 1\ns n nan\ns x 5\n", 2, 0, {1, 0, 2}},     // s n x: n before x's 5
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const EdgeGraph g = Graph(Deliverable::Anypairs, c.text);
    SourcePass pass;
    Path_Search(g, g.nameCount, c.source, SEARCH_PATHS, LENGTH_STORED, pass);
    EXPECT_EQ(StackFromTop(pass), c.stack);
    EXPECT_TRUE(std::isnan(pass.dist[c.nanNode]));
    EXPECT_EQ(pass.sigma[c.nanNode], 0.0);
    EXPECT_EQ(Preds(pass, c.nanNode), Ints{});
  }
}

// Source a: d comes off first and hands 0.5 to each of c and b; c and b
// each hand 1.5 to a. Only the non-source nodes gain their dependency.
TEST(Accumulate, FourNodeExample) {
  const EdgeGraph g = Graph(Deliverable::Anybridge, kFourNodes);
  SourcePass pass;
  Path_Search(g, 4, 0, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
  std::vector<double> scores(4, 0.0);
  Path_Accumulate(pass, 4, 0, scores);
  EXPECT_EQ(pass.delta, (Doubles{3.0, 0.5, 0.5, 0.0}));
  EXPECT_EQ(scores, (Doubles{0.0, 0.5, 0.5, 0.0}));
  EXPECT_EQ(pass.stack, nullptr);
  for (int32_t v = 0; v < 4; ++v) EXPECT_EQ(pass.preds[v], nullptr) << v;

  // A second call finds nothing left to do.
  Path_Accumulate(pass, 4, 0, scores);
  EXPECT_EQ(pass.delta, (Doubles{3.0, 0.5, 0.5, 0.0}));
  EXPECT_EQ(scores, (Doubles{0.0, 0.5, 0.5, 0.0}));

  std::vector<double> all(4, 0.0);
  for (int32_t s = 0; s < 4; ++s) {
    Path_Search(g, 4, s, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
    Path_Accumulate(pass, 4, s, all);
  }
  EXPECT_EQ(all, (Doubles{1, 1, 1, 1}));
}

std::vector<double> AllScores(const EdgeGraph& g) {
  std::vector<double> scores(static_cast<size_t>(g.nameCount), 0.0);
  SourcePass pass;
  for (int32_t s = 0; s < g.nameCount; ++s) {
    Path_Search(g, g.nameCount, s, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
    Path_Accumulate(pass, g.nameCount, s, scores);
  }
  return scores;
}

// From a, b has a twice as predecessor and count 2; c's 1.0 reaches b whole
// and b's 2.0 reaches a as two halves.
TEST(Accumulate, DuplicateLineGivesTheSameScores) {
  const EdgeGraph dup = Graph(Deliverable::Anybridge, "a b 1\na b 1\nb c 1\n");
  SourcePass pass;
  Path_Search(dup, 3, 0, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
  EXPECT_EQ(pass.sigma, (Doubles{1, 2, 2}));
  EXPECT_EQ(Preds(pass, 1), (Ints{0, 0}));
  std::vector<double> scores(3, 0.0);
  Path_Accumulate(pass, 3, 0, scores);
  EXPECT_EQ(pass.delta, (Doubles{2.0, 1.0, 0.0}));
  EXPECT_EQ(scores, (Doubles{0.0, 1.0, 0.0}));

  const EdgeGraph single = Graph(Deliverable::Anybridge, "a b 1\nb c 1\n");
  EXPECT_EQ(AllScores(dup), (Doubles{0, 2, 0}));
  EXPECT_EQ(AllScores(single), (Doubles{0, 2, 0}));
}

TEST(FastEngine, FourNodeExampleMatchesTheReference) {
  const EdgeGraph g = Graph(Deliverable::Anybridge, kFourNodes);
  const FastGraph fast = FastGraph_Build(g, LENGTH_RECIPROCAL);
  FastWorkspace ws;
  FastWorkspace_Init(ws, fast);
  Fast_Search(fast, 0, SEARCH_PATHS, ws);
  const Doubles dist{0.0, 0.5, 0.5, 1.0};
  const Doubles sigma{1, 1, 1, 2};
  for (int32_t v = 0; v < 4; ++v) {
    EXPECT_EQ(Fast_Distance(fast, ws, v), dist[v]) << v;
    EXPECT_EQ(Fast_Count(fast, ws, v), sigma[v]) << v;
  }
  EXPECT_EQ(Fast_SettleOrder(fast, ws), (Ints{0, 1, 2, 3}));
  std::vector<std::pair<int32_t, double>> added;
  Fast_Accumulate(0, ws, [&](int32_t w, double value) { added.emplace_back(w, value); });
  EXPECT_EQ(added, (std::vector<std::pair<int32_t, double>>{{3, 0.0}, {2, 0.5}, {1, 0.5}}));

  Fast_Search(fast, 3, SEARCH_DISTANCES, ws);
  EXPECT_EQ(Fast_Distance(fast, ws, 0), 1.0);
  Fast_Search(fast, 0, SEARCH_DISTANCES, ws);
  EXPECT_EQ(Fast_RowsFrom(fast, 1, ws), (Ints{1, 2, 3}));
}

}  // namespace
