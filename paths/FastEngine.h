// The fast engine: the same searches and accumulation as the reference,
// producing identical doubles, over compressed adjacency arrays with
// per-thread workspaces that a source only touches where it reaches.
//
// Selection policy: when every length is >= 0 and not NaN, a heap and then,
// on wide frontiers, a monotone radix queue, both ordered by (distance,
// index), settle nodes in exactly the reference scan's order. Otherwise
// distances can fall, turn NaN or hit the UNREACHED sentinel, and a queue
// that models the scan's own rule takes over.
#pragma once

#include <cstdint>
#include <vector>

#include "paths/FastGraph.h"
#include "paths/HeapQueue.h"
#include "paths/OrderedMath.h"
#include "paths/RadixQueue.h"
#include "paths/ScanQueue.h"

// Where a node stands in the current search.
constexpr uint8_t kUntouched = 0;
constexpr uint8_t kOpen = 1;     // reached, not settled (scan policy only)
constexpr uint8_t kSettled = 2;

// Frontiers up to this many nodes stay on the heap. Measured: limits from 128
// to 1024 run alike; a heap of thousands of entries loses to the radix queue.
constexpr int32_t kDefaultHeapLimit = 256;

// What a search reads and writes about one node, in one 32-byte record so
// that it touches a single cache line. The node's cells are
// cells[cellBase .. cellBase+cellCount-1].
struct alignas(32) NodeState {
  double dist = UNREACHED;
  double sigma = 0.0;
  uint32_t cellBase = 0;   // fixed per graph
  int32_t predHead = -1;   // newest predecessor link; valid once reached
  uint32_t cellCount = 0;  // fixed per graph
  uint8_t phase = kUntouched;
  uint8_t cellShape = 0;   // fixed per graph, as in FastGraph
};

// A recorded predecessor and the link recorded before it for the same node.
// Links are appended as ties are found, so a search writes them in sequence
// rather than into per-node slots all over memory.
struct PredLink {
  int32_t node;
  int32_t next;
};

struct FastWorkspace {
  // The distance of a node not reached yet: UNREACHED as the reference has
  // it, or, where no length is negative or NaN and so no distance can be
  // negative, -infinity, whose bit pattern exceeds every distance's.
  double unreached = UNREACHED;
  std::vector<NodeState> state;
  std::vector<double> delta;     // dependencies, filled by the accumulation
  std::vector<PredLink> links;   // this search's predecessor links, one at most per cell
  size_t linkCount = 0;
  std::vector<int32_t> order;    // settle order: the settle stack, bottom first
  std::vector<int32_t> touched;  // every node given a distance (scan policy)
  HeapQueue heap;                 // selection when no length is negative or NaN:
  RadixQueue radix;               // the heap first, the radix queue on wide frontiers
  // The frontier size at which a search moves from the heap to the radix
  // queue. Both give the same order, so this tunes speed only; tests lower
  // it to make searches move early.
  int32_t heapLimit = kDefaultHeapLimit;
  ScanQueue scanQueue;            // selection otherwise
  std::vector<int32_t> rows;     // scratch for distance rows
};

// Sizes a workspace for graph; every node starts untouched. Throws
// std::bad_alloc for graphs of 2^31 cells or more.
void FastWorkspace_Init(FastWorkspace& ws, const FastGraph& graph);

// One search from s. Path mode also counts paths and records predecessors.
// Resets what the previous search touched first, so a source costs what it
// reaches, not the node count.
void Fast_Search(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws);

// Back-propagation after a path-mode Fast_Search from s. Calls
// add(w, delta_w) once per settled node w other than s, in the reference's
// pop order, with w's dependency as it stands when w is popped.
template <class AddScore>
void Fast_Accumulate(int32_t s, FastWorkspace& ws, AddScore&& add) {
  const NodeState* state = ws.state.data();
  double* delta = ws.delta.data();
  const PredLink* links = ws.links.data();
  const int32_t* order = ws.order.data();
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
    if (w == s) continue;
    // Newest predecessor first. delta[w] is re-read per link: w can be its
    // own predecessor.
    for (int32_t k = state[w].predHead; k >= 0; k = links[k].next) {
      const int32_t v = links[k].node;
      delta[v] = ShareOrdered(delta[w], state[v].sigma, state[w].sigma, delta[v]);
    }
    add(w, delta[w]);
  }
}

// After a distance-mode Fast_Search from s: the settled nodes above s, in
// ascending index order (held in ws.rows).
const std::vector<int32_t>& Fast_RowsAbove(const FastGraph& graph, int32_t s, FastWorkspace& ws);
