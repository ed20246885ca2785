#include "paths/FastGraph.h"

namespace {

// Sets cellShape and heapOrderSafe from the cells.
void DescribeCells(FastGraph& fast) {
  const auto n = static_cast<size_t>(fast.nodeCount);
  fast.cellShape.assign(n, kCellsDistinct);
  fast.heapOrderSafe = true;
  std::vector<uint64_t> seenFrom(n, UINT64_MAX);  // the last node whose cells showed each target
  for (size_t u = 0; u < n; ++u) {
    for (uint64_t k = fast.offsets[u]; k < fast.offsets[u + 1]; ++k) {
      const FastCell& cell = fast.cells[k];
      const auto v = static_cast<size_t>(cell.target);
      if (v == u) {
        fast.cellShape[u] = kCellsSelfLoop;
      } else if (seenFrom[v] == u && fast.cellShape[u] == kCellsDistinct) {
        fast.cellShape[u] = kCellsRepeated;
      }
      seenFrom[v] = u;
      if (!(cell.length >= 0.0)) fast.heapOrderSafe = false;
    }
  }
}

}  // namespace

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
  for (size_t u = 0; u < n; ++u) {
    uint64_t k = fast.offsets[u];
    for (const List_Cell* c = graph.heads[u]; c != nullptr; c = c->next, ++k) {
      fast.cells[k] = FastCell{CellLength(c->weight, rule), c->node};
    }
  }
  DescribeCells(fast);
  return fast;
}

FastGraph FastGraph_FromEdges(const EdgeList& edges, LengthRule rule) {
  FastGraph fast;
  fast.nodeCount = edges.NodeCount();
  const auto n = static_cast<size_t>(fast.nodeCount);
  const size_t m = edges.EdgeCount();
  const int32_t* ends = edges.ends.data();
  fast.offsets.assign(n + 1, 0);
  for (size_t e = 0; e < 2 * m; ++e) fast.offsets[static_cast<size_t>(ends[e]) + 1] += 1;
  for (size_t u = 0; u < n; ++u) fast.offsets[u + 1] += fast.offsets[u];
  fast.cells.resize(fast.offsets[n]);
  // A list meets its lines from the last back to the first, so the lines
  // are laid out backwards. (The two cells of a self-loop are the same.)
  std::vector<uint64_t> next(fast.offsets.begin(), fast.offsets.end() - 1);
  for (size_t e = m; e-- > 0;) {
    const int32_t a = ends[2 * e];
    const int32_t b = ends[2 * e + 1];
    const double length = CellLength(edges.weights[e], rule);
    fast.cells[next[static_cast<size_t>(a)]++] = FastCell{length, b};
    fast.cells[next[static_cast<size_t>(b)]++] = FastCell{length, a};
  }
  DescribeCells(fast);
  return fast;
}
