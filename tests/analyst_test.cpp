// scores and distances in process, against what they must equal: the exact
// scores are anybridge's bits whatever the format; each length rule is the
// reference engine's; the listing's options agree with a listing made here
// from the library's doubles; estimates are the reference engine's sums over
// the drawn sources, the same bytes on any thread count and across a
// resumed checkpoint; and every usage error says what it says.
#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analyst/AnalystPrograms.h"
#include "graph/EdgeGraph.h"
#include "library/Fixed6.h"
#include "library/Sampling.h"
#include "paths/Path_Accumulate.h"
#include "pathsuite/pathsuite.h"
#include "tests/FormatsSupport.h"
#include "tests/TestSupport.h"

namespace {

const Program& Scores() { return Analyst_Programs()[0]; }
const Program& Distances() { return Analyst_Programs()[1]; }

std::string RunWith(const Program& program, const std::vector<std::string>& args,
                    const RunOptions& options = {}) {
  std::ostringstream out;
  program.driver(RunSettings_For(program), args, out, options, EngineChoice{});
  return out.str();
}

std::string RunOn(const Program& program, const std::vector<std::string>& args, unsigned threads) {
  RunOptions options;
  options.threads = threads;
  return RunWith(program, args, options);
}

// The second field of each "name value" line, read back.
std::vector<double> Values(const std::string& listing) {
  std::vector<double> values;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const std::string text = line.substr(line.rfind(' ') + 1);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    values.push_back(value);
  }
  return values;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameBits(const std::vector<double>& expected, const std::vector<double>& actual,
                    const std::string& label) {
  ASSERT_EQ(expected.size(), actual.size()) << label;
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_TRUE(SameBits(expected[i], actual[i]))
        << label << ": node " << i << " " << expected[i] << " against " << actual[i];
  }
}

// An edge of a generated graph: ends named 1.. in order of first appearance
// (so that a Matrix Market file names them alike) and a weight's text.
struct Edge {
  int a, b;
  std::string w;
};

std::vector<Edge> NumberedGraph(std::mt19937_64& rng, int nodes, int extra) {
  std::vector<Edge> edges;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
  auto weight = [&] { return std::string(kTieWeights[pick(std::size(kTieWeights))]); };
  for (int v = 2; v <= nodes; ++v) edges.push_back({1 + pick(v - 1), v, weight()});
  for (int k = 0; k < extra; ++k) edges.push_back({1 + pick(nodes), 1 + pick(nodes), weight()});
  return edges;
}

std::string Lines(const std::vector<Edge>& edges, const std::string& head, char sep,
                  const std::string& end = "\n") {
  std::string text = head;
  for (const Edge& e : edges) {
    text += std::to_string(e.a) + sep + std::to_string(e.b) + sep + e.w + end;
  }
  return text;
}

