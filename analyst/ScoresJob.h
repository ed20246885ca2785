// The steps of a scores run, shared by the runner's driver and the
// cluster's ranks: the options and the graph read, the sources drawn, the
// run on one process (the adaptive stop's stages included), and the
// listing of the sums folded.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "analyst/AnalystOptions.h"
#include "graph/EdgeList.h"
#include "library/Checkpoint.h"
#include "library/ScoreRun.h"
#include "library/Sampling.h"

struct ScoresJob {
  AnalystOptions options;
  EdgeList edges;
  // The sources by position, folded in that order: empty for the exact run
  // (every source), a sample in ascending order, or for the adaptive stop
  // the draw with each stage between two checks sorted.
  std::vector<int32_t> order;
  AdaptivePlan plan;  // the adaptive stop's checks
  CheckpointIdentity identity;

  bool Squares() const { return options.estimate == Estimate::Adaptive; }
  // Positions the run may fold: the sample, or every node.
  int64_t Total() const {
    return order.empty() ? edges.NodeCount() : static_cast<int64_t>(order.size());
  }
};

// Reads the options and the graph (telling progress as it reads), draws
// the sources and names the run for its checkpoint. Throws RunError as the
// options and the readers do, and for a --sample above the node count.
ScoresJob Scores_Prepare(const std::vector<std::string>& args, const ReadProgress& progress);

// What a run ends with: the state (sums, then squares for the adaptive
// stop) and the positions folded.
struct ScoresResult {
  std::vector<double> state;
  int64_t folded = 0;
};

// The adaptive stop's stages from start: runStage(start, sources) folds
// up to the next check of checks (the plan's) and returns the state;
// mayStop(check, state) says whether the run stops there (always at the
// last). A check before the state resumed from failed when that state was
// made: the run went on past it; one exactly at it is made again.
template <class RunStage, class MayStop>
ScoresResult Scores_Stages(std::span<const int32_t> checks, std::span<const int32_t> order,
                           ScoreStart start, RunStage&& runStage, MayStop&& mayStop) {
  const int64_t resumed = start.sourcesDone;
  for (size_t check = 0; check < checks.size(); ++check) {
    const int64_t at = checks[check];
    if (at < resumed) continue;
    if (at > start.sourcesDone) {
      start.scores = runStage(std::move(start), ScoreSources{order, at, true});
      start.sourcesDone = at;
    }
    if (mayStop(check, start.scores)) break;
  }
  return {std::move(start.scores), start.sourcesDone};
}

// The run on this process, from start, on `threads` threads (resolved):
// one fold of the positions, or the adaptive stop's stages, each checked
// as it ends.
ScoresResult Scores_RunHere(const ScoresJob& job, const FastGraph& fast, ScoreStart start,
                            const pathsuite::RunOptions& options, unsigned threads,
                            int32_t heapLimit);

// Whether the adaptive stop ends at check, given the state there: the
// cap, or every node's interval within E.
bool Scores_MayStop(const ScoresJob& job, size_t check, std::span<const double> state);

// The listing: the sums of every node of names, scaled by n / folded for
// an estimate and normalised if asked, in the options' style.
void Scores_Write(const AnalystOptions& options, const NameList& names,
                  std::span<const double> state, int64_t folded, std::ostream& out);
