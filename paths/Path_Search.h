// The reference single-source search: nearest-first, selecting by a full
// linear scan of the node range after every settlement, with predecessor and
// settle-stack cells allocated one by one. Slow (quadratic per source) but
// the definition of every result; the fast engine is tested against it.
#pragma once

#include <cstdint>
#include <vector>

#include "containers/Adj_list.h"
#include "containers/Stack.h"
#include "graph/EdgeGraph.h"
#include "paths/SearchTerms.h"

// Working data of one search. Path counts are doubles: they equal the 32-bit
// counts wherever those do not overflow and stay exact up to 2^53.
struct SourcePass {
  std::vector<int32_t> settled;
  std::vector<double> dist;
  std::vector<double> delta;
  std::vector<double> sigma;
  std::vector<List_Cell*> preds;
  Stack_Cell* stack = nullptr;

  SourcePass() = default;
  SourcePass(const SourcePass&) = delete;
  SourcePass& operator=(const SourcePass&) = delete;
  ~SourcePass();
};

// Searches from source s over node indices 0 .. range-1 and leaves the
// result in pass (sized here). Path mode also counts paths, records
// predecessor lists (most recent first) and pushes each settled node on the
// stack. Requires 0 <= s < range and every neighbour index below range.
void Path_Search(const EdgeGraph& graph, int32_t range, int32_t s, SearchMode mode,
                 LengthRule rule, SourcePass& pass);
