// Distances on the fast engine, from the compressed graph: the run that the
// library's Distances, the programs and the cluster's ranks share.
#pragma once

#include <cstdint>

#include "paths/FastGraph.h"
#include "pathsuite/distances.h"
#include "pathsuite/run.h"

// Delivers the rows of sources begin .. end-1 of fast to sink in source
// order, searched on `threads` threads (resolved), a row in pieces of at
// most a few thousand targets, so that a buffer's text can be emitted once
// it passes 1 MiB: then the task waits for its turn in the order and emits
// it itself, and a reader that does not keep up slows the searches down
// instead of making text pile up. Tells options.progress; throws Cancelled
// when options.cancel is set.
void RowRun_Fast(const FastGraph& fast, int64_t begin, int64_t end, pathsuite::Targets targets,
                 pathsuite::DistanceSink& sink, const pathsuite::RunOptions& options,
                 unsigned threads, int32_t heapLimit);
