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
// input can choose names that collide. A slot of the table holds a short
// name whole, so that a look-up of one touches nothing but its slot.
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
  // A name's slot: its code, its index (-1: empty) and its head, the name's
  // bytes when it has at most kInlineBytes of them and its length above
  // (so the head is the name), or else its first kInlineBytes bytes and a
  // mark. Growth rehashes nothing: the code is kept.
  struct Slot {
    uint64_t head;
    uint32_t code;
    int32_t id;
  };
  static constexpr size_t kInlineBytes = 7;

  static uint64_t HeadOf(std::string_view name);
  void Grow();

  int32_t capacity_;
  Hash_Key key_;
  EdgeList list_;
  std::vector<Slot> slots_;  // open addressing, at most half full
  uint32_t mask_ = 0;
  int32_t count_ = 0;
};

// Frees the edges, keeping the names: once a run has its compressed graph,
// the lines only take memory.
void EdgeList_DropEdges(EdgeList& edges);

// Reads settings.inputPath as EdgeGraph_Load does, by the same rules and
// with the same messages, into an EdgeList: the same names, the same index
// of each and the kept lines in file order. Throws RunError as it does, and
// std::bad_alloc when memory runs out.
EdgeList EdgeList_Read(const RunSettings& settings);
