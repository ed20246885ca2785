// Compressed adjacency arrays built once from a loaded graph. Every list
// keeps its cell order, which fixes predecessor order and the order of
// floating-point additions, so results match the linked lists exactly.
#pragma once

#include <cstdint>
#include <vector>

#include "graph/EdgeGraph.h"
#include "graph/EdgeList.h"
#include "paths/SearchTerms.h"

// One cell: the neighbour and the edge length under the length rule, side
// by side so that a relaxation reads one record.
struct FastCell {
  double length;
  int32_t target;
};

enum : uint8_t {
  kCellsDistinct = 0,  // no self-loop, no neighbour twice
  kCellsRepeated = 1,  // no self-loop, some neighbour twice
  kCellsSelfLoop = 2,  // some cell leads back to the node
};

struct FastGraph {
  int32_t nodeCount = 0;           // the named indices 0 .. nodeCount-1
  std::vector<uint64_t> offsets;   // nodeCount + 1; cells of u: offsets[u] .. offsets[u+1]-1
  std::vector<FastCell> cells;
  // How each node's cells may be relaxed: kCellsDistinct when they lead to
  // distinct other nodes, so no cell sees another's effect.
  std::vector<uint8_t> cellShape;
  // True when every length is >= 0 and not NaN: then a heap keyed on
  // (distance, index) settles nodes in the linear scan's order.
  bool heapOrderSafe = true;
};

// From the reference loader's lists, each node's cells in list order.
FastGraph FastGraph_Build(const EdgeGraph& graph, LengthRule rule);

// From an edge list, with the cells the lists of the same lines would hold:
// each node's cells from its last line back to its first, and of one line
// the cell of its first end before that of its second. The same graph as
// FastGraph_Build over EdgeGraph_Load of the same file.
FastGraph FastGraph_FromEdges(const EdgeList& edges, LengthRule rule);
