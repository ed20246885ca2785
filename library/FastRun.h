// The plumbing both kinds of run share to run their sources on the fast
// engine: one workspace per thread, and the sizes of tasks, result slots and
// fold lanes chosen here, in one place.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "paths/FastGraph.h"
#include "paths/FastWorkspace.h"
#include "paths/OrderedRun.h"

// What a driver's results are like: Scores hold a value per reached node of
// each source; Rows hold a source's distance lines as text.
enum class FastRunKind { Scores, Rows };

struct FastRunShape {
  OrderedRunShape run;
  int64_t perTask;    // sources per task
  int32_t laneShift;  // node w is folded in lane w >> laneShift
};

// Tasks: a task of several sources spreads the cost of handing a result
// over (a lock and a wake-up, a few microseconds) across them, which
// matters only where a search takes microseconds too: score tasks hold
// about 8192 node values' worth of sources, one source from 8192 nodes up,
// so that a score slot holds at most max(nodes, 8192) values. Distance
// tasks take 8 sources of text.
//
// Slots: two per thread, so that a thread that has finished a task can
// start the next while the fold catches up; memory in flight is then
// 2 x threads slots, fixed when the run starts. A score slot holds 12
// bytes (node, value) per value; a distance slot 1 MiB of text, beyond which
// a task writes its own lines once its turn comes.
//
// Lanes: folding one source's values into the scores takes about 1 ns a
// node, a search some 50 to 100 times as long, so one fold lane keeps up
// with some 50 threads; a lane per 32 threads keeps the fold ahead, each
// lane folding a range of at least 4096 nodes.
// threads: the run's, resolved (Threads_Resolve).
inline FastRunShape FastRun_Shape(FastRunKind kind, int32_t nodes, unsigned threads) {
  FastRunShape shape{{threads, 2, 1}, 8, 31};
  if (kind == FastRunKind::Rows) return shape;
  shape.perTask = std::clamp<int64_t>(8192 / std::max(nodes, 1), 1, 64);
  const int64_t lanes = std::clamp<int64_t>((threads + 31) / 32, 1, std::max(nodes / 4096, 1));
  if (lanes > 1) {
    const auto width = static_cast<uint32_t>((nodes + lanes - 1) / lanes);
    shape.laneShift = std::bit_width(width - 1);  // lanes of a power-of-two width
    shape.run.lanes = static_cast<int32_t>(((int64_t{nodes} - 1) >> shape.laneShift) + 1);
  }
  return shape;
}

// Runs sources first .. first+count-1 in tasks of consecutive sources:
// makeResult() builds an empty result slot; produce(begin, end, ws, result,
// turn) fills one for sources [begin, end) on a thread's workspace ws, whose
// searches move from heap to radix queue past heapLimit nodes;
// fold(lane, result) takes one lane of each result, strictly in source
// order within the lane. watcher, if any, hears of the sources folded in
// tasks (see OrderedRunWatcher). Exceptions stop the run and reach the
// caller.
template <class Result, class MakeResult, class Produce, class Fold>
void FastRun_Sources(const FastGraph& graph, int64_t first, int64_t count,
                     const FastRunShape& shape, int32_t heapLimit, MakeResult makeResult,
                     Produce produce, Fold fold, OrderedRunWatcher* watcher = nullptr) {
  const int64_t tasks = (count + shape.perTask - 1) / shape.perTask;
  auto makeWorkspace = [&] {
    FastWorkspace ws;
    FastWorkspace_Init(ws, graph);
    ws.heapLimit = heapLimit;
    return ws;
  };
  auto produceTask = [&](int64_t task, FastWorkspace& ws, Result& result, OrderedTurn& turn) {
    const int64_t begin = first + task * shape.perTask;
    produce(begin, std::min(first + count, begin + shape.perTask), ws, result, turn);
  };
  auto foldTask = [&](int64_t, int32_t lane, Result& result) { fold(lane, result); };
  OrderedRun<Result>(tasks, shape.run, makeWorkspace, makeResult, produceTask, foldTask, watcher);
}
