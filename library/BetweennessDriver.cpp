// The betweenness driver shared by anybridge, plusbridge, betweenness and
// linkbridge.
#include <vector>

#include "graph/EdgeGraph.h"
#include "library/Arguments.h"
#include "library/DriverSteps.h"
#include "library/ScoreRun.h"
#include "paths/FastWorkspace.h"
#include "paths/Path_Accumulate.h"
#include "paths/Threads.h"

namespace {


NameList NamesOf(const EdgeGraph& graph) {
  NameList names;
  for (int32_t i = 0; i < graph.nameCount; ++i) names.Add(EdgeGraph_Name(graph, i));
  return names;
}

// anybridge covers the names it read; the fixed programs their whole capacity.
int32_t ListingRange(const RunSettings& settings, int32_t nameCount) {
  return settings.fromCommandLine ? nameCount : settings.nodeCapacity;
}

void RunReference(RunSettings settings, const std::vector<std::string>& args, std::ostream& out) {
  if (settings.fromCommandLine) Arguments_ReadFileAndCapacity(settings, args);
  const EdgeGraph graph = EdgeGraph_Load(settings);
  const std::vector<double> scores = Betweenness_ReferenceScores(graph, settings.lengthRule);
  Betweenness_WriteListing(NamesOf(graph), ListingRange(settings, graph.nameCount), scores, out);
}

}  // namespace

std::vector<double> Betweenness_ReferenceScores(const EdgeGraph& graph, LengthRule rule) {
  std::vector<double> scores(static_cast<size_t>(graph.nameCount), 0.0);
  SourcePass pass;
  for (int32_t s = 0; s < graph.nameCount; ++s) {
    Path_Search(graph, graph.nameCount, s, SEARCH_PATHS, rule, pass);
    if (Path_CountsOverflowed(pass)) {
      Path_Search(graph, graph.nameCount, s, SEARCH_PATHS, rule, pass, COUNTS_WIDE);
    }
    Path_Accumulate(pass, graph.nameCount, s, scores);
  }
  return scores;
}

ScoreInput Betweenness_Load(RunSettings settings, const std::vector<std::string>& args) {
  if (settings.fromCommandLine) Arguments_ReadFileAndCapacity(settings, args);
  ScoreInput input{EdgeList_Read(settings)};
  const EdgeList& edges = input.edges;
  input.range = ListingRange(settings, edges.NodeCount());
  input.identity = {settings.programName, settings.nodeCapacity, edges.NodeCount(),
                    edges.inputSize, edges.inputHash};
  return input;
}

void Betweenness_WriteListing(const NameList& names, int32_t range,
                              std::span<const double> scores, std::ostream& out) {
  TextBuffer text;
  for (int32_t i = 0; i < range; ++i) {
    text.Append(names.Name(i));
    text.AppendChar(' ');
    text.AppendFixed6(i < names.Count() ? scores[static_cast<size_t>(i)] : 0.0);
    text.AppendChar('\n');
    Output_WriteWhenFull(out, text);
  }
  Output_Write(out, text.View());
}

void Betweenness_Run(RunSettings settings, const std::vector<std::string>& args,
                     std::ostream& out, const RunOptions& options, const EngineChoice& engine) {
  if (engine.reference) return RunReference(std::move(settings), args, out);
  const LengthRule rule = settings.lengthRule;
  ScoreInput input = Betweenness_Load(std::move(settings), args);
  ScoreStart start = ScoreRun_Resume(input.identity, options);
  const FastGraph fast = FastGraph_FromEdges(input.edges, rule);
  EdgeList_DropEdges(input.edges);
  CheckpointSchedule schedule(options, input.identity);
  const std::vector<double> scores =
      ScoreRun_Fast(fast, std::move(start), options, Threads_Resolve(options.threads), schedule,
                    engine.heapLimit.value_or(kDefaultHeapLimit));
  Betweenness_WriteListing(input.edges.names, input.range, scores, out);
}
