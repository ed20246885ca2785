// The work of a betweenness run, source by source, shared by the runner's
// threads and the cluster's ranks: a source's dependencies, split by node
// range into fold lanes, and the fold of a lane into the scores.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "paths/FastEngine.h"
#include "paths/OrderedMath.h"

// The dependencies of some sources that fall in one node range: (node,
// value) pairs, source after source, in room fixed when it is made.
struct LaneValues {
  std::unique_ptr<int32_t[]> nodes;
  std::unique_ptr<double[]> values;
  size_t size = 0;
  size_t capacity = 0;
};

// One lane per node range of width 2^shift.
using Contributions = std::vector<LaneValues>;

// Room for `sources` sources' values in each of `lanes` lanes of width
// 2^shift over nodeCount nodes: a source adds one value a reached node.
inline Contributions ScoreTasks_NewResult(int32_t lanes, int32_t shift, int32_t nodeCount,
                                          int64_t sources) {
  Contributions result(static_cast<size_t>(lanes));
  const int64_t width = std::min<int64_t>(int64_t{1} << shift, nodeCount);
  for (LaneValues& lane : result) {
    lane.capacity = static_cast<size_t>(width * sources);
    lane.nodes.reset(new int32_t[lane.capacity]);
    lane.values.reset(new double[lane.capacity]);
  }
  return result;
}

// The most room a one-lane result for one source takes: a node index and a
// value, 12 bytes, for each node it reaches, and the records that hold them.
inline int64_t ScoreTasks_BytesPerSource(int32_t nodeCount) {
  return int64_t{nodeCount} * 12 + static_cast<int64_t>(sizeof(Contributions) + sizeof(LaneValues));
}

inline void ScoreTasks_Clear(Contributions& out) {
  for (LaneValues& lane : out) lane.size = 0;
}

// Appends the dependencies of source s to out, lane by lane, in the
// reference's pop order; false, with out as it may be part-way, when a path
// count overflowed the double and the values are void.
inline bool AddSource(const FastGraph& fast, int32_t s, FastWorkspace& ws, int32_t shift,
                      Contributions& out, CountWidth counts) {
  Fast_Search(fast, s, SEARCH_PATHS, ws, counts);
  if (out.size() == 1) {
    // One lane, the common case: its ends stay in registers.
    LaneValues& lane = out[0];
    int32_t* nodes = lane.nodes.get();
    double* values = lane.values.get();
    size_t n = lane.size;
    const bool exact = Fast_Accumulate(s, ws, [&](int32_t w, double value) {
      nodes[n] = w;
      values[n] = value;
      ++n;
    });
    lane.size = n;
    return exact;
  }
  return Fast_Accumulate(s, ws, [&](int32_t w, double value) {
    LaneValues& lane = out[static_cast<size_t>(w >> shift)];
    lane.nodes[lane.size] = w;
    lane.values[lane.size] = value;
    ++lane.size;
  });
}

// Appends the dependencies of the sources at positions [begin, end) to out,
// lane by lane, each source's in the reference's pop order: position k is
// source order[k], or source k when order is empty (every source). A source
// whose counts overflow the double is counted again with wide counts, its
// void values dropped first.
inline void ScoreTasks_AddSources(const FastGraph& fast, int64_t begin, int64_t end,
                                  FastWorkspace& ws, int32_t shift, Contributions& out,
                                  std::span<const int32_t> order = {}) {
  std::vector<size_t> marks(out.size());
  for (int64_t s = begin; s < end; ++s) {
    const auto source = order.empty() ? static_cast<int32_t>(s) : order[static_cast<size_t>(s)];
    for (size_t l = 0; l < out.size(); ++l) marks[l] = out[l].size;
    if (AddSource(fast, source, ws, shift, out, COUNTS_DOUBLE)) continue;
    for (size_t l = 0; l < out.size(); ++l) out[l].size = marks[l];
    AddSource(fast, source, ws, shift, out, COUNTS_WIDE);
  }
}

// Adds a lane's values into the scores, in their order: within a lane
// sources fold in ascending order, so every score sees the same additions
// in the same order as a single-threaded run.
inline void ScoreTasks_Fold(const LaneValues& lane, std::vector<double>& scores) {
  for (size_t k = 0; k < lane.size; ++k) {
    double& score = scores[static_cast<size_t>(lane.nodes[k])];
    score = AddOrdered(lane.values[k], score);
  }
}

// The same for the squares of the values, into squares (one per node), for
// the empirical variance of a sampled run.
inline void ScoreTasks_FoldSquares(const LaneValues& lane, std::span<double> squares) {
  for (size_t k = 0; k < lane.size; ++k) {
    double& square = squares[static_cast<size_t>(lane.nodes[k])];
    square = AddOrdered(lane.values[k] * lane.values[k], square);
  }
}
