// The fast engine: the same searches and accumulation as the reference,
// producing identical doubles, over compressed adjacency arrays with
// per-thread workspaces that a source only touches where it reaches.
//
// Selection policy: when every length is >= 0 and not NaN, a 4-ary heap keyed
// on (distance, index) settles nodes in exactly the reference scan's order.
// Otherwise the scan's own rule is applied over a bitmap of the reached,
// unsettled nodes, which keeps the order for negative and NaN distances.
#pragma once

#include <cstdint>
#include <vector>

#include "paths/FastGraph.h"
#include "paths/RadixQueue.h"

// Heap position, or one of these states.
constexpr int32_t kUntouched = -1;
constexpr int32_t kSettled = -2;
constexpr int32_t kOpen = -3;  // reached, unsettled, not in a heap (scan policy)

// Everything a search and its accumulation read about one node, in one
// 32-byte record so a relaxation touches a single cache line.
struct alignas(32) NodeState {
  double dist = UNREACHED;
  double sigma = 0.0;
  double delta = 0.0;
  int32_t heapPos = kUntouched;
  int32_t predCount = 0;
};

// A heap key: the distance's bit pattern above the node index, so one
// unsigned comparison orders by distance, then by index. Valid because heap
// distances are never negative or NaN, and for those doubles the bit
// patterns order as the values do.
using HeapKey = unsigned __int128;

struct FastWorkspace {
  std::vector<NodeState> state;
  std::vector<int32_t> preds;    // node v's predecessors in slots offsets[v].., oldest first
  std::vector<int32_t> order;    // settle order: the settle stack, bottom first
  std::vector<int32_t> touched;  // every node given a distance (scan policy)
  std::vector<uint64_t> open;    // bitmap of reached, unsettled nodes (scan policy)
  std::vector<HeapKey> heapSlots;  // room for every node plus alignment slack
  RadixQueue queue;
  std::vector<int32_t> rows;     // scratch for distance rows
};

// Sizes a workspace for graph; every node starts untouched.
void FastWorkspace_Init(FastWorkspace& ws, const FastGraph& graph);

// One search from s. Path mode also counts paths and records predecessors.
// Resets what the previous search touched first, so a source costs what it
// reaches, not the node count.
void Fast_Search(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws);

// Back-propagation after a path-mode Fast_Search from s. Calls
// add(w, delta_w) once per settled node w other than s, in the reference's
// pop order, with w's dependency as it stands when w is popped.
template <class AddScore>
void Fast_Accumulate(const FastGraph& graph, int32_t s, FastWorkspace& ws, AddScore&& add) {
  NodeState* state = ws.state.data();
  const int32_t* preds = ws.preds.data();
  for (size_t i = ws.order.size(); i-- > 0;) {
    const int32_t w = ws.order[i];
    if (w == s) continue;
    const int32_t* base = preds + graph.offsets[static_cast<size_t>(w)];
    // w's own record is re-read per cell: w can be its own predecessor.
    for (int32_t k = state[w].predCount; k-- > 0;) {
      NodeState& sv = state[base[k]];
      sv.delta = ((1.0 + state[w].delta) * (sv.sigma / state[w].sigma)) + sv.delta;
    }
    add(w, state[w].delta);
  }
}

// After a distance-mode Fast_Search from s: the settled nodes above s, in
// ascending index order (held in ws.rows).
const std::vector<int32_t>& Fast_RowsAbove(const FastGraph& graph, int32_t s, FastWorkspace& ws);
