// The betweenness driver shared by anybridge, plusbridge, betweenness and
// linkbridge.
#include <vector>

#include "graph/EdgeGraph.h"
#include "paths/FastEngine.h"
#include "paths/Path_Accumulate.h"
#include "programs/Arguments.h"
#include "programs/Drivers.h"
#include "programs/FastRun.h"
#include "programs/Output.h"

namespace {

// Sources beyond the named indices reach nothing and add nothing, so only
// named sources run; scores has one entry per name. A source whose counts
// overflowed is searched again with wide counts.
void ScoresByReference(const EdgeGraph& graph, LengthRule rule, std::vector<double>& scores) {
  SourcePass pass;
  for (int32_t s = 0; s < graph.nameCount; ++s) {
    Path_Search(graph, graph.nameCount, s, SEARCH_PATHS, rule, pass);
    if (Path_CountsOverflowed(pass)) {
      Path_Search(graph, graph.nameCount, s, SEARCH_PATHS, rule, pass, COUNTS_WIDE);
    }
    Path_Accumulate(pass, graph.nameCount, s, scores);
  }
}

// One task's dependencies: (node, value) pairs, source after source.
struct Contributions {
  std::vector<int32_t> nodes;
  std::vector<double> values;
};

void ScoresByFastEngine(const EdgeGraph& graph, LengthRule rule, const EngineChoice& engine,
                        std::vector<double>& scores) {
  const FastGraph fast = FastGraph_Build(graph, rule);
  auto produce = [&](int64_t begin, int64_t end, FastWorkspace& ws, Contributions& out) {
    out.nodes.clear();
    out.values.clear();
    auto append = [&](int32_t w, double value) {
      out.nodes.push_back(w);
      out.values.push_back(value);
    };
    for (int64_t s = begin; s < end; ++s) {
      const auto source = static_cast<int32_t>(s);
      const size_t before = out.nodes.size();
      Fast_Search(fast, source, SEARCH_PATHS, ws);
      if (Fast_Accumulate(source, ws, append)) continue;
      // A count overflowed: this source's dependencies are void, and wide
      // counts give them again.
      out.nodes.resize(before);
      out.values.resize(before);
      Fast_Search(fast, source, SEARCH_PATHS, ws, COUNTS_WIDE);
      Fast_Accumulate(source, ws, append);
    }
  };
  // Sources fold in ascending order, so every score sees the same additions
  // in the same order as a single-threaded run.
  auto consume = [&](Contributions& c) {
    for (size_t k = 0; k < c.nodes.size(); ++k) {
      double& score = scores[static_cast<size_t>(c.nodes[k])];
      score = AddOrdered(c.values[k], score);
    }
  };
  FastRun_Sources<Contributions>(fast, 0, fast.nodeCount, FastRunKind::Scores, engine, produce,
                                 consume);
}

}  // namespace

void Betweenness_Run(RunSettings settings, const std::vector<std::string>& args,
                     std::ostream& out, const EngineChoice& engine) {
  if (settings.fromCommandLine) Arguments_ReadFileAndCapacity(settings, args);
  const EdgeGraph graph = EdgeGraph_Load(settings);
  // anybridge covers the names it read; the fixed programs their whole capacity.
  const int32_t range = settings.fromCommandLine ? graph.nameCount : settings.nodeCapacity;

  std::vector<double> scores(static_cast<size_t>(graph.nameCount), 0.0);
  if (engine.reference) {
    ScoresByReference(graph, settings.lengthRule, scores);
  } else {
    ScoresByFastEngine(graph, settings.lengthRule, engine, scores);
  }

  TextBuffer text;
  for (int32_t i = 0; i < range; ++i) {
    text.Append(EdgeGraph_Name(graph, i));
    text.AppendChar(' ');
    text.AppendFixed6(i < graph.nameCount ? scores[static_cast<size_t>(i)] : 0.0);
    text.AppendChar('\n');
    Output_WriteWhenFull(out, text);
  }
  Output_Write(out, text.View());
}
