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
  fast.cellShape.assign(n, kCellsDistinct);
  std::vector<uint64_t> seenFrom(n, UINT64_MAX);  // the last node whose list showed each target
  for (size_t u = 0; u < n; ++u) {
    uint64_t k = fast.offsets[u];
    for (const List_Cell* c = graph.heads[u]; c != nullptr; c = c->next, ++k) {
      const double length = CellLength(c->weight, rule);
      fast.cells[k] = FastCell{length, c->node};
      const auto v = static_cast<size_t>(c->node);
      if (v == u) {
        fast.cellShape[u] = kCellsSelfLoop;
      } else if (seenFrom[v] == u && fast.cellShape[u] == kCellsDistinct) {
        fast.cellShape[u] = kCellsRepeated;
      }
      seenFrom[v] = u;
      if (!(length >= 0.0)) fast.heapOrderSafe = false;
    }
  }
  return fast;
}
