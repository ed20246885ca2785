// The library's public API: its scores against the reference engine's bits
// for every way of making a graph, cancelling and resuming through a
// checkpoint, and distance rows as a sink receives them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "graph/EdgeGraph.h"
#include "library/DriverSteps.h"
#include "pathsuite/pathsuite.h"
#include "tests/TestSupport.h"

namespace {

using pathsuite::Graph;
using pathsuite::Length;

std::vector<double> ReferenceScores(const std::string& path, LengthRule rule) {
  RunSettings settings = SettingsWithPath(Deliverable::Anypairs, path);
  settings.nodeCapacity = INT32_MAX;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  return Betweenness_ReferenceScores(graph, rule);
}

void ExpectSameBits(const std::vector<double>& want, const std::vector<double>& got,
                    const std::string& label) {
  ASSERT_EQ(want.size(), got.size()) << label;
  for (size_t i = 0; i < want.size(); ++i) {
    ASSERT_EQ(0, std::memcmp(&want[i], &got[i], sizeof(double))) << label << ", node " << i;
  }
}

pathsuite::RunOptions Threads(unsigned threads) {
  pathsuite::RunOptions options;
  options.threads = threads;
  return options;
}

std::vector<double> ScoresOf(const Graph& graph, Length length,
                             const pathsuite::RunOptions& options = {}) {
  pathsuite::Betweenness run(graph, length);
  run.Run(options);
  return run.TakeScores();
}

// The lines of a generated graph as the three arrays of FromNames.
struct Lines {
  std::vector<std::string> first, second;
  std::vector<double> weights;
};

Lines LinesOf(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string a, b, w; in >> a >> b >> w;) {
    lines.first.push_back(a);
    lines.second.push_back(b);
    lines.weights.push_back(std::strtod(w.c_str(), nullptr));
  }
  return lines;
}

TEST(Api, EveryGraphFormGivesTheReferenceBits) {
  std::mt19937_64 rng(7);
  const std::pair<Length, LengthRule> rules[] = {{Length::Inverse, LENGTH_RECIPROCAL},
                                                 {Length::Weight, LENGTH_STORED},
                                                 {Length::Unit, LENGTH_UNIT}};
  for (int round = 0; round < 6; ++round) {
    const std::string text = MakeGraph(rng, {10 + 20 * round, 30 + 60 * round, 15 * round, round == 5});
    TempFile file(text);
    const Graph read = Graph::ReadEdges(file.path());
    const Lines lines = LinesOf(text);
    const std::vector<std::string_view> a(lines.first.begin(), lines.first.end());
    const std::vector<std::string_view> b(lines.second.begin(), lines.second.end());
    const Graph named = Graph::FromNames(a, b, lines.weights);
    std::vector<int64_t> ia, ib;
    for (size_t e = 0; e < a.size(); ++e) {
      for (auto [name, ids] : {std::pair{a[e], &ia}, std::pair{b[e], &ib}}) {
        int32_t id = 0;
        while (read.Name(id) != name) ++id;
        ids->push_back(id);
      }
    }
    std::vector<std::string_view> names;
    for (int32_t i = 0; i < read.NodeCount(); ++i) names.push_back(read.Name(i));
    const Graph byIds = Graph::FromIds(ia, ib, lines.weights, read.NodeCount(), names);
    for (const auto& [length, rule] : rules) {
      const std::vector<double> want = ReferenceScores(file.path(), rule);
      const std::string label = "round " + std::to_string(round) + " rule " + std::to_string(rule);
      ExpectSameBits(want, ScoresOf(read, length, Threads(1)), label + " read");
      ExpectSameBits(want, ScoresOf(named, length, Threads(3)), label + " names");
      ExpectSameBits(want, ScoresOf(byIds, length, Threads(2)), label + " ids");
    }
  }
}

