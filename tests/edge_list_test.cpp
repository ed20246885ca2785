// The edge-list reader and the compressed graph built from it against the
// reference loader and FastGraph_Build: the same names, indices, cells to
// the bit, input hash and failures, under every program's settings, on
// generated graphs and on inputs that break the line rules.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "graph/EdgeGraph.h"
#include "graph/EdgeList.h"
#include "paths/FastGraph.h"
#include "tests/TestSupport.h"

namespace {

struct Loaded {
  bool failed = false;
  int status = 0;
  std::string message;
  std::vector<std::string> names;
  FastGraph fast;
  uint64_t inputSize = 0, inputHash = 0;
};

template <class Load>
Loaded Capture(Load&& load) {
  Loaded out;
  try {
    load(out);
  } catch (const RunError& e) {
    out.failed = true;
    out.status = e.status();
    out.message = e.what();
  }
  return out;
}

void ExpectSame(const Loaded& want, const Loaded& got, const std::string& label) {
  ASSERT_EQ(want.failed, got.failed) << label << ": " << want.message << " / " << got.message;
  if (want.failed) {
    EXPECT_EQ(want.status, got.status) << label;
    EXPECT_EQ(want.message, got.message) << label;
    return;
  }
  EXPECT_EQ(want.names, got.names) << label;
  EXPECT_EQ(want.inputSize, got.inputSize) << label;
  EXPECT_EQ(want.inputHash, got.inputHash) << label;
  const FastGraph& a = want.fast;
  const FastGraph& b = got.fast;
  ASSERT_EQ(a.nodeCount, b.nodeCount) << label;
  EXPECT_EQ(a.offsets, b.offsets) << label;
  EXPECT_EQ(a.cellShape, b.cellShape) << label;
  EXPECT_EQ(a.heapOrderSafe, b.heapOrderSafe) << label;
  EXPECT_EQ(a.nameOf, b.nameOf) << label;
  EXPECT_EQ(a.nodeOf, b.nodeOf) << label;
  ASSERT_EQ(a.cells.size(), b.cells.size()) << label;
  for (size_t k = 0; k < a.cells.size(); ++k) {
    ASSERT_EQ(a.cells[k].target, b.cells[k].target) << label << ", cell " << k;
    ASSERT_EQ(a.cells[k].key, b.cells[k].key) << label << ", cell " << k;
    ASSERT_EQ(0, std::memcmp(&a.cells[k].length, &b.cells[k].length, sizeof(double)))
        << label << ", cell " << k;
  }
}

void ExpectSameLoad(Deliverable which, const std::string& text, int32_t capacity,
                    const std::string& label) {
  TempFile file(text);
  RunSettings settings = SettingsWithPath(which, file.path());
  if (capacity > 0) settings.nodeCapacity = capacity;
  const Loaded want = Capture([&](Loaded& out) {
    const EdgeGraph g = EdgeGraph_Load(settings);
    for (int32_t i = 0; i < g.nameCount; ++i) out.names.emplace_back(EdgeGraph_Name(g, i));
    out.fast = FastGraph_Build(g, settings.lengthRule);
    out.inputSize = g.inputSize;
    out.inputHash = g.inputHash;
  });
  const Loaded got = Capture([&](Loaded& out) {
    const EdgeList edges = EdgeList_Read(settings);
    for (int32_t i = 0; i < edges.NodeCount(); ++i) out.names.emplace_back(edges.names.Name(i));
    out.fast = FastGraph_FromEdges(edges, settings.lengthRule);
    out.inputSize = edges.inputSize;
    out.inputHash = edges.inputHash;
  });
  ExpectSame(want, got, label + ", deliverable " + std::to_string(static_cast<int>(which)));
}

constexpr Deliverable kEvery[] = {Deliverable::Anybridge, Deliverable::Plusbridge,
                                  Deliverable::Betweenness, Deliverable::Linkbridge,
                                  Deliverable::Spanpairs, Deliverable::Anypairs};

TEST(EdgeList, SameGraphAsTheReferenceLoaderOnGeneratedGraphs) {
  std::mt19937_64 rng(20261210);
  for (int round = 0; round < 40; ++round) {
    const GraphShape shape{2 + round * 7, 1 + round * 13, (round * 17) % 60, round % 9 == 0};
    const std::string text = MakeGraph(rng, shape);
    for (const Deliverable which : kEvery) {
      ExpectSameLoad(which, text, 0, "round " + std::to_string(round));
    }
  }
}

TEST(EdgeList, SameOutcomeOnInputsThatBreakTheLineRules) {
  const std::string longName(25, 'n');
  const std::string longLine = "a b 1" + std::string(3 << 20, ' ') + "x\nb c 2\n";
  const struct {
    const char* label;
    std::string text;
    int32_t capacity;
  } cases[] = {
      {"empty", "", 0},
      {"white space only", " \t\r\n\v\f\n\n", 0},
      {"no final newline", "a b 1\nb c 2", 0},
      {"blanks of every kind", "\ta\vb\f1.5abc \r\n  c\td -0x1p3\r\n", 0},
      {"one name", "a b 1\nc\n", 0},
      {"no weight", "a b 1\nc d\n", 0},
      {"weight not a number", "a b 1\nc d abc\n", 0},
      {"special weights", "a b inf\nb c nan\nc d -1\nd a -inf\na a 0\ne f 1e-320\n", 0},
      {"name of the widest width", std::string(20, 'w') + " " + std::string(16, 'v') + " 1\n", 0},
      {"name too long", "a b 1\n" + longName + " b 1\n", 0},
      {"name too long on a dropped line", "a b 1\n" + longName + " b 0\n", 0},
      {"capacity reached", "a b 1\nb c 1\nc d 1\n", 3},
      {"capacity and a dropped line", "a b 1\nc d -1\nb a 2\n", 2},
      {"a NUL ends the line", std::string("a b 1\nc d 2\0junk\ne", 17) + "\n", 0},
      {"a NUL before the weight", std::string("a b\0 1\n", 7), 0},
      {"a line of several mebibytes", longLine, 0},
  };
  for (const auto& c : cases) {
    for (const Deliverable which : kEvery) ExpectSameLoad(which, c.text, c.capacity, c.label);
  }
}

TEST(EdgeList, UnreadableInputFailsAlike) {
  TempDir dir;
  for (const std::string& path : {dir.path() + "/absent", dir.path()}) {
    RunSettings settings = SettingsWithPath(Deliverable::Anybridge, path);
    settings.nodeCapacity = 10;
    const Loaded want = Capture([&](Loaded&) { EdgeGraph_Load(settings); });
    const Loaded got = Capture([&](Loaded&) { EdgeList_Read(settings); });
    ASSERT_TRUE(want.failed);
    ExpectSame(want, got, path);
  }
}

TEST(EdgeList, BuilderNumbersNamesInOrderOfFirstAppearance) {
  EdgeListBuilder builder(100000);
  std::vector<std::string> names;
  for (int i = 0; i < 70000; ++i) names.push_back("n" + std::to_string(i * 7919 % 70001));
  for (size_t i = 0; i < names.size(); ++i) ASSERT_EQ(builder.Intern(names[i]), static_cast<int32_t>(i));
  for (size_t i = names.size(); i-- > 0;) ASSERT_EQ(builder.Intern(names[i]), static_cast<int32_t>(i));
  EXPECT_EQ(builder.Intern(""), 70000);  // the empty name is a name
  EdgeListBuilder full(2);
  EXPECT_EQ(full.Intern("a"), 0);
  EXPECT_EQ(full.Intern("b"), 1);
  EXPECT_EQ(full.Intern("c"), -1);
  EXPECT_EQ(full.Intern("a"), 0);
  const EdgeList list = full.Finish();
  EXPECT_EQ(list.NodeCount(), 2);
  EXPECT_EQ(list.names.Name(1), "b");
  EXPECT_EQ(list.names.Name(2), "");
}

}  // namespace