// Every format and header choice reads the same graph, and scores prints
// anybridge's listing and, with --exact, its doubles.
TEST(ScoresExact, EveryFormatAndHeaderChoiceGivesAnybridgesBits) {
  std::mt19937_64 rng(25);
  const TempDir dir;
  for (int round = 0; round < 3; ++round) {
    const int nodes = 20 + 60 * round;
    const std::vector<Edge> edges = NumberedGraph(rng, nodes, 3 * nodes);
    const std::string blank = Lines(edges, "", ' ');
    const std::string listing = RunOnText(Deliverable::Anybridge, blank, "100000", {}, {});
    pathsuite::Betweenness library(pathsuite::Graph::ReadEdges(WriteNamed(dir.path(), "g", blank)));
    library.Run();
    std::string swapped = "weight,x,target,source\n";
    for (const Edge& e : edges) {
      swapped += e.w + ",z," + std::to_string(e.b) + "," + std::to_string(e.a) + "\n";
    }
    std::string mtx = "%%MatrixMarket matrix coordinate real general\n% made here\n" +
                      std::to_string(nodes) + " " + std::to_string(nodes) + " " +
                      std::to_string(edges.size()) + "\n";
    mtx += Lines(edges, "", ' ');
    const struct {
      std::string name;
      std::string content;
      std::vector<std::string> options;
    } files[] = {
        {"g.txt", blank, {}},
        {"g.txt", blank, {"--no-header", "--format=blank"}},
        {"h.txt", Lines(edges, "source target weight\n", ' '), {}},
        {"h.txt", Lines(edges, "# a comment\nsource target weight\n", ' '), {"--header"}},
        {"g.csv", Lines(edges, "source,target,weight\n", ','), {}},
        {"g.csv", "\xEF\xBB\xBF" + Lines(edges, "from,to,w\r\n", ',', "\r\n"), {}},
        {"g.dat", Lines(edges, "", ','), {"--format", "csv", "--no-header"}},
        {"g.tsv", Lines(edges, "a\tb\tweight\n", '\t'), {"--header"}},
        {"g.tab", Lines(edges, "", '\t'), {}},
        {"s.csv", swapped, {"--columns", "source,target,weight"}},
        {"s.csv", swapped, {"--columns=4,3,1"}},
        {"g.mtx", mtx, {}},
        {"g.data", mtx, {}},
#ifdef TESTS_WRITE_GZIP
        {"g.csv.gz", Gzip(Lines(edges, "source,target,weight\n", ',')), {}},
        {"g.gz", Gzip(blank), {}},
#endif
    };
    for (const auto& f : files) {
      const std::string path = WriteNamed(dir.path(), f.name, f.content);
      const std::string label = f.name + " " + ::testing::PrintToString(f.options);
      std::vector<std::string> args = JoinArgs({path}, f.options);
      EXPECT_EQ(listing, RunOn(Scores(), args, 2)) << label;
      ExpectSameBits(library.Scores(), Values(RunOn(Scores(), JoinArgs(args, {"--exact"}), 3)),
                     label);
    }
    // Standard input, as a pipe would give it.
    StdinFromStream in(Lines(edges, "source,target,weight\n", ','));
    EXPECT_EQ(listing, RunWith(Scores(), {"-", "--format", "csv"}));
  }
}

// Each length rule, for scores and for distances, prints the reference
// engine's listing under that rule, on graphs full of ties and special
// weights.
TEST(Lengths, EveryRuleIsTheReferenceEngines) {
  std::mt19937_64 rng(2025);
  const struct {
    const char* word;
    LengthRule rule;
  } rules[] = {{"inverse", LENGTH_RECIPROCAL}, {"weight", LENGTH_STORED}, {"unit", LENGTH_UNIT}};
  for (const GraphShape shape : {GraphShape{6, 14, 0, false}, GraphShape{40, 120, 15, false},
                                 GraphShape{90, 300, 40, false}, GraphShape{0, 0, 0, true}}) {
    const TempFile file(MakeGraph(rng, shape));
    for (const auto& r : rules) {
      SCOPED_TRACE(std::string(r.word) + ", " + std::to_string(shape.names) + " names");
      for (const auto& [reference, program] :
           {std::pair{Deliverable::Anybridge, &Scores()}, {Deliverable::Anypairs, &Distances()}}) {
        RunSettings settings = RunSettings_For(reference);
        settings.lengthRule = r.rule;
        std::ostringstream expected;
        RunDriver(Program_Of(reference).driver, settings, {file.path(), "x", "100000"}, expected,
                  TestEngine{true, 1});
        EXPECT_EQ(expected.str(), RunOn(*program, {file.path(), "--length", r.word}, 3));
      }
    }
  }
}

std::string Fixed(double value, int digits) {
  char text[400];
  return std::string(text, static_cast<size_t>(std::snprintf(text, sizeof text, "%.*f", digits,
                                                             value)));
}

