#include "paths/FastEngine.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <limits>
#include <new>

namespace {

void ResetTouched(FastWorkspace& ws) {
  const std::vector<int32_t>& nodes = ws.touched.empty() ? ws.order : ws.touched;
  for (const int32_t v : nodes) {
    NodeState& st = ws.state[v];
    st.dist = ws.unreached;
    st.sigma = 0.0;
    st.phase = kUntouched;
    ws.delta[v] = 0.0;
  }
  ws.order.clear();
  ws.touched.clear();
  ws.linkCount = 0;
}

// Records u as v's newest predecessor.
inline void AddPredecessor(FastWorkspace& ws, NodeState& sv, int32_t u) {
  const auto link = static_cast<int32_t>(ws.linkCount++);
  ws.links[static_cast<size_t>(link)] = PredLink{u, sv.predHead};
  sv.predHead = link;
}

// Relaxes every cell of u in list order, exactly as the reference does.
// The reference re-reads dist[u] and sigma[u] at every cell; they can only
// change through a self-loop of u, so they are kept in registers and re-read
// after each self-loop cell. onReached(v, x, wasUnreached) keeps the
// selection structure in step.
template <bool kPaths, class OnReached>
inline void RelaxCells(const FastGraph& graph, int32_t u, FastWorkspace& ws,
                       OnReached&& onReached) {
  NodeState* state = ws.state.data();
  const double unreached = ws.unreached;
  const NodeState& su = state[u];
  double du = su.dist;
  double sigmaU = su.sigma;
  const FastCell* cell = graph.cells.data() + su.cellBase;
  const FastCell* const end = cell + su.cellCount;
  for (; cell != end; ++cell) {
    const int32_t v = cell->target;
    const double length = cell->length;
    NodeState& sv = state[v];
    const double x = AddOrdered(du, length);
    if (sv.dist > x || sv.dist == unreached) {
      const bool wasUnreached = sv.dist == unreached;
      sv.dist = x;
      if constexpr (kPaths) {
        sv.predHead = -1;
        sv.sigma = 0.0;
      }
      onReached(v, x, wasUnreached);
    }
    if (v == u) {
      // The tie test recomputes the candidate from u's distance as it now
      // stands, which this very cell may have lowered.
      if constexpr (kPaths) {
        if (AddOrdered(su.dist, length) == sv.dist) {
          AddPredecessor(ws, sv, u);
          sv.sigma = sv.sigma + su.sigma;
        }
      }
      du = su.dist;
      sigmaU = su.sigma;
      continue;
    }
    if constexpr (kPaths) {
      if (x == sv.dist) {
        AddPredecessor(ws, sv, u);
        sv.sigma = sv.sigma + sigmaU;
      }
    }
  }
}

// RelaxCells for a node without self-loops in a graph without negative or
// NaN lengths. No distance is then NaN or negative and the unreached mark
// (-infinity) has the largest bit pattern, so "dist[v] > x or unreached" is
// one unsigned comparison of bit patterns, equal bits mean equal distances,
// and u's own values cannot change under it.
template <bool kPaths, class Queue>
inline void RelaxMonotone(const FastGraph& graph, int32_t u, FastWorkspace& ws, Queue& queue) {
  NodeState* state = ws.state.data();
  const double du = state[u].dist;
  const double sigmaU = state[u].sigma;
  const FastCell* cell = graph.cells.data() + state[u].cellBase;
  const FastCell* const end = cell + state[u].cellCount;
  for (; cell != end; ++cell) {
    const int32_t v = cell->target;
    NodeState& sv = state[v];
    const double x = du + cell->length;
    const uint64_t xBits = std::bit_cast<uint64_t>(x);
    uint64_t vBits = std::bit_cast<uint64_t>(sv.dist);
    if (vBits > xBits) {
      sv.dist = x;
      vBits = xBits;
      if constexpr (kPaths) {
        sv.predHead = -1;
        sv.sigma = 0.0;
      }
      queue.Push(x, v);
    }
    if constexpr (kPaths) {
      if (vBits == xBits) {
        AddPredecessor(ws, sv, u);
        sv.sigma = sv.sigma + sigmaU;
      }
    }
  }
}

// RelaxMonotone for a node whose cells lead to distinct other nodes. No cell
// then sees the effect of another, so all comparisons are made first,
// without branches (their outcome is data and mispredicts often), and the
// improvements and ties found are applied after, in cell order; the queue
// orders by (distance, index) whatever the order of pushes.
template <bool kPaths, class Queue>
inline void RelaxDistinct(const FastGraph& graph, int32_t u, FastWorkspace& ws, Queue& queue) {
  NodeState* state = ws.state.data();
  const double du = state[u].dist;
  const double sigmaU = state[u].sigma;
  const FastCell* cells = graph.cells.data() + state[u].cellBase;
  for (uint32_t remaining = state[u].cellCount; remaining > 0;) {
    const uint32_t count = std::min<uint32_t>(remaining, 64);
    uint64_t better = 0;
    uint64_t tied = 0;  // better or equal: the cells that record a predecessor
    for (uint32_t k = 0; k < count; ++k) {
      const uint64_t xBits = std::bit_cast<uint64_t>(du + cells[k].length);
      const uint64_t vBits = std::bit_cast<uint64_t>(state[cells[k].target].dist);
      better |= uint64_t{vBits > xBits} << k;
      if constexpr (kPaths) tied |= uint64_t{vBits >= xBits} << k;
    }
    for (uint64_t m = kPaths ? tied : better; m != 0; m &= m - 1) {
      const auto k = static_cast<uint32_t>(std::countr_zero(m));
      const FastCell& cell = cells[k];
      NodeState& sv = state[cell.target];
      if (!kPaths || ((better >> k) & 1) != 0) {
        const double x = du + cell.length;
        sv.dist = x;
        if constexpr (kPaths) {
          sv.predHead = -1;
          sv.sigma = 0.0;
        }
        queue.Push(x, cell.target);
      }
      if constexpr (kPaths) {
        AddPredecessor(ws, sv, u);
        sv.sigma = sv.sigma + sigmaU;
      }
    }
    cells += count;
    remaining -= count;
  }
}

// Settles u: marks it, stacks it and relaxes its cells into queue, with
// RelaxDistinct where it applies if kCompareFirst.
template <bool kPaths, bool kCompareFirst, class Queue>
inline void Settle(const FastGraph& graph, int32_t u, FastWorkspace& ws, Queue& queue) {
  NodeState& su = ws.state[u];
  su.phase = kSettled;
  ws.order.push_back(u);
  if (kCompareFirst && su.cellShape == kCellsDistinct) {
    RelaxDistinct<kPaths>(graph, u, ws, queue);
  } else if (su.cellShape != kCellsSelfLoop) {
    RelaxMonotone<kPaths>(graph, u, ws, queue);
  } else {
    // Lengths are >= 0 here, so an improved node is never a settled one.
    RelaxCells<kPaths>(graph, u, ws, [&](int32_t v, double x, bool) { queue.Push(x, v); });
  }
}

// A node about to be settled: its cells are fetched now, behind the work
// before it.
inline void FetchCells(const FastGraph& graph, const FastWorkspace& ws, int32_t v) {
  const auto first = reinterpret_cast<uintptr_t>(graph.cells.data() + ws.state[v].cellBase);
  __builtin_prefetch(reinterpret_cast<const void*>(first));
  __builtin_prefetch(reinterpret_cast<const void*>(first + 64));  // may pass the end: a hint only
}

// A search starts on the heap, which suits frontiers of a few hundred nodes,
// as in sparse graphs spread over a plane. Once the frontier outgrows
// ws.heapLimit, its entries move to the radix queue for the rest of the
// search: on wide frontiers full of equal distances that queue does less
// work per node than a deep heap. Both settle nodes in the same order. Each
// phase is a function of its own, so that neither loop's code is shaped by
// the other's.
//
// Searches from s on the heap while the frontier stays within ws.heapLimit.
// Returns false when the search is complete, true when the frontier has
// outgrown the heap, its entries still in it.
template <bool kPaths>
[[gnu::noinline]] bool SearchOnHeap(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  HeapQueue& heap = ws.heap;
  for (int32_t u = s;;) {
    Settle<kPaths, true>(graph, u, ws, heap);
    if (heap.Size() > ws.heapLimit) return true;
    u = heap.Pop();
    if (u < 0) return false;
    if (!heap.Empty()) FetchCells(graph, ws, heap.Top());
  }
}

// Completes a search with the entries left in the heap, on the radix queue.
template <bool kPaths>
[[gnu::noinline]] void SearchOnRadix(const FastGraph& graph, FastWorkspace& ws) {
  RadixQueue& radix = ws.radix;
  radix.Clear();
  ws.heap.Drain([&](double dist, int32_t v) { radix.Push(dist, v); });
  const NodeState* state = ws.state.data();
  auto isCurrent = [&](int32_t v, uint64_t key) {
    return state[v].phase != kSettled && std::bit_cast<uint64_t>(state[v].dist) == key;
  };
  auto fetchAhead = [&](int32_t v) { FetchCells(graph, ws, v); };
  // Comparing first pays off in path mode only on small frontiers: on wide
  // ones, full of ties, the second pass costs more than the mispredictions
  // saved.
  for (int32_t u; (u = radix.Pop(isCurrent, fetchAhead)) >= 0;) {
    Settle<kPaths, !kPaths>(graph, u, ws, radix);
  }
}

template <bool kPaths>
void SearchByFrontier(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  if (SearchOnHeap<kPaths>(graph, s, ws)) SearchOnRadix<kPaths>(graph, ws);
}

template <bool kPaths>
void SearchByScan(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  NodeState* state = ws.state.data();
  ScanQueue& queue = ws.scanQueue;
  ws.touched.push_back(s);
  auto onReached = [&](int32_t v, double x, bool wasUnreached) {
    NodeState& sv = state[v];
    if (sv.phase == kSettled) return;  // negative lengths reach settled nodes
    if (sv.phase == kUntouched) {
      sv.phase = kOpen;
      ws.touched.push_back(v);
    }
    queue.Update(v, !wasUnreached, x);
  };
  int32_t u = s;
  do {
    state[u].phase = kSettled;
    ws.order.push_back(u);
    RelaxCells<kPaths>(graph, u, ws, onReached);
    u = queue.Pop([&](int32_t v) { return state[v].dist; });
  } while (u >= 0);
}

}  // namespace

