// Betweenness on the fast engine, from the compressed graph: the run that
// the library's Betweenness, the programs and the cluster's ranks share,
// with its progress, cancellation and checkpoints.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "library/Checkpoint.h"
#include "library/CheckpointSchedule.h"
#include "paths/FastGraph.h"
#include "pathsuite/run.h"

// Where a run starts: its first source and the scores so far.
struct ScoreStart {
  std::vector<double> scores;  // one per node
  int64_t sourcesDone = 0;
};

// A fresh start for identity.nodeCount values (one per node, or two with
// squares), or the state saved in
// options.checkpoint, which must belong to identity; then checks that a
// checkpoint can be written there. Throws RunError naming the checkpoint.
ScoreStart ScoreRun_Resume(const CheckpointIdentity& identity, const pathsuite::RunOptions& options);

// The sources a run folds, by position: source k at position k (list
// empty: every source), or list[k] (a sample, ascending within each stage
// of its run). A run folds positions start.sourcesDone .. end-1, end being
// the list's size (n when empty) unless given. With squares the state holds
// 2n values, the sums of the dependencies and then the sums of their
// squares, for a sampled run's variance.
struct ScoreSources {
  std::span<const int32_t> list;
  int64_t end = -1;
  bool squares = false;
};

// Folds the positions of sources from start.sourcesDone into start.scores
// on `threads` threads (resolved) and returns them: the same bits for any
// thread count. Tells options.progress as sources are folded (out of the
// list's size), saves and stops as schedule says (a stop asked after the
// last source still saves and stops).
std::vector<double> ScoreRun_Fast(const FastGraph& fast, ScoreStart start,
                                  const pathsuite::RunOptions& options, unsigned threads,
                                  CheckpointSchedule& schedule, int32_t heapLimit,
                                  const ScoreSources& sources = {});
