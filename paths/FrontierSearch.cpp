// The frontier policy. A search starts on the heap, which suits frontiers of
// a few hundred nodes, as in sparse graphs spread over a plane. Once the
// frontier outgrows ws.heapLimit, its entries move to the radix queue for the
// rest of the search: on wide frontiers full of equal distances that queue
// does less work per node than a deep heap. Both settle nodes in the same
// order. Each phase is a function of its own, so that neither loop's code is
// shaped by the other's.
#include <bit>

#include "paths/FastPolicies.h"
#include "paths/FastRelax.h"

namespace {

// Settles u: marks it, stacks it and relaxes its cells into queue, with
// RelaxDistinct where it applies if kCompareFirst.
template <bool kPaths, bool kCompareFirst, SelectionQueue Queue>
inline void Settle(const FastGraph& graph, int32_t u, FastWorkspace& ws, Queue& queue) {
  NodeState& su = ws.state[u];
  su.phase = kSettled;
  ws.order.push_back(u);
  if constexpr (kPaths) FastWorkspace_ReserveLinks(ws, su.cellCount);
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

// An entry is current while its node is unsettled and still at the entry's
// distance; the radix queue drops the others.
inline bool IsCurrent(const FastWorkspace& ws, int32_t v, uint64_t distanceBits) {
  const NodeState& st = ws.state[v];
  return st.phase != kSettled && std::bit_cast<uint64_t>(st.dist) == distanceBits;
}

// Searches from s on the heap while the frontier stays within ws.heapLimit.
// Returns false when the search is complete, true when the frontier has
// outgrown the heap, its entries still in it.
template <bool kPaths>
[[gnu::noinline]] bool SearchOnHeap(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  HeapQueue& heap = ws.heap;
  auto isCurrent = [&](int32_t v, uint64_t bits) { return IsCurrent(ws, v, bits); };
  auto fetchAhead = [&](int32_t v) { FetchCells(graph, ws, v); };
  for (int32_t u = s;;) {
    Settle<kPaths, true>(graph, u, ws, heap);
    if (heap.Size() > ws.heapLimit) return true;
    u = heap.Pop(isCurrent, fetchAhead);
    if (u < 0) return false;
  }
}

// Completes a search with the entries left in the heap, on the radix queue.
template <bool kPaths>
[[gnu::noinline]] void SearchOnRadix(const FastGraph& graph, FastWorkspace& ws) {
  RadixQueue& radix = ws.radix;
  radix.Clear();
  ws.heap.Drain([&](double dist, int32_t v) { radix.Push(dist, v); });
  auto isCurrent = [&](int32_t v, uint64_t bits) { return IsCurrent(ws, v, bits); };
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

}  // namespace

void FastPolicy_Frontier(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws) {
  if (mode == SEARCH_PATHS) {
    SearchByFrontier<true>(graph, s, ws);
  } else {
    SearchByFrontier<false>(graph, s, ws);
  }
}
