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
  const int32_t u = graph.nodeOf[static_cast<size_t>(s)];
  NodeState& su = ws.state[static_cast<size_t>(u)];
  su.dist = 0.0;
  su.predHead = -1;
  if (counts == COUNTS_WIDE) {
    FastPolicy_ScanWide(graph, u, ws);
    return;
  }
  if (mode == SEARCH_PATHS) su.sigma = 1.0;
  if (graph.heapOrderSafe) {
    FastPolicy_Frontier(graph, u, mode, ws);
  } else {
    FastPolicy_Scan(graph, u, mode, ws);
  }
}

std::vector<int32_t> Fast_SettleOrder(const FastGraph& graph, const FastWorkspace& ws) {
  std::vector<int32_t> names(ws.order.size());
  for (size_t i = 0; i < names.size(); ++i) {
    names[i] = graph.nameOf[static_cast<size_t>(ws.order[i])];
  }
  return names;
}

const std::vector<int32_t>& Fast_RowsFrom(const FastGraph& graph, int32_t from, FastWorkspace& ws) {
  std::vector<int32_t>& rows = ws.rows;
  rows.clear();
  const size_t above = static_cast<size_t>(graph.nodeCount - from);
  // Sorting the few reached nodes beats a sweep when the source reaches
  // little of the graph; otherwise the sweep is cheaper.
  if (ws.order.size() * 16 < above) {
    for (const int32_t v : ws.order) {
      const int32_t name = graph.nameOf[static_cast<size_t>(v)];
      if (name >= from) rows.push_back(name);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  for (int32_t name = from; name < graph.nodeCount; ++name) {
    if (Fast_Settled(graph, ws, name)) rows.push_back(name);
  }
  return rows;
}
