// The fast engine: the same searches and accumulation as the reference,
// producing identical doubles, over compressed adjacency arrays with
// per-thread workspaces that a source only touches where it reaches.
//
// Selection policy: when every length is >= 0 and not NaN, a heap and then,
// on wide frontiers, a monotone radix queue, both ordered by (distance,
// name index), settle nodes in exactly the reference scan's order. Otherwise
// distances can fall, turn NaN or hit the UNREACHED sentinel, and a queue
// that models the scan's own rule takes over.
//
// Sources and results are name indices; the graph's own numbering of the
// nodes (FastGraph.h) stays inside, and the workspace's arrays follow it.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <vector>

#include "paths/FastCounts.h"
#include "paths/FastGraph.h"
#include "paths/FastWorkspace.h"
#include "paths/OrderedMath.h"

// One search from name s. Path mode also counts paths and records
// predecessors, holding counts as counts says (COUNTS_WIDE: path mode only,
// always on the scan policy).
void Fast_Search(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws,
                 CountWidth counts = COUNTS_DOUBLE);

// What the last search found about name v: whether it settled v, v's
// distance and, in path mode, its count (with wide counts, the mantissa and
// the exponent).
inline size_t Fast_NodeAt(const FastGraph& graph, int32_t v) {
  return static_cast<size_t>(graph.nodeOf[static_cast<size_t>(v)]);
}
// The frontier policy settles exactly the nodes it reaches.
inline bool Fast_Settled(const FastGraph& graph, const FastWorkspace& ws, int32_t v) {
  const size_t at = Fast_NodeAt(graph, v);
  return ws.scanned ? ws.phase[at] == kSettled : ws.state[at].dist != ws.unreached;
}
inline double Fast_Distance(const FastGraph& graph, const FastWorkspace& ws, int32_t v) {
  return ws.state[Fast_NodeAt(graph, v)].dist;
}
inline double Fast_Count(const FastGraph& graph, const FastWorkspace& ws, int32_t v) {
  return ws.state[Fast_NodeAt(graph, v)].sigma;
}
inline int64_t Fast_CountExponent(const FastGraph& graph, const FastWorkspace& ws, int32_t v) {
  return ws.sigmaExponent[Fast_NodeAt(graph, v)];
}

// The names the last search settled, in settle order: the settle stack,
// bottom first.
std::vector<int32_t> Fast_SettleOrder(const FastGraph& graph, const FastWorkspace& ws);

// The walk of Fast_Accumulate with counts held as Counts says, the source
// being the first node settled. Returns the largest count of a settled node,
// the source included, with PlainCounts (0 with WideCounts, which do not
// overflow).
template <class Counts, class AddScore>
double FastAccumulate_Walk(FastWorkspace& ws, AddScore&& add) {
  const NodeState* state = ws.state.data();
  double* delta = ws.delta.data();
  const PredLink* links = ws.links.data();
  const int32_t* order = ws.order.data();
  double largest = 0.0;
  for (size_t i = ws.order.size(); i-- > 0;) {
    // The walk jumps through the graph: fetch the records of nodes a few
    // steps ahead, then, once those are in, their newest links.
    if (i >= 16) __builtin_prefetch(&state[order[i - 16]]);
    if (i >= 8) {
      const NodeState& ahead = state[order[i - 8]];
      if (ahead.predHead >= 0) __builtin_prefetch(links + ahead.predHead);
      __builtin_prefetch(&delta[order[i - 8]]);
    }
    const int32_t w = order[i];
    // Every predecessor is a settled node, so this sees every count read.
    if constexpr (Counts::kCanOverflow) largest = std::max(largest, state[w].sigma);
    if (i == 0) continue;  // the source
    // Newest predecessor first. delta[w] is re-read per link: w can be its
    // own predecessor.
    for (int32_t k = state[w].predHead; k >= 0; k = links[k].next) {
      const int32_t v = links[k].node;
      delta[v] = ShareOfRatio(delta[w], Counts::Ratio(ws, v, w), delta[v]);
    }
    add(state[w].name, delta[w]);
  }
  return largest;
}

// Back-propagation after a path-mode Fast_Search from name s. Calls
// add(w, delta_w) once per settled name w other than s, in the reference's
// pop order, with w's dependency as it stands when w is popped. Returns
// false when the search held plain counts and one of them overflowed to
// infinity (the rule of Path_CountsOverflowed): what add was given is then
// void, and s is to be searched again with COUNTS_WIDE.
template <class AddScore>
bool Fast_Accumulate([[maybe_unused]] int32_t s, FastWorkspace& ws, AddScore&& add) {
  assert(!ws.order.empty() && ws.state[static_cast<size_t>(ws.order[0])].name == s);
  if (ws.counts == COUNTS_WIDE) {
    FastAccumulate_Walk<WideCounts>(ws, add);
    return true;
  }
  return FastAccumulate_Walk<PlainCounts>(ws, add) != INFINITY;
}

// After a Fast_Search: the settled names of index `from` and above, in
// ascending order (held in ws.rows). The programs list a source's row from
// s + 1, each pair once.
const std::vector<int32_t>& Fast_RowsFrom(const FastGraph& graph, int32_t from, FastWorkspace& ws);