// --normalized, --top, --digits and --csv against a listing made here from
// the library's doubles: the order by a sort of its own, the normalisation
// as NetworkX's, (n-1)(n-2) ordered pairs.
TEST(ScoresListing, OptionsAgreeWithAListingMadeHere) {
  std::mt19937_64 rng(77);
  for (const int names : {2, 3, 30, 150}) {
    const TempFile file(MakeGraph(rng, GraphShape{names, 3 * names, 0, false}));
    const pathsuite::Graph graph = pathsuite::Graph::ReadEdges(file.path());
    pathsuite::Betweenness run(graph);
    run.Run();
    const std::vector<double>& raw = run.Scores();
    const auto n = static_cast<double>(graph.NodeCount());
    std::vector<int32_t> order(raw.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return raw[size_t(a)] > raw[size_t(b)]; });
    for (const int64_t top : {int64_t{1}, int64_t{7}, int64_t{1000}}) {
      for (const int digits : {0, 3, 12}) {
        std::string expected = "node,score\n";
        for (size_t k = 0; k < std::min<size_t>(order.size(), size_t(top)); ++k) {
          const double score = raw[size_t(order[k])];
          expected += std::string(graph.Name(order[k])) + "," +
                      Fixed(n > 2 ? score / ((n - 1) * (n - 2)) : score, digits) + "\n";
        }
        EXPECT_EQ(expected, RunOn(Scores(), {file.path(), "--top", std::to_string(top), "--csv",
                                             "--digits", std::to_string(digits), "--normalized"},
                                  2))
            << names << " names, top " << top << ", " << digits << " digits";
      }
    }
  }
}

