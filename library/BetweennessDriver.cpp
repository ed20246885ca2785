// The betweenness driver shared by anybridge, plusbridge, betweenness and
// linkbridge.
#include <chrono>
#include <csignal>
#include <vector>

#include "graph/EdgeGraph.h"
#include "paths/FastEngine.h"
#include "paths/Path_Accumulate.h"
#include "library/Arguments.h"
#include "library/Checkpoint.h"
#include "library/DriverSteps.h"
#include "library/Drivers.h"
#include "library/FastRun.h"
#include "library/Output.h"
#include "cli/Progress.h"
#include "library/ScoreTasks.h"

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

const char* SignalName(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }

// Keeps the progress meter and the checkpoint of a run in step with its
// fold: a snapshot of the scores is taken at a task boundary, with every
// lane stopped there, and written while the fold goes on.
class ScoreWatcher final : public OrderedRunWatcher {
 public:
  ScoreWatcher(const RunOptions& options, const CheckpointIdentity& identity,
               const std::vector<double>& scores, int64_t first, int64_t perTask)
      : options_(options), identity_(identity), scores_(scores), first_(first),
        perTask_(perTask), nextSave_(Clock::now() + Every()) {}

  bool Folded(int64_t tasks) override {
    if (options_.progress != nullptr) options_.progress->Update(SourcesAfter(tasks));
    if (options_.checkpoint == nullptr) return false;
    return StopSignal() != 0 || Clock::now() >= nextSave_;
  }

  void Snapshot(int64_t tasks) override {
    snapshotDone_ = SourcesAfter(tasks);
    snapshot_ = scores_;
  }

  void Persist() override {
    Checkpoint_Write(options_.checkpoint->path, identity_, snapshotDone_, snapshot_);
    nextSave_ = Clock::now() + Every();
    if (const int signal = StopSignal(); signal != 0) Interrupted(signal, snapshotDone_);
  }

  // A signal that came after the last task: the final state is saved.
  void SaveIfStopped(int64_t sourcesDone) {
    const int signal = StopSignal();
    if (signal == 0) return;
    Checkpoint_Write(options_.checkpoint->path, identity_, sourcesDone, scores_);
    Interrupted(signal, sourcesDone);
  }

  int StopSignal() const {
    const std::atomic<int>* stop = options_.checkpoint->stopSignal;
    return stop == nullptr ? 0 : stop->load();
  }

  [[noreturn]] void Interrupted(int signal, int64_t sourcesDone) const {
    throw RunError(128 + signal, std::string("stopped by ") + SignalName(signal) + " after " +
                                     std::to_string(sourcesDone) + " of " +
                                     std::to_string(identity_.nodeCount) + " sources; state saved in " +
                                     options_.checkpoint->path);
  }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::duration Every() const {
    const double seconds = options_.checkpoint != nullptr ? options_.checkpoint->everySeconds : 0;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }
  int64_t SourcesAfter(int64_t tasks) const {
    return std::min(first_ + tasks * perTask_, identity_.nodeCount);
  }

  const RunOptions& options_;
  const CheckpointIdentity& identity_;
  const std::vector<double>& scores_;
  const int64_t first_;
  const int64_t perTask_;
  Clock::time_point nextSave_;
  std::vector<double> snapshot_;
  int64_t snapshotDone_ = 0;
};

// Folds sources run.sourcesDone .. nameCount-1 into run.scores.
void ScoresByFastEngine(const FastGraph& fast, const RunOptions& options,
                        const CheckpointIdentity& identity, ScoreRun& run) {
  const FastRunShape shape = FastRun_Shape(FastRunKind::Scores, fast.nodeCount, options);
  const int32_t shift = shape.laneShift;
  // A slot holds every value of its task: one per reached node and source.
  auto makeResult = [&] {
    return ScoreTasks_NewResult(shape.run.lanes, shift, fast.nodeCount, shape.perTask);
  };
  auto produce = [&](int64_t begin, int64_t end, FastWorkspace& ws, Contributions& out,
                     OrderedTurn&) {
    ScoreTasks_Clear(out);
    ScoreTasks_AddSources(fast, begin, end, ws, shift, out);
  };
  auto fold = [&](int32_t lane, Contributions& c) {
    ScoreTasks_Fold(c[static_cast<size_t>(lane)], run.scores);
  };
  ScoreWatcher watcher(options, identity, run.scores, run.sourcesDone, shape.perTask);
  const bool watched = options.progress != nullptr || options.checkpoint != nullptr;
  if (options.progress != nullptr) options.progress->Begin(fast.nodeCount, run.sourcesDone);
  FastRun_Sources<Contributions>(fast, run.sourcesDone, fast.nodeCount - run.sourcesDone, shape,
                                 options, makeResult, produce, fold, watched ? &watcher : nullptr);
  run.sourcesDone = fast.nodeCount;
  if (options.checkpoint != nullptr) watcher.SaveIfStopped(run.sourcesDone);
}

}  // namespace

ScoreInput Betweenness_Load(RunSettings settings, const std::vector<std::string>& args) {
  if (settings.fromCommandLine) Arguments_ReadFileAndCapacity(settings, args);
  ScoreInput input{EdgeGraph_Load(settings)};
  const EdgeGraph& graph = input.graph;
  // anybridge covers the names it read; the fixed programs their whole capacity.
  input.range = settings.fromCommandLine ? graph.nameCount : settings.nodeCapacity;
  input.identity = {settings.programName, settings.nodeCapacity, graph.nameCount,
                    graph.inputSize, graph.inputHash};
  return input;
}

ScoreRun Betweenness_Resume(const ScoreInput& input, const RunOptions& options) {
  ScoreRun run;
  run.scores.assign(static_cast<size_t>(input.graph.nameCount), 0.0);
  if (options.checkpoint == nullptr) return run;
  const std::string& path = options.checkpoint->path;
  if (std::optional<CheckpointState> saved = Checkpoint_Read(path, input.identity)) {
    run.scores = std::move(saved->scores);
    run.sourcesDone = saved->sourcesDone;
  }
  Checkpoint_CheckWritable(path);
  return run;
}

void Betweenness_WriteListing(const ScoreInput& input, const std::vector<double>& scores,
                              const RunOptions& options, std::ostream& out) {
  if (options.progress != nullptr) options.progress->Erase();
  const EdgeGraph& graph = input.graph;
  TextBuffer text;
  for (int32_t i = 0; i < input.range; ++i) {
    text.Append(EdgeGraph_Name(graph, i));
    text.AppendChar(' ');
    text.AppendFixed6(i < graph.nameCount ? scores[static_cast<size_t>(i)] : 0.0);
    text.AppendChar('\n');
    Output_WriteWhenFull(out, text);
  }
  Output_Write(out, text.View());
  if (options.checkpoint != nullptr) Checkpoint_Remove(options.checkpoint->path);
}

void Betweenness_Run(RunSettings settings, const std::vector<std::string>& args,
                     std::ostream& out, const RunOptions& options) {
  const LengthRule rule = settings.lengthRule;
  ScoreInput input = Betweenness_Load(std::move(settings), args);
  ScoreRun run = Betweenness_Resume(input, options);
  if (options.reference) {
    ScoresByReference(input.graph, rule, run.scores);
  } else {
    const FastGraph fast = FastGraph_Build(input.graph, rule);
    EdgeGraph_DropAdjacency(input.graph);
    ScoresByFastEngine(fast, options, input.identity, run);
  }
  Betweenness_WriteListing(input, run.scores, options, out);
}
