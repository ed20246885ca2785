// The distance-table driver shared by spanpairs and anypairs.
#include <algorithm>

#include "graph/EdgeGraph.h"
#include "library/Arguments.h"
#include "library/DriverSteps.h"
#include "library/RowRun.h"
#include "paths/FastWorkspace.h"
#include "paths/Path_Search.h"
#include "paths/Threads.h"

namespace {

template <class Names>
void AppendRow(TextBuffer& text, const Names& name, int32_t s, int32_t j, double dist) {
  text.Append(name(s));
  text.AppendChar(' ');
  text.Append(name(j));
  text.AppendChar(' ');
  text.AppendFixed6(dist);
  text.AppendChar('\n');
}

// Only named sources can print: an unnamed index reaches nothing above it.
SourceRange NamedPart(SourceRange range, int32_t nameCount) {
  return {std::max<int64_t>(range.first, 0), std::min<int64_t>(range.last, nameCount - 1)};
}

// Reads the command line before the load (its argument count) and after it
// (spanpairs' range, checked against the capacity), as the programs do.
template <class Load>
auto LoadWithRange(RunSettings settings, const std::vector<std::string>& args, Load&& load,
                   SourceRange& range) {
  if (settings.fromCommandLine) {
    Arguments_ReadFileAndCapacity(settings, args);
    range = {0, int64_t{settings.nodeCapacity} - 1};
  } else if (args.size() < 2) {
    throw RunError(kStatusUsage, settings.usage);
  }
  auto graph = load(settings);
  if (!settings.fromCommandLine) {
    range = {Arguments_ToInteger(args[0]), Arguments_ToInteger(args[1])};
    const int64_t highest = int64_t{settings.nodeCapacity} - 1;
    if (range.first <= range.last && (range.first < 0 || range.last > highest)) {
      throw RunError(kStatusUsage, "source indices must lie in 0.." + std::to_string(highest) +
                                       ", not " + args[0] + ".." + args[1]);
    }
  }
  return graph;
}

void RunReference(RunSettings settings, const std::vector<std::string>& args, std::ostream& out) {
  const LengthRule rule = settings.lengthRule;
  SourceRange range{0, -1};
  const EdgeGraph graph = LoadWithRange(std::move(settings), args, EdgeGraph_Load, range);
  range = NamedPart(range, graph.nameCount);
  auto name = [&](int32_t i) { return EdgeGraph_Name(graph, i); };
  SourcePass pass;
  TextBuffer text;
  for (int64_t s = range.first; s <= range.last; ++s) {
    const auto source = static_cast<int32_t>(s);
    Path_Search(graph, graph.nameCount, source, SEARCH_DISTANCES, rule, pass);
    for (int32_t j = source + 1; j < graph.nameCount; ++j) {
      if (pass.settled[j] != 0) AppendRow(text, name, source, j, pass.dist[j]);
    }
    Output_WriteWhenFull(out, text);
  }
  Output_Write(out, text.View());
}

}  // namespace

void PairsSink::Take(TextBuffer& buffer, int32_t source, std::span<const int32_t> targets,
                     std::span<const double> distances) {
  auto name = [&](int32_t i) { return names_.Name(i); };
  for (size_t k = 0; k < targets.size(); ++k) {
    AppendRow(buffer, name, source, targets[k], distances[k]);
  }
}

void PairsSink::Emit(TextBuffer& buffer) { Output_Write(out_, buffer.View()); }

RowsInput Pairs_Load(RunSettings settings, const std::vector<std::string>& args) {
  RowsInput input;
  input.edges = LoadWithRange(std::move(settings), args, EdgeList_Read, input.range);
  input.range = NamedPart(input.range, input.edges.NodeCount());
  return input;
}

void Pairs_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
               const RunOptions& options, const EngineChoice& engine) {
  if (engine.reference) return RunReference(std::move(settings), args, out);
  const LengthRule rule = settings.lengthRule;
  RowsInput input = Pairs_Load(std::move(settings), args);
  if (input.range.first > input.range.last) return;
  const FastGraph fast = FastGraph_FromEdges(input.edges, rule);
  EdgeList_DropEdges(input.edges);
  PairsSink sink(input.edges.names, out);
  RowRun_Fast(fast, input.range.first, input.range.last + 1, pathsuite::Targets::Above, sink,
              options, Threads_Resolve(options.threads),
              engine.heapLimit.value_or(kDefaultHeapLimit));
}