// Names that CSV must quote come back whole when the CSV listing is read as
// an edge list, and --exact distances come back as the library's doubles.
TEST(DistancesListing, CsvExactReadsBackAsTheGraphsDistances) {
  const std::vector<std::string> names = {"plain", "with,comma", "with \"quote\"", " spaced ",
                                          "\xC3\xA9t\xC3\xA9", "#tag", "%50", "x"};
  std::string csv = "source,target,weight\n";
  std::mt19937_64 rng(3);
  auto quote = [](const std::string& s) {
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  for (size_t k = 0; k < 3 * names.size(); ++k) {
    csv += quote(names[k % names.size()]) + "," + quote(names[rng() % names.size()]) + "," +
           kTieWeights[rng() % std::size(kTieWeights)] + "\n";
  }
  const TempDir dir;
  const std::string path = WriteNamed(dir.path(), "g.csv", csv);
  const std::string out = RunOn(Distances(), {path, "--csv", "--exact", "--length=weight"}, 2);
  const EdgeList back = Formats_Read(OptionsFor(WriteNamed(dir.path(), "back.csv", out)));
  const EdgeList graph = Formats_Read(OptionsFor(path));
  struct Rows final : pathsuite::DistanceSink {
    std::vector<std::string> pairs;
    std::vector<double> distances;
    const NameList* names = nullptr;
    void Take(pathsuite::TextBuffer&, int32_t s, std::span<const int32_t> targets,
              std::span<const double> d) override {
      for (size_t k = 0; k < targets.size(); ++k) {
        pairs.push_back(std::string(names->Name(s)) + "|" + std::string(names->Name(targets[k])));
        distances.push_back(d[k]);
      }
    }
    void Emit(pathsuite::TextBuffer&) override {}
  } rows;
  rows.names = &graph.names;
  std::vector<std::string_view> first, second;
  for (size_t e = 0; e < graph.EdgeCount(); ++e) {
    first.push_back(graph.names.Name(graph.ends[2 * e]));
    second.push_back(graph.names.Name(graph.ends[2 * e + 1]));
  }
  pathsuite::Distances(pathsuite::Graph::FromNames(first, second, graph.weights),
                       pathsuite::Length::Weight, 0, graph.NodeCount(), pathsuite::Targets::Above)
      .Run(rows);
  ASSERT_EQ(rows.pairs.size(), back.EdgeCount());
  for (size_t e = 0; e < back.EdgeCount(); ++e) {
    EXPECT_EQ(rows.pairs[e], std::string(back.names.Name(back.ends[2 * e])) + "|" +
                                 std::string(back.names.Name(back.ends[2 * e + 1])));
    EXPECT_TRUE(SameBits(rows.distances[e], back.weights[e])) << rows.pairs[e];
  }
}

// The estimate of a sample, made here on the reference engine: the drawn
// sources' dependencies summed in ascending source order, times n/K.
std::vector<double> ReferenceEstimate(const std::string& path, const std::vector<int32_t>& sample) {
  RunSettings settings = SettingsWithPath(Deliverable::Anybridge, path);
  settings.nodeCapacity = INT32_MAX;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  const int32_t n = graph.nameCount;
  std::vector<double> sums(static_cast<size_t>(n), 0.0);
  SourcePass pass;
  for (const int32_t s : sample) {
    Path_Search(graph, n, s, SEARCH_PATHS, LENGTH_RECIPROCAL, pass);
    EXPECT_FALSE(Path_CountsOverflowed(pass));  // social graphs' counts stay small
    Path_Accumulate(pass, n, s, sums);
  }
  const double scale = static_cast<double>(n) / static_cast<double>(sample.size());
  for (double& sum : sums) sum *= scale;
  return sums;
}

class Estimates : public ::testing::Test {
 protected:
  static constexpr uint32_t kNodes = 1200;
  void SetUp() override { std::ofstream(file_.path()) << SocialGraph(kNodes, 99); }
  TempFile file_{""};
};

// A sample is the reference's estimate over Sampling_Sources' draw, the
// same bytes on 1, 2 and 7 threads; --sample n is the exact run.
TEST_F(Estimates, SamplesAreTheReferencesSumsOnEveryThreadCount) {
  const std::string exact = RunOn(Scores(), {file_.path(), "--exact"}, 2);
  for (const auto& [k, seed] : {std::pair<int32_t, uint64_t>{1, 5}, {37, kSampleSeed}, {240, 8},
                                {int32_t{kNodes}, 3}}) {
    SCOPED_TRACE("--sample " + std::to_string(k) + " --seed " + std::to_string(seed));
    std::vector<std::string> args = {file_.path(), "--sample", std::to_string(k), "--exact"};
    if (seed != kSampleSeed) args = JoinArgs(args, {"--seed", std::to_string(seed)});
    const std::string one = RunOn(Scores(), args, 1);
    if (k < int32_t{kNodes}) {  // the whole run is the exact one, checked below
      ExpectSameBits(ReferenceEstimate(file_.path(), Sampling_Sources(kNodes, k, seed)),
                     Values(one), "against the reference");
    }
    for (const unsigned threads : {2u, 7u}) EXPECT_EQ(one, RunOn(Scores(), args, threads));
    if (k == int32_t{kNodes}) {
      EXPECT_EQ(exact, one) << "--sample n is not the exact run";
    }
  }
  EXPECT_EQ(RunOn(Scores(), {file_.path()}, 1),
            RunOn(Scores(), {file_.path(), "--sample", std::to_string(kNodes)}, 3));
}

// --epsilon folds Hoeffding's K of the draw; --adaptive stops at a check
// of the plan: its listing is a sample's of that many sources, folded
// stage by stage. The same bytes on every thread count.
TEST_F(Estimates, EpsilonAndTheAdaptiveStopAreSamplesOfThePlannedSize) {
  for (const double epsilon : {0.3, 0.15}) {
    const std::string e = std::to_string(epsilon);
    const std::string fixed = RunOn(Scores(), {file_.path(), "--epsilon", e, "--exact"}, 1);
    const int32_t k = Sampling_HoeffdingCount(kNodes, epsilon, kSampleDelta);
    ExpectSameBits(ReferenceEstimate(file_.path(), Sampling_Sources(kNodes, k, kSampleSeed)),
                   Values(fixed), "--epsilon " + e);
    const std::vector<std::string> adaptive = {file_.path(), "--epsilon", e, "--adaptive",
                                               "--normalized", "--exact"};
    const std::string one = RunOn(Scores(), adaptive, 1);
    for (const unsigned threads : {2u, 7u}) EXPECT_EQ(one, RunOn(Scores(), adaptive, threads));
    // Every node within E of its exact normalised score (D = 0.1 allows a
    // miss one run in ten; this seed makes none).
    const std::vector<double> estimate = Values(one);
    const std::vector<double> exact =
        Values(RunOn(Scores(), {file_.path(), "--normalized", "--exact"}, 2));
    for (size_t v = 0; v < exact.size(); ++v) EXPECT_NEAR(exact[v], estimate[v], epsilon) << v;
  }
}

// Where a check can pass, the adaptive stop ends there: on 66667 paths
// a-b-c (200001 nodes) a source adds 1 to its path's centre alone, so
// every variance is tiny and the first check, at 2048 sources, passes. The
// listing is then the sample of the draw's first 2048, each centre's score
// the count of its path's ends among them times n/2048, on every thread
// count and across a resumed checkpoint.
TEST(AdaptiveStop, StopsAtTheFirstCheckThatHolds) {
  constexpr int32_t kPaths = 66667, n = 3 * kPaths;
  std::string text;
  for (int32_t i = 0; i < kPaths; ++i) {
    const std::string k = std::to_string(i);
    text += "a" + k + " b" + k + " 1\nb" + k + " c" + k + " 1\n";
  }
  const TempFile file(text);
  const AdaptivePlan plan = Sampling_AdaptivePlan(n, 0.05, kSampleDelta);
  ASSERT_EQ(2u, plan.checkpoints.size());
  ASSERT_EQ(2048, plan.checkpoints[0]);  // the only check below the cap, 3180
  std::vector<double> expected(static_cast<size_t>(n), 0.0);
  for (const int32_t s : Sampling_Sources(n, 2048, kSampleSeed)) {
    if (s % 3 != 1) expected[static_cast<size_t>(s - s % 3 + 1)] += 1.0;  // an end: its centre
  }
  for (double& score : expected) score *= static_cast<double>(n) / 2048.0;
  const std::vector<std::string> args = {file.path(), "--epsilon", "0.05", "--adaptive",
                                         "--exact"};
  int64_t last = 0;
  RunOptions watched;
  watched.threads = 1;
  watched.progress = [&](int64_t done, int64_t) { last = std::max(last, done); };
  const std::string one = RunWith(Scores(), args, watched);
  EXPECT_EQ(2048, last) << "folded past the check";
  ExpectSameBits(expected, Values(one), "the first 2048 sources");
  EXPECT_EQ(one, RunOn(Scores(), args, 7));
  const TempDir dir;
  std::atomic<bool> cancel{false};
  RunOptions stopping;
  stopping.threads = 2;
  stopping.cancel = &cancel;
  stopping.checkpoint = pathsuite::CheckpointOptions{dir.path() + "/run.ckpt", 1e9};
  stopping.progress = [&](int64_t done, int64_t) { cancel = cancel || done >= 1000; };
  EXPECT_THROW(RunWith(Scores(), args, stopping), pathsuite::Cancelled);
  EXPECT_GE(SavedSources(dir.path() + "/run.ckpt"), 1000);
  stopping.cancel = nullptr;
  EXPECT_EQ(one, RunWith(Scores(), args, stopping));
}

// A run cancelled with a checkpoint and resumed on another thread count
// prints the bytes of one never stopped, for a sample and for the adaptive
// stop; a checkpoint of another draw is refused.
TEST_F(Estimates, ResumedCheckpointsGiveTheSameBytes) {
  const TempDir dir;
  const std::string ckpt = dir.path() + "/run.ckpt";
  const std::vector<std::vector<std::string>> runs = {
      {file_.path(), "--sample", "500", "--exact"},
      {file_.path(), "--epsilon", "0.15", "--adaptive", "--exact"},
      {file_.path(), "--exact"}};
  for (const std::vector<std::string>& args : runs) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const std::string expected = RunOn(Scores(), args, 2);
    for (const double fraction : {0.1, 0.45, 0.8}) {
      std::filesystem::remove(ckpt);  // a run's checkpoint stays until its caller removes it
      std::atomic<bool> cancel{false};
      RunOptions stopping;
      stopping.threads = 3;
      stopping.cancel = &cancel;
      stopping.checkpoint = pathsuite::CheckpointOptions{ckpt, 1e9};
      stopping.progress = [&](int64_t done, int64_t total) {
        if (static_cast<double>(done) >= fraction * static_cast<double>(total)) cancel = true;
      };
      EXPECT_THROW(RunWith(Scores(), args, stopping), pathsuite::Cancelled);
      ASSERT_GT(SavedSources(ckpt), 0);
      RunOptions resumed;
      resumed.threads = 1;
      resumed.checkpoint = pathsuite::CheckpointOptions{ckpt, 1e9};
      EXPECT_EQ(expected, RunWith(Scores(), args, resumed)) << "stopped at " << fraction;
    }
  }
  // Still there (the driver leaves removal to its caller): another seed's
  // run must not take it.
  RunOptions other;
  other.checkpoint = pathsuite::CheckpointOptions{ckpt, 1e9};
  EXPECT_THROW(RunWith(Scores(), {file_.path(), "--exact", "--sample", "500", "--seed", "2"}, other),
               RunError);
}

