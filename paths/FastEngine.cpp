#include "paths/FastEngine.h"

#include <algorithm>
#include <bit>
#include <cassert>

namespace {

// A 4-ary min-heap of (distance, node) keys with decrease-key. Slot k lives
// at base_[k + 3] with base_ 64-byte aligned, so the children 4k+1 .. 4k+4
// of any slot fill exactly one cache line.
class FourHeap {
 public:
  FourHeap(std::vector<HeapKey>& storage, NodeState* state) : state_(state) {
    auto address = reinterpret_cast<uintptr_t>(storage.data());
    base_ = storage.data() + ((64 - address % 64) % 64) / sizeof(HeapKey) + 3;
  }

  static HeapKey Key(double dist, int32_t node) {
    return (HeapKey{std::bit_cast<uint64_t>(dist)} << 32) | static_cast<uint32_t>(node);
  }

  bool Empty() const { return size_ == 0; }

  void Push(int32_t node, double dist) { SiftUp(size_++, Key(dist, node)); }

  void Decrease(int32_t node, double dist) {
    SiftUp(static_cast<size_t>(state_[node].heapPos), Key(dist, node));
  }

  // Removes the minimum. The hole at the root first sinks along the smaller
  // children to a leaf; the last key then rises from there, which needs far
  // fewer comparisons than sinking it from the top.
  int32_t Pop() {
    const auto top = static_cast<int32_t>(static_cast<uint32_t>(base_[0]));
    state_[top].heapPos = kSettled;
    const HeapKey last = base_[--size_];
    size_t hole = 0;
    for (;;) {
      const size_t first = hole * 4 + 1;
      if (first + 4 <= size_) {
        const size_t a = base_[first + 1] < base_[first] ? first + 1 : first;
        const size_t b = base_[first + 3] < base_[first + 2] ? first + 3 : first + 2;
        const size_t best = base_[b] < base_[a] ? b : a;
        Move(hole, best);
        hole = best;
        continue;
      }
      if (first < size_) {
        size_t best = first;
        for (size_t c = first + 1; c < size_; ++c) {
          if (base_[c] < base_[best]) best = c;
        }
        Move(hole, best);
        hole = best;
      }
      break;
    }
    if (hole != size_) SiftUp(hole, last);
    return top;
  }

 private:
  static int32_t NodeOf(HeapKey key) { return static_cast<int32_t>(static_cast<uint32_t>(key)); }

  void Move(size_t to, size_t from) {
    base_[to] = base_[from];
    state_[NodeOf(base_[to])].heapPos = static_cast<int32_t>(to);
  }

  void SiftUp(size_t at, HeapKey key) {
    while (at > 0) {
      const size_t parent = (at - 1) / 4;
      if (!(key < base_[parent])) break;
      Move(at, parent);
      at = parent;
    }
    base_[at] = key;
    state_[NodeOf(key)].heapPos = static_cast<int32_t>(at);
  }

