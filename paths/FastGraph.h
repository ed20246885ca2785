// Compressed adjacency arrays built once from a loaded graph. Every list
// keeps its cell order, which fixes predecessor order and the order of
// floating-point additions, so results match the linked lists exactly.
//
// The arrays number the nodes their own way, for locality: nodes close in
// the graph sit close in memory, so a search's reads of a node's neighbours
// fall on few cache lines. The name indices stay what the results are
// about: the queues break ties between equal distances by name index, and
// the engine takes and hands out name indices only.
#pragma once

#include <cstdint>
#include <vector>

#include "graph/EdgeGraph.h"
#include "graph/EdgeList.h"
#include "paths/SearchTerms.h"

// One cell: the neighbour and the edge length under the length rule, side
// by side so that a relaxation reads one record, and the neighbour's name
// index, the key that orders it among nodes of equal distance.
struct FastCell {
  double length;
  int32_t target;  // the neighbour, in the graph's numbering
  int32_t key;     // the neighbour's name index
};

enum : uint8_t {
  kCellsDistinct = 0,  // no self-loop, no neighbour twice
  kCellsRepeated = 1,  // no self-loop, some neighbour twice
  kCellsSelfLoop = 2,  // some cell leads back to the node
};

// How the builders number the nodes. FAST_BY_LOCALITY: breadth first, each
// component from its lowest name index on, neighbours in cell order. FAST_BY_NAME:
// node i is name i (tests use it to compare the two numberings).
enum FastNumbering { FAST_BY_LOCALITY, FAST_BY_NAME };

struct FastGraph {
  int32_t nodeCount = 0;           // nodes 0 .. nodeCount-1, one per name
  std::vector<uint64_t> offsets;   // nodeCount + 1; cells of u: offsets[u] .. offsets[u+1]-1
  std::vector<FastCell> cells;
  // How each node's cells may be relaxed: kCellsDistinct when they lead to
  // distinct other nodes, so no cell sees another's effect.
  std::vector<uint8_t> cellShape;
  // True when every length is >= 0 and not NaN: then a heap keyed on
  // (distance, name index) settles nodes in the linear scan's order.
  bool heapOrderSafe = true;
  std::vector<int32_t> nameOf;  // per node, its name index
  std::vector<int32_t> nodeOf;  // per name index, its node
};

// From the reference loader's lists, each name's cells in list order.
FastGraph FastGraph_Build(const EdgeGraph& graph, LengthRule rule,
                          FastNumbering numbering = FAST_BY_LOCALITY);

// From an edge list, with the cells the lists of the same lines would hold:
// each name's cells from its last line back to its first, and of one line
// the cell of its first end before that of its second. The same graph as
// FastGraph_Build over EdgeGraph_Load of the same file.
FastGraph FastGraph_FromEdges(const EdgeList& edges, LengthRule rule,
                              FastNumbering numbering = FAST_BY_LOCALITY);
