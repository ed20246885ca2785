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
#include "paths/WideCount.h"

// Working data of one search. Path counts are doubles: they equal the 32-bit
// counts wherever those do not overflow and stay exact up to 2^53. Counted
// COUNTS_WIDE, sigma holds the mantissas of wide counts and sigmaExponent
// their exponents.
struct SourcePass {
  std::vector<int32_t> settled;
  std::vector<double> dist;
  std::vector<double> delta;
  std::vector<double> sigma;
  std::vector<int64_t> sigmaExponent;
  CountWidth counts = COUNTS_DOUBLE;  // as the last search held them
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
// stack, holding counts as counts says. Requires 0 <= s < range and every
// neighbour index below range.
void Path_Search(const EdgeGraph& graph, int32_t range, int32_t s, SearchMode mode,
                 LengthRule rule, SourcePass& pass, CountWidth counts = COUNTS_DOUBLE);

// After a path-mode search with COUNTS_DOUBLE: true when some settled node's
// count overflowed to infinity. Such a source is searched again with
// COUNTS_WIDE before its counts are used; the fast engine follows the same
// rule, so both redo the same sources.
bool Path_CountsOverflowed(const SourcePass& pass);

// Node v's count after a COUNTS_WIDE search.
inline WideCount Path_WideCount(const SourcePass& pass, int32_t v) {
  const auto at = static_cast<size_t>(v);
  return WideCount{pass.sigma[at], pass.sigmaExponent[at]};
}
