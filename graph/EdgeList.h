// A graph as its lines: node names in order of first appearance and, for
// each line kept, its two ends and its weight as read. Every front door
// (the programs' files, other formats, arrays handed over by a caller)
// makes one, and the compressed graph the engines search is built from it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "containers/hash.h"
#include "graph/NameList.h"
#include "graph/RunSettings.h"

struct EdgeList {
  NameList names;
  std::vector<int32_t> ends;    // edge e joins ends[2e] and ends[2e+1]
  std::vector<double> weights;  // edge e's weight, as read
  uint64_t inputSize = 0;       // bytes read from the input, when read from one
  uint64_t inputHash = 0;       // ByteHash of those bytes: names the content

  int32_t NodeCount() const { return names.Count(); }
  size_t EdgeCount() const { return weights.size(); }
};

// Builds an EdgeList name by name: each new name takes the next index. The
// table that finds a name's index is keyed afresh in every process, so no
// input can choose names that collide.
class EdgeListBuilder {
 public:
  // At most capacity distinct names (at most 2^31 - 1).
  explicit EdgeListBuilder(int32_t capacity = INT32_MAX);

  // The index of name; a new name takes the next one. -1 when the name is
  // new and the capacity is reached (nothing is added then).
  int32_t Intern(std::string_view name);

  // Appends the edge a-b with weight w; a and b are indices Intern gave.
  void AddEdge(int32_t a, int32_t b, double w) {
    list_.ends.push_back(a);
    list_.ends.push_back(b);
    list_.weights.push_back(w);
  }

  // The list built, with the input's size and hash when it came from one.
  EdgeList Finish(uint64_t inputSize = 0, uint64_t inputHash = 0);

 private:
  uint32_t CodeOf(std::string_view name) const;
  void Grow();

  int32_t capacity_;
  Hash_Key key_;
  EdgeList list_;
  std::vector<uint32_t> codes_;  // per name, its code: growth rehashes nothing
  std::vector<int32_t> slots_;   // open addressing: a name's index, or -1
  uint32_t mask_ = 0;
};

// Frees the edges, keeping the names: once a run has its compressed graph,
// the lines only take memory.
void EdgeList_DropEdges(EdgeList& edges);

// Reads settings.inputPath as EdgeGraph_Load does, by the same rules and
// with the same messages, into an EdgeList: the same names, the same index
// of each and the kept lines in file order. Throws RunError as it does, and
// std::bad_alloc when memory runs out.
EdgeList EdgeList_Read(const RunSettings& settings);