// Every usage error of the two programs' own options: status 2, and the
// message word for word.
TEST(AnalystUsage, EachErrorSaysWhatIsWrong) {
  const TempFile file("a b 1\nb c 2\n");
  const std::string f = file.path();
  const struct {
    const Program& program;
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {Scores(), {}, "no EDGE_FILE given (- reads standard input)"},
      {Scores(), {f, "g2"}, "one EDGE_FILE only, not '" + f + "' and 'g2'"},
      {Scores(), {f, "--frob"}, "unknown option '--frob' (scores --help lists them)"},
      {Scores(), {f, "--frob=1"}, "unknown option '--frob' (scores --help lists them)"},
      {Distances(), {f, "--top", "3"}, "--top is an option of scores, not distances"},
      {Scores(), {f, "--sources", "0..1"}, "--sources is an option of distances, not scores"},
      {Scores(), {f, "--top"}, "--top needs a value"},
      {Scores(), {f, "--csv=yes"}, "--csv takes no value"},
      {Scores(), {f, "--top", "1e3"}, "--top takes a whole number from 1 to 2147483647, not '1e3'"},
      {Scores(), {f, "--top=0"}, "--top takes a whole number from 1 to 2147483647, not '0'"},
      {Scores(), {f, "--digits", "31"}, "--digits takes a whole number from 0 to 30, not '31'"},
      {Scores(), {f, "--digits", "3", "--exact"}, "--digits and --exact cannot go together"},
      {Scores(), {f, "--length", "log"},
       "--length takes inverse (1/(1+w)), weight (w) or unit (1), not 'log'"},
      {Scores(), {f, "--format", "xls"}, "--format takes one of blank, csv, tsv, mtx, not 'xls'"},
      {Scores(), {f, "--header", "--no-header"}, "--header and --no-header cannot go together"},
      {Scores(), {f, "--sample", "2", "--epsilon", "0.1"},
       "--sample and --epsilon cannot go together"},
      {Scores(), {f, "--delta", "0.1"}, "--delta needs --epsilon"},
      {Scores(), {f, "--adaptive"}, "--adaptive needs --epsilon"},
      {Scores(), {f, "--seed", "4"}, "--seed needs --sample or --epsilon"},
      {Scores(), {f, "--seed", "-4", "--sample", "1"},
       "--seed takes a whole number from 0 to 18446744073709551615, not '-4'"},
      {Scores(), {f, "--epsilon", "abc"}, "--epsilon takes a number, not 'abc'"},
      {Scores(), {f, "--sample", "4"},
       "--sample 4 is more than the 3 nodes of " + f + " (--sample 3 is the exact run)"},
      {Distances(), {f, "--sources", "2..1"}, "--sources 2..1: FIRST is above LAST"},
      {Distances(), {f, "--sources", "1-2"},
       "--sources takes FIRST..LAST (node indices from 0, both included), not '1-2'"},
      {Distances(), {f, "--sources", "0..3"},
       "--sources 0..3 goes beyond the nodes of " + f + ", 0..2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    try {
      RunWith(c.program, c.args);
      ADD_FAILURE() << "no error";
    } catch (const RunError& e) {
      EXPECT_EQ(kStatusUsage, e.status());
      EXPECT_EQ(c.message, e.what());
    }
  }
  // The bound's own checks (Sampling_CheckBound) stand for the rest.
  EXPECT_THROW(RunWith(Scores(), {f, "--epsilon", "0"}), RunError);
  EXPECT_THROW(RunWith(Scores(), {f, "--epsilon", "0.1", "--delta", "1"}), RunError);
}

}  // namespace
