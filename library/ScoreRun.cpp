#include "library/ScoreRun.h"

#include "library/FastRun.h"
#include "library/ScoreTasks.h"

namespace {

// Keeps the progress callback and the checkpoint of a run in step with its
// fold: a snapshot of the scores is taken at a task boundary, with every
// lane stopped there, and written while the fold goes on.
class ScoreWatcher final : public OrderedRunWatcher {
 public:
  ScoreWatcher(const pathsuite::RunOptions& options, CheckpointSchedule& schedule,
               const std::vector<double>& scores, int64_t first, int64_t end, int64_t total,
               int64_t perTask)
      : options_(options), schedule_(schedule), scores_(scores), first_(first), end_(end),
        total_(total), perTask_(perTask) {
    // Room taken now: a snapshot may come when memory has run short.
    if (schedule_.Saving()) snapshot_.reserve(scores_.size());
  }

  bool Folded(int64_t tasks) override {
    const int64_t done = SourcesAfter(tasks);
    if (options_.progress) options_.progress(done, Total());
    if (!schedule_.Saving()) schedule_.StopIfAsked(done, {});
    return schedule_.SaveDue();
  }

  void Snapshot(int64_t tasks) override {
    snapshotDone_ = SourcesAfter(tasks);
    snapshot_ = scores_;
  }

  void Persist() override { schedule_.Save(snapshotDone_, snapshot_); }

 private:
  int64_t Total() const { return total_; }
  int64_t SourcesAfter(int64_t tasks) const { return std::min(first_ + tasks * perTask_, end_); }

  const pathsuite::RunOptions& options_;
  CheckpointSchedule& schedule_;
  const std::vector<double>& scores_;
  const int64_t first_;
  const int64_t end_;
  const int64_t total_;
  const int64_t perTask_;
  std::vector<double> snapshot_;
  int64_t snapshotDone_ = 0;
};

}  // namespace

ScoreStart ScoreRun_Resume(const CheckpointIdentity& identity, const pathsuite::RunOptions& options) {
  ScoreStart start;
  start.scores.assign(static_cast<size_t>(identity.nodeCount), 0.0);
  if (!options.checkpoint) return start;
  const std::string& path = options.checkpoint->path;
  if (std::optional<CheckpointState> saved = Checkpoint_Read(path, identity)) {
    start.scores = std::move(saved->scores);
    start.sourcesDone = saved->sourcesDone;
  }
  Checkpoint_CheckWritable(path);
  return start;
}

std::vector<double> ScoreRun_Fast(const FastGraph& fast, ScoreStart start,
                                  const pathsuite::RunOptions& options, unsigned threads,
                                  CheckpointSchedule& schedule, int32_t heapLimit,
                                  const ScoreSources& sources) {
  std::vector<double>& scores = start.scores;
  const int64_t n = fast.nodeCount;
  const int64_t total = sources.list.empty() ? n : static_cast<int64_t>(sources.list.size());
  const int64_t endAt = sources.end < 0 ? total : sources.end;
  const std::span<double> squares =
      sources.squares ? std::span<double>(scores).subspan(static_cast<size_t>(n))
                      : std::span<double>();
  const FastRunShape shape = FastRun_Shape(FastRunKind::Scores, fast.nodeCount, threads);
  const int32_t shift = shape.laneShift;
  // A slot holds every value of its task: one per reached node and source.
  auto makeResult = [&] {
    return ScoreTasks_NewResult(shape.run.lanes, shift, fast.nodeCount, shape.perTask);
  };
  auto produce = [&](int64_t begin, int64_t end, FastWorkspace& ws, Contributions& out,
                     OrderedTurn&) {
    ScoreTasks_Clear(out);
    ScoreTasks_AddSources(fast, begin, end, ws, shift, out, sources.list);
  };
  auto fold = [&](int32_t lane, Contributions& c) {
    ScoreTasks_Fold(c[static_cast<size_t>(lane)], scores);
    if (sources.squares) ScoreTasks_FoldSquares(c[static_cast<size_t>(lane)], squares);
  };
  ScoreWatcher watcher(options, schedule, scores, start.sourcesDone, endAt, total, shape.perTask);
  const bool watched = options.progress || schedule.Saving() || options.cancel != nullptr;
  if (options.progress) options.progress(start.sourcesDone, total);
  FastRun_Sources<Contributions>(fast, start.sourcesDone, endAt - start.sourcesDone, shape,
                                 heapLimit, makeResult, produce, fold,
                                 watched ? &watcher : nullptr);
  schedule.StopIfAsked(endAt, scores);
  return std::move(scores);
}
