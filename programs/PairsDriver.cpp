// The distance-table driver shared by spanpairs and anypairs.
#include <algorithm>

#include "graph/EdgeGraph.h"
#include "paths/FastEngine.h"
#include "paths/Path_Search.h"
#include "programs/Arguments.h"
#include "programs/DriverSteps.h"
#include "programs/Drivers.h"
#include "programs/FastRun.h"
#include "programs/Output.h"
#include "programs/Progress.h"

namespace {

// The text a distance task holds before it writes its own lines, and room
// for the one row that may pass it (two names and a number).
constexpr size_t kRowsSlotBytes = size_t{1} << 20;
constexpr size_t kRowBytes = 1024;

void AppendRow(TextBuffer& text, const EdgeGraph& graph, int32_t s, int32_t j, double dist) {
  text.Append(EdgeGraph_Name(graph, s));
  text.AppendChar(' ');
  text.Append(EdgeGraph_Name(graph, j));
  text.AppendChar(' ');
  text.AppendFixed6(dist);
  text.AppendChar('\n');
}

// Only named sources can print: an unnamed index reaches nothing above it.
SourceRange NamedPart(SourceRange range, const EdgeGraph& graph) {
  return {std::max<int64_t>(range.first, 0), std::min<int64_t>(range.last, graph.nameCount - 1)};
}

void RowsByReference(const EdgeGraph& graph, SourceRange range, LengthRule rule,
                     std::ostream& out) {
  SourcePass pass;
  TextBuffer text;
  for (int64_t s = range.first; s <= range.last; ++s) {
    const auto source = static_cast<int32_t>(s);
    Path_Search(graph, graph.nameCount, source, SEARCH_DISTANCES, rule, pass);
    for (int32_t j = source + 1; j < graph.nameCount; ++j) {
      if (pass.settled[j] != 0) AppendRow(text, graph, source, j, pass.dist[j]);
    }
    Output_WriteWhenFull(out, text);
  }
  Output_Write(out, text.View());
}

// Keeps the progress meter up to date as the rows go out.
class RowsWatcher final : public OrderedRunWatcher {
 public:
  RowsWatcher(ProgressMeter& progress, int64_t perTask, int64_t sources)
      : progress_(progress), perTask_(perTask), sources_(sources) {}
  bool Folded(int64_t tasks) override {
    progress_.Update(std::min(tasks * perTask_, sources_));
    return false;
  }
  void Snapshot(int64_t) override {}
  void Persist() override {}

 private:
  ProgressMeter& progress_;
  const int64_t perTask_;
  const int64_t sources_;
};

}  // namespace

// Sources are searched and formatted in parallel and written in order. A
// task whose text outgrows its slot waits for its turn in the order and
// writes its lines itself: a reader that does not keep up slows the
// searches down instead of making the text pile up.
void Pairs_WriteRows(const EdgeGraph& graph, const FastGraph& fast, SourceRange range,
                     const RunOptions& options, std::ostream& out) {
  if (range.first > range.last) return;
  const FastRunShape shape = FastRun_Shape(FastRunKind::Rows, fast.nodeCount, options);
  ProgressMeter* const progress = options.progress;
  auto write = [&](TextBuffer& text) {
    if (progress != nullptr) progress->BeforeOutput();
    Output_Write(out, text.View());
    text.Clear();
  };
  auto makeResult = [] {
    TextBuffer text;
    text.ReserveTotal(kRowsSlotBytes + kRowBytes);
    return text;
  };
  auto produce = [&](int64_t begin, int64_t end, FastWorkspace& ws, TextBuffer& text,
                     OrderedTurn& turn) {
    text.Clear();
    for (int64_t s = begin; s < end; ++s) {
      const auto source = static_cast<int32_t>(s);
      Fast_Search(fast, source, SEARCH_DISTANCES, ws);
      for (const int32_t j : Fast_RowsAbove(fast, source, ws)) {
        AppendRow(text, graph, source, j, Fast_Distance(fast, ws, j));
        if (text.Size() >= kRowsSlotBytes) {
          turn.Wait();
          write(text);
        }
      }
    }
  };
  auto fold = [&](int32_t, TextBuffer& text) { write(text); };
  const int64_t sources = range.last - range.first + 1;
  if (progress == nullptr) {
    FastRun_Sources<TextBuffer>(fast, range.first, sources, shape, options, makeResult, produce,
                                fold);
    return;
  }
  RowsWatcher watcher(*progress, shape.perTask, sources);
  progress->Begin(sources, 0);
  FastRun_Sources<TextBuffer>(fast, range.first, sources, shape, options, makeResult, produce,
                              fold, &watcher);
}

RowsInput Pairs_Load(RunSettings settings, const std::vector<std::string>& args) {
  SourceRange range{};
  if (settings.fromCommandLine) {
    Arguments_ReadFileAndCapacity(settings, args);
    range = {0, int64_t{settings.nodeCapacity} - 1};
  } else if (args.size() < 2) {
    throw RunError(kStatusUsage, settings.usage);
  }
  RowsInput input{EdgeGraph_Load(settings)};
  if (!settings.fromCommandLine) {
    range = {Arguments_ToInteger(args[0]), Arguments_ToInteger(args[1])};
    const int64_t highest = int64_t{settings.nodeCapacity} - 1;
    if (range.first <= range.last && (range.first < 0 || range.last > highest)) {
      throw RunError(kStatusUsage, "source indices must lie in 0.." + std::to_string(highest) +
                                       ", not " + args[0] + ".." + args[1]);
    }
  }
  input.range = NamedPart(range, input.graph);
  return input;
}

void Pairs_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
               const RunOptions& options) {
  const LengthRule rule = settings.lengthRule;
  RowsInput input = Pairs_Load(std::move(settings), args);
  if (options.reference) {
    RowsByReference(input.graph, input.range, rule, out);
    return;
  }
  if (input.range.first > input.range.last) return;
  const FastGraph fast = FastGraph_Build(input.graph, rule);
  EdgeGraph_DropAdjacency(input.graph);
  Pairs_WriteRows(input.graph, fast, input.range, options, out);
}
