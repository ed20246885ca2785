#include "paths/FastGraph.h"

#include <numeric>

#include "paths/HugePages.h"

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

// Numbers the nodes: fills nameOf and nodeOf. By locality, the order in
// which a breadth-first walk meets the names, the walk starting anew at the
// lowest name not yet met; forEachNeighbour(i, visit) calls visit(j) for
// the name j of each cell of name i, in cell order. A breadth-first order
// keeps a node's neighbours near it and near each other, which is what a
// search reads together.
template <class ForEachNeighbour>
void Number(FastGraph& fast, FastNumbering numbering, ForEachNeighbour&& forEachNeighbour) {
  const auto n = static_cast<size_t>(fast.nodeCount);
  fast.nameOf.resize(n);
  fast.nodeOf.assign(n, -1);
  if (numbering == FAST_BY_NAME) {
    std::iota(fast.nameOf.begin(), fast.nameOf.end(), 0);
    std::iota(fast.nodeOf.begin(), fast.nodeOf.end(), 0);
    return;
  }
  int32_t* nodeOf = fast.nodeOf.data();
  int32_t* nameOf = fast.nameOf.data();
  int32_t met = 0;
  for (int32_t root = 0; root < fast.nodeCount; ++root) {
    if (nodeOf[root] >= 0) continue;
    nameOf[met] = root;
    nodeOf[root] = met++;
    for (int32_t next = nodeOf[root]; next < met; ++next) {
      forEachNeighbour(nameOf[next], [&](int32_t j) {
        if (nodeOf[j] >= 0) return;
        nameOf[met] = j;
        nodeOf[j] = met++;
      });
    }
  }
}

// offsets from each node's cell count, the nodes numbered.
void SetOffsets(FastGraph& fast, const std::vector<uint64_t>& cellsOfName) {
  const auto n = static_cast<size_t>(fast.nodeCount);
  HugePages_Assign(fast.offsets, n + 1, uint64_t{0});
  for (size_t u = 0; u < n; ++u) {
    fast.offsets[u + 1] = fast.offsets[u] + cellsOfName[static_cast<size_t>(fast.nameOf[u])];
  }
  HugePages_Assign(fast.cells, fast.offsets[n], FastCell{});
}

}  // namespace

FastGraph FastGraph_Build(const EdgeGraph& graph, LengthRule rule, FastNumbering numbering) {
  FastGraph fast;
  fast.nodeCount = graph.nameCount;
  const auto n = static_cast<size_t>(graph.nameCount);
  Number(fast, numbering, [&](int32_t i, auto&& visit) {
    for (const List_Cell* c = graph.heads[i]; c != nullptr; c = c->next) visit(c->node);
  });
  std::vector<uint64_t> degree(n, 0);
  for (size_t i = 0; i < n; ++i) {
    for (const List_Cell* c = graph.heads[i]; c != nullptr; c = c->next) ++degree[i];
  }
  SetOffsets(fast, degree);
  for (size_t u = 0; u < n; ++u) {
    uint64_t k = fast.offsets[u];
    for (const List_Cell* c = graph.heads[fast.nameOf[u]]; c != nullptr; c = c->next, ++k) {
      fast.cells[k] = FastCell{CellLength(c->weight, rule), fast.nodeOf[c->node], c->node};
    }
  }
  DescribeCells(fast);
  return fast;
}

FastGraph FastGraph_FromEdges(const EdgeList& edges, LengthRule rule, FastNumbering numbering) {
  FastGraph fast;
  fast.nodeCount = edges.NodeCount();
  const auto n = static_cast<size_t>(fast.nodeCount);
  const size_t m = edges.EdgeCount();
  const int32_t* ends = edges.ends.data();
  // Each name's cells from its last line back to its first, and of one line
  // its first end's cell first: walking the lines backwards lays them out so.
  // (The two cells of a self-loop are the same.)
  auto forEachLineBackwards = [&](auto&& take) {
    for (size_t e = m; e-- > 0;) take(ends[2 * e], ends[2 * e + 1], e);
  };
  std::vector<uint64_t> degree(n, 0);
  for (size_t e = 0; e < 2 * m; ++e) degree[static_cast<size_t>(ends[e])] += 1;
  if (numbering == FAST_BY_LOCALITY) {
    // The walk needs each name's neighbours: a list of them by name, for now.
    std::vector<uint64_t> first(n + 1, 0);
    for (size_t i = 0; i < n; ++i) first[i + 1] = first[i] + degree[i];
    std::vector<int32_t> neighbours(first[n]);
    std::vector<uint64_t> next(first.begin(), first.end() - 1);
    forEachLineBackwards([&](int32_t a, int32_t b, size_t) {
      neighbours[next[static_cast<size_t>(a)]++] = b;
      neighbours[next[static_cast<size_t>(b)]++] = a;
    });
    Number(fast, numbering, [&](int32_t i, auto&& visit) {
      const auto at = static_cast<size_t>(i);
      for (uint64_t k = first[at]; k < first[at + 1]; ++k) visit(neighbours[k]);
    });
  } else {
    Number(fast, numbering, [](int32_t, auto&&) {});
  }
  SetOffsets(fast, degree);
  std::vector<uint64_t> next(fast.offsets.begin(), fast.offsets.end() - 1);
  const int32_t* nodeOf = fast.nodeOf.data();
  forEachLineBackwards([&](int32_t a, int32_t b, size_t e) {
    const double length = CellLength(edges.weights[e], rule);
    const int32_t ua = nodeOf[a], ub = nodeOf[b];
    fast.cells[next[static_cast<size_t>(ua)]++] = FastCell{length, ub, b};
    fast.cells[next[static_cast<size_t>(ub)]++] = FastCell{length, ua, a};
  });
  DescribeCells(fast);
  return fast;
}
