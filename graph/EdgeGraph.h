// The loaded graph: dense node indices in order of first appearance, one
// name slot per index, and one adjacency list per index holding two cells per
// loaded line, each with the line's weight as read. Only names that occur get storage: indices from nameCount up
// to nodeCapacity - 1 read as the empty name with an empty list.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "containers/Adj_list.h"
#include "containers/hash.h"
#include "graph/RunError.h"
#include "graph/RunSettings.h"

struct HashStoreDeleter {
  void operator()(Hash_Store* table) const;
};

// Fixed-width name slots of slotWidth bytes, one per named index.
struct NameTable {
  int slotWidth = 1;
  std::vector<char> slots;
  std::vector<uint32_t> lengths;  // kept so printing needs no strlen
};

struct EdgeGraph {
  int32_t nodeCapacity = 0;
  int32_t nameCount = 0;
  NameTable names;
  std::vector<List_Cell*> heads;  // nameCount heads; cells owned here
  std::unique_ptr<Hash_Store, HashStoreDeleter> index;
  uint64_t inputSize = 0;  // bytes read from the input
  uint64_t inputHash = 0;  // ByteHash of those bytes: names the content

  EdgeGraph() = default;
  EdgeGraph(EdgeGraph&&) = default;
  EdgeGraph& operator=(EdgeGraph&&) = delete;
  EdgeGraph(const EdgeGraph&) = delete;
  EdgeGraph& operator=(const EdgeGraph&) = delete;
  ~EdgeGraph();
};

// Name of node i; the empty name for indices no name received.
std::string_view EdgeGraph_Name(const EdgeGraph& graph, int32_t i);

// Frees the adjacency lists and the name index, keeping the names: once a
// run has its compressed copy of the graph, the lists (some 40 bytes a
// cell) only take memory. Heads then read as empty.
void EdgeGraph_DropAdjacency(EdgeGraph& graph);

// Head of node i's adjacency list (most recent line first); empty beyond
// the named indices.
inline const List_Cell* EdgeGraph_Head(const EdgeGraph& graph, int32_t i) {
  return static_cast<size_t>(i) < graph.heads.size() ? graph.heads[static_cast<size_t>(i)] : nullptr;
}

// Reads settings.inputPath line by line and builds the graph under the
// settings' name width, capacity and edge filter; cells hold the weights as
// read. Each line is
// read whole; lines of white space only are skipped; a NUL ends a line's
// content. Throws RunError (status 1) naming the file, and the line where one
// applies, for: a file that cannot be opened or read, a line without two
// names and a weight, a name longer than the name width, or more distinct
// names than the capacity. Throws std::bad_alloc when memory runs out.
EdgeGraph EdgeGraph_Load(const RunSettings& settings);
