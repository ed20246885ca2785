#include "paths/FastEngine.h"

#include <algorithm>
#include <cassert>

#include "paths/FastPolicies.h"

void Fast_Search(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws,
                 CountWidth counts) {
  assert(0 <= s && s < graph.nodeCount);
  assert(mode == SEARCH_PATHS || counts == COUNTS_DOUBLE);
  FastWorkspace_Reset(ws);
  ws.counts = counts;
  ws.state[s].dist = 0.0;
  ws.state[s].predHead = -1;
  if (counts == COUNTS_WIDE) {
    FastPolicy_ScanWide(graph, s, ws);
    return;
  }
  if (mode == SEARCH_PATHS) ws.state[s].sigma = 1.0;
  if (graph.heapOrderSafe) {
    FastPolicy_Frontier(graph, s, mode, ws);
  } else {
    FastPolicy_Scan(graph, s, mode, ws);
  }
}

const std::vector<int32_t>& Fast_RowsFrom(const FastGraph& graph, int32_t from, FastWorkspace& ws) {
  std::vector<int32_t>& rows = ws.rows;
  rows.clear();
  const size_t above = static_cast<size_t>(graph.nodeCount - from);
  // Sorting the few reached nodes beats a sweep when the source reaches
  // little of the graph; otherwise the sweep is cheaper.
  if (ws.order.size() * 16 < above) {
    for (const int32_t v : ws.order) {
      if (v >= from) rows.push_back(v);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  for (int32_t v = from; v < graph.nodeCount; ++v) {
    if (ws.state[v].phase == kSettled) rows.push_back(v);
  }
  return rows;
}
