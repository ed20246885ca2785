// The relaxation of a settled node's cells, in three variants that must
// give what the reference's relaxation gives, cell for cell:
//   RelaxCells     any lengths, self-loops included: the reference's rule
//                  as written;
//   RelaxMonotone  no negative or NaN length, no self-loop: one comparison
//                  of bit patterns decides;
//   RelaxDistinct  as RelaxMonotone, and the cells lead to distinct nodes:
//                  all comparisons first, then the updates.
// The variants must stay in step: each applies an improvement through
// TakeImproved and a tie through RecordTie, and only the way they decide
// differs. A change to what an improvement or a tie does belongs in those
// two helpers. Counts (FastCounts.h) says how path counts are held; only
// RelaxCells, the scan policy's, is used with wide counts.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "paths/FastCounts.h"
#include "paths/FastWorkspace.h"
#include "paths/OrderedMath.h"

// Improved: v takes the shorter distance x and, in path mode, starts over
// with no predecessors and a count of 0 (the tie test that follows adds the
// new predecessor).
template <bool kPaths, class Counts = PlainCounts>
inline void TakeImproved(FastWorkspace& ws, int32_t v, double x) {
  NodeState& sv = ws.state[static_cast<size_t>(v)];
  sv.dist = x;
  if constexpr (kPaths) {
    sv.predHead = -1;
    Counts::Clear(ws, v);
  }
}

// Tied: u becomes v's newest predecessor and u's count joins v's.
template <class Counts = PlainCounts>
inline void RecordTie(FastWorkspace& ws, int32_t v, int32_t u, typename Counts::Count sigmaU) {
  const auto link = static_cast<int32_t>(ws.linkCount++);
  NodeState& sv = ws.state[static_cast<size_t>(v)];
  ws.links[static_cast<size_t>(link)] = PredLink{u, sv.predHead};
  sv.predHead = link;
  Counts::Add(ws, v, sigmaU);
}

// The cells of the node of record st.
inline const FastCell* CellsBegin(const FastGraph& graph, const NodeState& st) {
  return graph.cells.data() + st.cellBase;
}
inline const FastCell* CellsEnd(const FastGraph& graph, const NodeState& st) {
  return CellsBegin(graph, st) + NodeState_CellCount(st);
}

// Relaxes every cell of u in list order, exactly as the reference does.
// The reference re-reads dist[u] and sigma[u] at every cell; they can only
// change through a self-loop of u, so they are kept in registers and re-read
// after each self-loop cell. onReached(v, x, wasUnreached, key) keeps the
// selection structure in step.
template <bool kPaths, class Counts = PlainCounts, class OnReached>
inline void RelaxCells(const FastGraph& graph, int32_t u, FastWorkspace& ws,
                       OnReached&& onReached) {
  NodeState* state = ws.state.data();
  const double unreached = ws.unreached;
  const NodeState& su = state[u];
  double du = su.dist;
  typename Counts::Count sigmaU = Counts::Get(ws, u);
  const FastCell* const end = CellsEnd(graph, su);
  for (const FastCell* cell = CellsBegin(graph, su); cell != end; ++cell) {
    const int32_t v = cell->target;
    const double length = cell->length;
    NodeState& sv = state[v];
    const double x = AddOrdered(du, length);
    if (sv.dist > x || sv.dist == unreached) {
      const bool wasUnreached = sv.dist == unreached;
      TakeImproved<kPaths, Counts>(ws, v, x);
      onReached(v, x, wasUnreached, cell->key);
    }
    if (v == u) {
      // The tie test recomputes the candidate from u's distance as it now
      // stands, which this very cell may have lowered.
      if constexpr (kPaths) {
        if (AddOrdered(su.dist, length) == sv.dist) {
          RecordTie<Counts>(ws, v, u, Counts::Get(ws, u));
        }
      }
      du = su.dist;
      sigmaU = Counts::Get(ws, u);
      continue;
    }
    if constexpr (kPaths) {
      if (x == sv.dist) RecordTie<Counts>(ws, v, u, sigmaU);
    }
  }
}

// No self-loop of u, no negative or NaN length in the graph. No distance is
// then NaN or negative and the unreached mark (-infinity) has the largest
// bit pattern, so "dist[v] > x or unreached" is one unsigned comparison of
// bit patterns, equal bits mean equal distances, and u's own values cannot
// change under it.
template <bool kPaths, class Queue>
inline void RelaxMonotone(const FastGraph& graph, int32_t u, FastWorkspace& ws, Queue& queue) {
  NodeState* state = ws.state.data();
  const double du = state[u].dist;
  const double sigmaU = state[u].sigma;
  const FastCell* const end = CellsEnd(graph, state[u]);
  for (const FastCell* cell = CellsBegin(graph, state[u]); cell != end; ++cell) {
    const int32_t v = cell->target;
    const double x = du + cell->length;
    const uint64_t xBits = std::bit_cast<uint64_t>(x);
    uint64_t vBits = std::bit_cast<uint64_t>(state[v].dist);
    if (vBits > xBits) {
      TakeImproved<kPaths>(ws, v, x);
      vBits = xBits;
      queue.Push(x, v, cell->key);
    }
    if constexpr (kPaths) {
      if (vBits == xBits) RecordTie(ws, v, u, sigmaU);
    }
  }
}

// RelaxMonotone for a node whose cells lead to distinct other nodes. No cell
// then sees the effect of another, so all comparisons are made first,
// without branches (their outcome is data and mispredicts often), and the
// improvements and ties found are applied after, in cell order; the queue
// orders by (distance, key) whatever the order of pushes.
template <bool kPaths, class Queue>
inline void RelaxDistinct(const FastGraph& graph, int32_t u, FastWorkspace& ws, Queue& queue) {
  const NodeState* state = ws.state.data();
  const double du = state[u].dist;
  const double sigmaU = state[u].sigma;
  const FastCell* cells = CellsBegin(graph, state[u]);
  for (uint32_t remaining = NodeState_CellCount(state[u]); remaining > 0;) {
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
      if (!kPaths || ((better >> k) & 1) != 0) {
        const double x = du + cell.length;
        TakeImproved<kPaths>(ws, cell.target, x);
        queue.Push(x, cell.target, cell.key);
      }
      if constexpr (kPaths) RecordTie(ws, cell.target, u, sigmaU);
    }
    cells += count;
    remaining -= count;
  }
}