void FastWorkspace_Init(FastWorkspace& ws, const FastGraph& graph) {
  const auto n = static_cast<size_t>(graph.nodeCount);
  if (graph.cells.size() > INT32_MAX) throw std::bad_alloc();
  ws.unreached = graph.heapOrderSafe ? -std::numeric_limits<double>::infinity() : UNREACHED;
  ws.state.assign(n, NodeState{});
  for (size_t v = 0; v < n; ++v) {
    ws.state[v].dist = ws.unreached;
    ws.state[v].cellBase = static_cast<uint32_t>(graph.offsets[v]);
    ws.state[v].cellCount = static_cast<uint32_t>(graph.offsets[v + 1] - graph.offsets[v]);
    ws.state[v].cellShape = graph.cellShape[v];
  }
  ws.delta.assign(n, 0.0);
  ws.links.resize(graph.cells.size());
  ws.linkCount = 0;
  ws.scanQueue.Init(graph.nodeCount);
  ws.order.clear();
  ws.touched.clear();
  ws.order.reserve(n);
  ws.heap.Init(graph.nodeCount);
  ws.radix.Init(graph.nodeCount);
}

void Fast_Search(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws) {
  assert(0 <= s && s < graph.nodeCount);
  ResetTouched(ws);
  ws.state[s].dist = 0.0;
  ws.state[s].predHead = -1;
  const bool paths = mode == SEARCH_PATHS;
  if (paths) ws.state[s].sigma = 1.0;
  if (graph.heapOrderSafe) {
    paths ? SearchByFrontier<true>(graph, s, ws) : SearchByFrontier<false>(graph, s, ws);
  } else {
    paths ? SearchByScan<true>(graph, s, ws) : SearchByScan<false>(graph, s, ws);
  }
}

const std::vector<int32_t>& Fast_RowsAbove(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  std::vector<int32_t>& rows = ws.rows;
  rows.clear();
  const size_t above = static_cast<size_t>(graph.nodeCount - s - 1);
  // Sorting the few reached nodes beats a sweep when the source reaches
  // little of the graph; otherwise the sweep is cheaper.
  if (ws.order.size() * 16 < above) {
    for (const int32_t v : ws.order) {
      if (v > s) rows.push_back(v);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  for (int32_t v = s + 1; v < graph.nodeCount; ++v) {
    if (ws.state[v].phase == kSettled) rows.push_back(v);
  }
  return rows;
}
