#include "paths/FastGraph.h"

FastGraph FastGraph_Build(const EdgeGraph& graph, LengthRule rule) {
  FastGraph fast;
  fast.nodeCount = graph.nameCount;
  const auto n = static_cast<size_t>(graph.nameCount);
  fast.offsets.assign(n + 1, 0);
  for (size_t u = 0; u < n; ++u) {
    uint64_t degree = 0;
    for (const List_Cell* c = graph.heads[u]; c != nullptr; c = c->next) ++degree;
    fast.offsets[u + 1] = fast.offsets[u] + degree;
  }
  fast.cells.resize(fast.offsets[n]);
  fast.selfLoop.assign(n, 0);
  for (size_t u = 0; u < n; ++u) {
    uint64_t k = fast.offsets[u];
    for (const List_Cell* c = graph.heads[u]; c != nullptr; c = c->next, ++k) {
      const double length = CellLength(c->weight, rule);
      fast.cells[k] = FastCell{length, c->node};
      if (c->node == static_cast<int32_t>(u)) fast.selfLoop[u] = 1;
      if (!(length >= 0.0)) fast.heapOrderSafe = false;
    }
  }
  return fast;
}
