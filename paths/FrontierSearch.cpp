// The frontier policy. A search starts on the heap, which suits frontiers of
// a few hundred nodes, as in sparse graphs spread over a plane. Once the
// frontier outgrows ws.heapLimit, its entries move to the radix queue for the
// rest of the search: on wide frontiers full of equal distances that queue
// does less work per node than a deep heap. Both settle nodes in the same
// order. Each phase is a function of its own, so that neither loop's code is
// shaped by the other's.
#include <algorithm>
#include <bit>

#include "paths/FastPolicies.h"
#include "paths/FastRelax.h"

namespace {

// Settles u: stacks it and relaxes its cells into queue, with
// RelaxDistinct where it applies if kCompareFirst.
template <bool kPaths, bool kCompareFirst, SelectionQueue Queue>
inline void Settle(const FastGraph& graph, int32_t u, FastWorkspace& ws, Queue& queue) {
  const NodeState& su = ws.state[static_cast<size_t>(u)];
  ws.order.push_back(u);
  if constexpr (kPaths) FastWorkspace_ReserveLinks(ws, NodeState_CellCount(su));
  const uint8_t shape = NodeState_CellShape(su);
  if (kCompareFirst && shape == kCellsDistinct) {
    RelaxDistinct<kPaths>(graph, u, ws, queue);
  } else if (shape != kCellsSelfLoop) {
    RelaxMonotone<kPaths>(graph, u, ws, queue);
  } else {
    // Lengths are >= 0 here, so an improved node is never a settled one.
    RelaxCells<kPaths>(graph, u, ws,
                       [&](int32_t v, double x, bool, int32_t key) { queue.Push(x, v, key); });
  }
}

// A node about to be settled: its cells are fetched now, behind the work
// before it.
inline void FetchCells(const FastGraph& graph, const FastWorkspace& ws, int32_t v) {
  const auto first = reinterpret_cast<uintptr_t>(CellsBegin(graph, ws.state[static_cast<size_t>(v)]));
  __builtin_prefetch(reinterpret_cast<const void*>(first));
  __builtin_prefetch(reinterpret_cast<const void*>(first + 64));  // may pass the end: a hint only
}

// An entry is current while its node is still at the entry's distance; the
// radix queue drops the others. A settled node's entry is never current:
// with no length negative, a settled node is never improved, and it was
// pushed once at each distance it held, so the entry that brought it out was
// the last at its distance.
inline bool IsCurrent(const FastWorkspace& ws, int32_t v, uint64_t distanceBits) {
  return std::bit_cast<uint64_t>(ws.state[static_cast<size_t>(v)].dist) == distanceBits;
}

// The nodes next in line, while the radix queue serves a group of equal
// distances: each is fetched in stages, a few nodes ahead of its settling,
// so that the reads of several nodes are under way at once. Far ahead its
// record; nearer, with the record in, its cells; nearest, with the cells
// in, the records of the neighbours it will relax (the first few).
inline void FetchGroupAhead(const FastGraph& graph, const FastWorkspace& ws, const RadixQueue& radix) {
  constexpr size_t kRecordAhead = 12, kCellsAhead = 6, kTargetsAhead = 3, kTargets = 16;
  const NodeState* state = ws.state.data();
  if (const int32_t v = radix.Ahead(kRecordAhead); v >= 0) __builtin_prefetch(&state[v]);
  if (const int32_t v = radix.Ahead(kCellsAhead); v >= 0) FetchCells(graph, ws, v);
  if (const int32_t v = radix.Ahead(kTargetsAhead); v >= 0) {
    const NodeState& sv = state[v];
    const FastCell* cell = CellsBegin(graph, sv);
    const FastCell* const end = cell + std::min<uint32_t>(NodeState_CellCount(sv), kTargets);
    for (; cell != end; ++cell) __builtin_prefetch(&state[cell->target]);
  }
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
  ws.heap.Drain([&](double dist, int32_t v, int32_t key) { radix.Push(dist, v, key); });
  auto isCurrent = [&](int32_t v, uint64_t bits) { return IsCurrent(ws, v, bits); };
  auto fetchAhead = [&](int32_t v) { FetchCells(graph, ws, v); };
  // Comparing first pays off in path mode only on small frontiers: on wide
  // ones, full of ties, the second pass costs more than the mispredictions
  // saved.
  for (int32_t u; (u = radix.Pop(isCurrent, fetchAhead)) >= 0;) {
    FetchGroupAhead(graph, ws, radix);
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
