// Betweenness on the fast engine, from the compressed graph: the run that
// the library's Betweenness, the programs and the cluster's ranks share,
// with its progress, cancellation and checkpoints.
#pragma once

#include <cstdint>
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

// A fresh start for identity.nodeCount nodes, or the state saved in
// options.checkpoint, which must belong to identity; then checks that a
// checkpoint can be written there. Throws RunError naming the checkpoint.
ScoreStart ScoreRun_Resume(const CheckpointIdentity& identity, const pathsuite::RunOptions& options);

// Folds sources start.sourcesDone .. n-1 of fast into start.scores on
// `threads` threads (resolved) and returns them: the same bits for any
// thread count. Tells options.progress as sources are folded, saves and
// stops as schedule says (a stop asked after the last source still saves
// and stops).
std::vector<double> ScoreRun_Fast(const FastGraph& fast, ScoreStart start,
                                  const pathsuite::RunOptions& options, unsigned threads,
                                  CheckpointSchedule& schedule, int32_t heapLimit);
