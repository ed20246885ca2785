// The betweenness driver shared by anybridge, plusbridge, betweenness and
// linkbridge.
#include <algorithm>

#include "graph/EdgeGraph.h"
#include "paths/FastEngine.h"
#include "paths/OrderedRun.h"
#include "paths/Path_Accumulate.h"
#include "programs/Arguments.h"
#include "programs/Drivers.h"
#include "programs/Output.h"

namespace {

// Sources beyond the named indices reach nothing and add nothing, so only
// named sources run; scores has one entry per name.
void ScoresByReference(const EdgeGraph& graph, std::vector<double>& scores) {
  SourcePass pass;
  for (int32_t s = 0; s < graph.nameCount; ++s) {
    Path_Search(graph, graph.nameCount, s, SEARCH_PATHS, LENGTH_STORED, pass);
    Path_Accumulate(pass, graph.nameCount, s, scores);
  }
}

// One task's dependencies: (node, value) pairs, source after source.
struct Contributions {
  std::vector<int32_t> nodes;
  std::vector<double> values;
};

void ScoresByFastEngine(const EdgeGraph& graph, unsigned threads, int32_t heapLimit,
                        std::vector<double>& scores) {
  const FastGraph fast = FastGraph_Build(graph, LENGTH_STORED);
  const int64_t sources = fast.nodeCount;
  // Small tasks keep the results in flight (a node count each) small.
  const int64_t perTask = std::clamp<int64_t>(sources / (int64_t{threads} * 64), 1, 4);
  const int64_t tasks = (sources + perTask - 1) / perTask;
  auto makeWorkspace = [&] {
    FastWorkspace ws;
    FastWorkspace_Init(ws, fast);
    ws.heapLimit = heapLimit;
    return ws;
  };
  auto produce = [&](int64_t task, FastWorkspace& ws, Contributions& out) {
    out.nodes.clear();
    out.values.clear();
    const int64_t end = std::min(sources, (task + 1) * perTask);
    for (int64_t s = task * perTask; s < end; ++s) {
      const auto source = static_cast<int32_t>(s);
      Fast_Search(fast, source, SEARCH_PATHS, ws);
      Fast_Accumulate(source, ws, [&](int32_t w, double value) {
        out.nodes.push_back(w);
        out.values.push_back(value);
      });
    }
  };
  // Sources fold in ascending order, so every score sees the same additions
  // in the same order as a single-threaded run.
  auto consume = [&](int64_t, Contributions& c) {
    for (size_t k = 0; k < c.nodes.size(); ++k) {
      double& score = scores[static_cast<size_t>(c.nodes[k])];
      score = AddOrdered(c.values[k], score);
    }
  };
  OrderedRun<Contributions>(tasks, threads, int64_t{threads} * 3, makeWorkspace, produce, consume);
}

}  // namespace

void Betweenness_Run(RunSettings settings, const std::vector<std::string>& args,
                     std::ostream& out, EngineChoice engine) {
  if (settings.fromCommandLine) Arguments_ReadFileAndCapacity(settings, args);
  const EdgeGraph graph = EdgeGraph_Load(settings);
  // anybridge covers the names it read; the fixed programs their whole capacity.
  const int32_t range = settings.fromCommandLine ? graph.nameCount : settings.nodeCapacity;

  std::vector<double> scores(static_cast<size_t>(graph.nameCount), 0.0);
  if (engine.reference) {
    ScoresByReference(graph, scores);
  } else {
    const unsigned threads = engine.threads > 0 ? engine.threads : Threads_Available();
    ScoresByFastEngine(graph, threads, engine.heapLimit, scores);
  }

  TextBuffer text;
  for (int32_t i = 0; i < range; ++i) {
    text.Append(EdgeGraph_Name(graph, i));
    text.AppendChar(' ');
    text.AppendFixed6(i < graph.nameCount ? scores[static_cast<size_t>(i)] : 0.0);
    text.AppendChar('\n');
    if (text.Size() >= (size_t{1} << 20)) {
      Output_Write(out, text.View());
      text.Clear();
    }
  }
  Output_Write(out, text.View());
}
