// The per-thread working data of the fast engine: one record per node, the
// predecessor links and settle order of the current search, and the queues.
// A search resets only what the previous one touched, so a source costs what
// it reaches, not the node count. Nodes are the graph's (FastGraph.h).
#pragma once

#include <cstdint>
#include <vector>

#include "paths/FastGraph.h"
#include "paths/HeapQueue.h"
#include "paths/RadixQueue.h"
#include "paths/ScanQueue.h"

// Where a node stands in a search of the scan policy.
constexpr uint8_t kUntouched = 0;
constexpr uint8_t kOpen = 1;     // reached, not settled (scan policy only)
constexpr uint8_t kSettled = 2;

// Frontiers up to this many nodes stay on the heap. Measured: limits from 128
// to 1024 run alike; a heap of thousands of entries loses to the radix queue.
constexpr int32_t kDefaultHeapLimit = 256;

// What a search reads and writes about one node, in one 32-byte record so
// that it touches a single cache line: on a large graph a node's record is
// far from the last one read, and every further line would be a further
// wait on memory. The node's cells are cells[cellBase .. cellBase+count-1];
// they, its cell shape and its name index are fixed per graph.
struct alignas(32) NodeState {
  double dist = UNREACHED;
  double sigma = 0.0;
  uint32_t cellBase = 0;
  int32_t predHead = -1;   // newest predecessor link; valid once reached
  uint32_t cellsAndShape = 0;  // the cell count, the cell shape in the top two bits
  int32_t name = 0;        // handed out with the node's dependency
};

inline uint32_t NodeState_CellCount(const NodeState& st) { return st.cellsAndShape & 0x3fffffffu; }
inline uint8_t NodeState_CellShape(const NodeState& st) {
  return static_cast<uint8_t>(st.cellsAndShape >> 30);
}

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
  // Where each node stands in a search of the scan policy, which alone asks
  // (sized by its first search). The frontier policy settles every node it
  // reaches and never settles one twice, so it needs no such mark.
  std::vector<uint8_t> phase;
  bool scanned = false;          // whether the last search took the scan policy
  std::vector<PredLink> links;   // this search's predecessor links, grown as ties come
  size_t linkCount = 0;
  std::vector<int32_t> order;    // settle order: the settle stack, bottom first
  std::vector<int32_t> touched;  // every node given a distance (scan policy)
  HeapQueue heap;                 // selection when no length is negative or NaN:
  RadixQueue radix;               // the heap first, the radix queue on wide frontiers
  // The frontier size at which a search moves from the heap to the radix
  // queue. Both give the same order, so this tunes speed only; tests lower
  // it to make searches move early.
  int32_t heapLimit = kDefaultHeapLimit;
  ScanQueue scanQueue;            // selection otherwise, over name indices
  std::vector<int32_t> rows;     // scratch for distance rows
  // How the last search held its counts. COUNTS_WIDE: NodeState::sigma holds
  // the mantissas, sigmaExponent the exponents (sized by the first such
  // search; a node's entry is set when the search first reaches it).
  CountWidth counts = COUNTS_DOUBLE;
  std::vector<int64_t> sigmaExponent;
};

// Sizes a workspace for graph; every node starts untouched. Throws
// std::bad_alloc for graphs of 2^31 cells or more, or a node of 2^30.
void FastWorkspace_Init(FastWorkspace& ws, const FastGraph& graph);

void FastWorkspace_GrowLinks(FastWorkspace& ws, size_t more);

// Makes room for `cells` more predecessor links before a node's cells are
// relaxed: each cell records one at most. The links grow with the ties
// searches record instead of holding a slot for every cell of the graph.
inline void FastWorkspace_ReserveLinks(FastWorkspace& ws, uint64_t cells) {
  if (ws.linkCount + cells > ws.links.size()) FastWorkspace_GrowLinks(ws, cells);
}

// Returns every node the last search touched to its untouched state and
// forgets that search's settle order and links.
void FastWorkspace_Reset(FastWorkspace& ws);