TEST(Api, ACancelledRunResumesFromItsCheckpointToTheSameBits) {
  const std::string text = SocialGraph(3000, 11);
  TempFile file(text);
  TempDir dir;
  const Graph graph = Graph::ReadEdges(file.path());
  const std::vector<double> whole = ScoresOf(graph, Length::Inverse, Threads(2));
  std::atomic<bool> cancel{false};
  pathsuite::RunOptions options = Threads(2);
  options.cancel = &cancel;
  options.progress = [&](int64_t done, int64_t) { if (done >= 700) cancel = true; };
  options.checkpoint = pathsuite::CheckpointOptions{dir.path() + "/run.ckpt", 1e9};
  try {
    ScoresOf(graph, Length::Inverse, options);
    FAIL() << "the run was not cancelled";
  } catch (const pathsuite::Cancelled& stop) {
    EXPECT_TRUE(stop.saved());
    EXPECT_GE(stop.sourcesDone(), 700);
    EXPECT_LT(stop.sourcesDone(), 3000);
    EXPECT_EQ(SavedSources(options.checkpoint->path), stop.sourcesDone());
  }
  // Another length is another run: its checkpoint is refused, and kept.
  options.cancel = nullptr;
  options.progress = {};
  EXPECT_THROW(ScoresOf(graph, Length::Unit, options), pathsuite::Error);
  EXPECT_GT(SavedSources(options.checkpoint->path), 0);
  ExpectSameBits(whole, ScoresOf(graph, Length::Inverse, options), "resumed");
  EXPECT_EQ(SavedSources(options.checkpoint->path), -1) << "the finished run's checkpoint is left";

  // Without a checkpoint nothing is saved, and the stop says so.
  cancel = true;
  options.cancel = &cancel;
  options.checkpoint.reset();
  try {
    ScoresOf(graph, Length::Inverse, options);
    FAIL() << "the run was not cancelled";
  } catch (const pathsuite::Cancelled& stop) {
    EXPECT_FALSE(stop.saved());
  }
}

// Rows as a sink sees them: buffers emitted in source order, each a row's
// pieces in order.
class Collect final : public pathsuite::DistanceSink {
 public:
  void Take(pathsuite::TextBuffer& buffer, int32_t source, std::span<const int32_t> targets,
            std::span<const double> distances) override {
    for (size_t k = 0; k < targets.size(); ++k) {
      buffer.Append(std::to_string(source) + " " + std::to_string(targets[k]) + " ");
      buffer.AppendFixed6(distances[k]);
      buffer.AppendChar('\n');
    }
  }
  void Emit(pathsuite::TextBuffer& buffer) override {
    text.append(buffer.View());
    emits += 1;
  }
  std::string text;
  int emits = 0;
};

TEST(Api, DistanceRowsComeInSourceOrderWhateverTheirSize) {
  // A star of 20000 leaves: a row of 400 KB in pieces, a task's text of
  // several MiB emitted as it grows.
  std::string star;
  for (int leaf = 1; leaf <= 20000; ++leaf) star += "hub leaf" + std::to_string(leaf) + " 1\n";
  TempFile file(star);
  const Graph graph = Graph::ReadEdges(file.path());
  Collect one, seven, above;
  pathsuite::Distances(graph, Length::Weight, 0, 40).Run(one, Threads(1));
  pathsuite::Distances(graph, Length::Weight, 0, 40).Run(seven, Threads(7));
  pathsuite::Distances(graph, Length::Weight, 0, 40, pathsuite::Targets::Above).Run(above, Threads(7));
  EXPECT_EQ(one.text, seven.text);
  EXPECT_GT(seven.emits, 5) << "no task of 8 rows emitted before its end";
  std::istringstream rows(one.text);
  std::string kept;
  int64_t count = 0, lastSource = 0;
  for (int64_t s, t; rows >> s >> t;) {
    std::string d;
    rows >> d;
    ASSERT_GE(s, lastSource);
    lastSource = s;
    count += 1;
    if (t > s) kept += std::to_string(s) + " " + std::to_string(t) + " " + d + "\n";
  }
  EXPECT_EQ(count, 40 * 20001);
  EXPECT_EQ(above.text, kept);
  Collect none;
  EXPECT_THROW(pathsuite::Distances(graph, Length::Weight, 5, 20002).Run(none), pathsuite::Error);
}

TEST(Api, BadArraysAreUsageErrors) {
  const std::vector<int64_t> ends = {0, 1};
  const std::vector<double> one = {1.0};
  const auto kind = [](auto&& make) {
    try {
      make();
    } catch (const pathsuite::Error& e) {
      return e.kind();
    }
    return pathsuite::ErrorKind::Stopped;
  };
  EXPECT_EQ(kind([&] { Graph::FromIds(ends, ends, one); }), pathsuite::ErrorKind::Usage);
  EXPECT_EQ(kind([&] { Graph::FromIds({ends.data(), 1}, {ends.data() + 1, 1}, one, 1); }),
            pathsuite::ErrorKind::Usage);
  const std::vector<std::string_view> names = {"a"};
  EXPECT_EQ(kind([&] { Graph::FromIds({ends.data(), 1}, {ends.data() + 1, 1}, one, 2, names); }),
            pathsuite::ErrorKind::Usage);
  const Graph isolated = Graph::FromIds({ends.data(), 1}, {ends.data() + 1, 1}, one, 4);
  EXPECT_EQ(isolated.NodeCount(), 4);
  EXPECT_EQ(isolated.Name(3), "3");
  EXPECT_EQ(ScoresOf(isolated, Length::Inverse), (std::vector<double>{0, 0, 0, 0}));
}

}  // namespace
