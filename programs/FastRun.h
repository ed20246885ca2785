// The plumbing both drivers share to run their sources on the fast engine:
// the thread count resolved once, one workspace per thread, and the task and
// window sizes chosen here, in one place.
#pragma once

#include <algorithm>
#include <cstdint>

#include "paths/FastGraph.h"
#include "paths/FastWorkspace.h"
#include "paths/OrderedRun.h"
#include "paths/Threads.h"
#include "programs/Drivers.h"

// What a driver's results are like: Scores hold a value per reached node of
// each source; Rows hold a source's distance lines as text.
enum class FastRunKind { Scores, Rows };

struct FastRunShape {
  unsigned threads;  // at least 1
  int64_t perTask;   // sources per task
  int64_t window;    // task results in flight at most
};

// A task of several sources spreads the cost of handing a result over (a
// lock and a wake-up) across them; a window of a few tasks per thread lets a
// thread that finished early go on while a slower one holds up the order.
// Both multiply the memory in flight, window x perTask results: score
// results hold up to a node count of values each, so their tasks stay small
// (a quarter of what 64 tasks per thread would need, at most 4 sources);
// distance rows are text of a source's reached pairs and take 8 sources.
inline FastRunShape FastRun_Shape(FastRunKind kind, int64_t sources, const EngineChoice& engine) {
  const unsigned threads = engine.threads > 0 ? engine.threads : Threads_Available();
  if (kind == FastRunKind::Scores) {
    const int64_t perTask = std::clamp<int64_t>(sources / (int64_t{threads} * 64), 1, 4);
    return {threads, perTask, int64_t{threads} * 3};
  }
  return {threads, 8, int64_t{threads} * 4};
}

// Runs sources first .. first+count-1 in tasks of consecutive sources:
// produce(begin, end, ws, result) fills result for sources [begin, end) on a
// thread's workspace ws, and consume(result) takes the results strictly in
// source order. Result slots are reused; produce finds one holding an
// earlier task's result. Exceptions from either stop the run and reach the
// caller.
template <class Result, class Produce, class Consume>
void FastRun_Sources(const FastGraph& graph, int64_t first, int64_t count, FastRunKind kind,
                     const EngineChoice& engine, Produce produce, Consume consume) {
  const FastRunShape shape = FastRun_Shape(kind, count, engine);
  const int64_t tasks = (count + shape.perTask - 1) / shape.perTask;
  auto makeWorkspace = [&] {
    FastWorkspace ws;
    FastWorkspace_Init(ws, graph);
    ws.heapLimit = engine.heapLimit.value_or(kDefaultHeapLimit);
    return ws;
  };
  auto produceTask = [&](int64_t task, FastWorkspace& ws, Result& result) {
    const int64_t begin = first + task * shape.perTask;
    produce(begin, std::min(first + count, begin + shape.perTask), ws, result);
  };
  auto consumeTask = [&](int64_t, Result& result) { consume(result); };
  OrderedRun<Result>(tasks, shape.threads, shape.window, makeWorkspace, produceTask, consumeTask);
}