  HeapKey* base_;
  NodeState* state_;
  size_t size_ = 0;
};

void ResetTouched(FastWorkspace& ws) {
  const std::vector<int32_t>& nodes = ws.touched.empty() ? ws.order : ws.touched;
  for (const int32_t v : nodes) {
    ws.state[v] = NodeState{};
    ws.open[static_cast<size_t>(v) >> 6] = 0;
  }
  ws.order.clear();
  ws.touched.clear();
}

// Relaxes every cell of u in list order, exactly as the reference does:
// dist[u] and sigma[u] are re-read at each cell, since a self-loop can change
// them midway. onReached(v, wasUnreached) keeps the selection structure in step.
template <bool kPaths, class OnReached>
inline void RelaxCells(const FastGraph& graph, int32_t u, FastWorkspace& ws,
                       OnReached&& onReached) {
  NodeState* state = ws.state.data();
  int32_t* preds = ws.preds.data();
  const uint64_t end = graph.offsets[static_cast<size_t>(u) + 1];
  for (uint64_t k = graph.offsets[static_cast<size_t>(u)]; k < end; ++k) {
    const int32_t v = graph.targets[k];
    const double length = graph.lengths[k];
    NodeState& sv = state[v];
    const double x = state[u].dist + length;
    if (sv.dist > x || sv.dist == UNREACHED) {
      const bool wasUnreached = sv.dist == UNREACHED;
      sv.dist = x;
      if constexpr (kPaths) {
        sv.predCount = 0;
        sv.sigma = 0.0;
      }
      onReached(v, x, wasUnreached);
    }
    if constexpr (kPaths) {
      if (state[u].dist + length == sv.dist) {
        preds[graph.offsets[static_cast<size_t>(v)] + static_cast<uint64_t>(sv.predCount)] = u;
        sv.predCount += 1;
        sv.sigma = sv.sigma + state[u].sigma;
      }
    }
  }
}

template <bool kPaths>
void SearchByRadix(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  NodeState* state = ws.state.data();
  RadixQueue& queue = ws.queue;
  queue.Clear();
  // Lengths are >= 0 here, so an improved node is never a settled one.
  auto onReached = [&](int32_t v, double x, bool) { queue.Push(x, v); };
  auto isCurrent = [&](int32_t v, uint64_t key) {
    return state[v].heapPos != kSettled && std::bit_cast<uint64_t>(state[v].dist) == key;
  };
  int32_t u = s;
  do {
    state[u].heapPos = kSettled;
    ws.order.push_back(u);
    RelaxCells<kPaths>(graph, u, ws, onReached);
    u = queue.Pop(isCurrent);
  } while (u >= 0);
}

template <bool kPaths>
void SearchByHeap(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  NodeState* state = ws.state.data();
  FourHeap heap(ws.heapSlots, state);
  auto onReached = [&](int32_t v, double x, bool wasUnreached) {
    // Lengths are >= 0 here, so an improved node is never a settled one.
    if (wasUnreached) {
      heap.Push(v, x);
    } else {
      heap.Decrease(v, x);
    }
  };
  int32_t u = s;
  for (;;) {
    state[u].heapPos = kSettled;
    ws.order.push_back(u);
    RelaxCells<kPaths>(graph, u, ws, onReached);
    if (heap.Empty()) break;
    u = heap.Pop();
  }
}

template <bool kPaths>
void SearchByScan(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  NodeState* state = ws.state.data();
  uint64_t* open = ws.open.data();
  ws.touched.push_back(s);
  auto onReached = [&](int32_t v, double, bool) {
    if (state[v].heapPos != kUntouched) return;
    state[v].heapPos = kOpen;
    ws.touched.push_back(v);
    open[static_cast<size_t>(v) >> 6] |= uint64_t{1} << (v & 63);
  };
  const size_t words = ws.open.size();
  int32_t u = s;
  for (;;) {
    state[u].heapPos = kSettled;
    open[static_cast<size_t>(u) >> 6] &= ~(uint64_t{1} << (u & 63));
    ws.order.push_back(u);
    RelaxCells<kPaths>(graph, u, ws, onReached);

    // The reference's rule in index order over the open nodes: a later node
    // wins only on a strictly smaller distance; the first candidate is taken
    // whatever it holds (NaN included).
    double m = UNREACHED;
    for (size_t word = 0; word < words; ++word) {
      for (uint64_t bits = open[word]; bits != 0; bits &= bits - 1) {
        const auto i = static_cast<int32_t>(word * 64 + static_cast<size_t>(std::countr_zero(bits)));
        const double d = state[i].dist;
        if (d == UNREACHED) continue;
        if (d < m || m == UNREACHED) {
          m = d;
          u = i;
        }
      }
    }
    if (m == UNREACHED) break;
  }
}

}  // namespace

void FastWorkspace_Init(FastWorkspace& ws, const FastGraph& graph) {
  const auto n = static_cast<size_t>(graph.nodeCount);
  ws.state.assign(n, NodeState{});
  ws.preds.assign(graph.targets.size(), 0);
  ws.open.assign((n + 63) / 64, 0);
  ws.order.clear();
  ws.touched.clear();
  ws.order.reserve(n);
  ws.heapSlots.assign(n + 8, 0);
  ws.queue.Init(graph.nodeCount);
}

void Fast_Search(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws) {
  assert(0 <= s && s < graph.nodeCount);
  ResetTouched(ws);
  ws.state[s].dist = 0.0;
  const bool paths = mode == SEARCH_PATHS;
  if (paths) ws.state[s].sigma = 1.0;
  if (graph.heapOrderSafe) {
    paths ? SearchByRadix<true>(graph, s, ws) : SearchByRadix<false>(graph, s, ws);
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
    if (ws.state[v].heapPos == kSettled) rows.push_back(v);
  }
  return rows;
}
