// Selects nodes in exactly the order of the reference's linear scan, for any
// distances: negative, NaN and the UNREACHED sentinel included, in
// logarithmic time per operation.
//
// The scan takes its first candidate (the lowest index) whatever distance it
// holds, then a later one only on a strictly smaller distance. So when the
// lowest-index candidate holds NaN it is chosen, and otherwise the smallest
// (distance, index) among the candidates that are not NaN. Candidates are
// the reached, unsettled nodes whose distance is not UNREACHED: an ordered
// set holds them all, a heap those that are not NaN. The indices are the
// ones the scan walks: name indices, whatever the graph's numbering.
#pragma once

#include <cstdint>
#include <vector>

#include "paths/IndexSet.h"
#include "paths/SearchTerms.h"

class ScanQueue {
 public:
  void Init(int32_t nodeCount) {
    candidates_.Init(nodeCount);
    position_.assign(static_cast<size_t>(nodeCount), kAbsent);
    heap_.clear();
  }

  // The node count Init sized the queue for; 0 before any.
  int32_t Bound() const { return static_cast<int32_t>(position_.size()); }

  // An unsettled node's distance changed to now; it was a candidate unless
  // its distance was UNREACHED.
  void Update(int32_t v, bool wasCandidate, double now) {
    if (wasCandidate) Remove(v);
    if (now == UNREACHED) return;
    candidates_.Insert(v);
    if (now == now) HeapInsert({now, v});
  }

  // Takes out the node the scan would select, or returns -1 when no
  // candidate is left. distOf(v) gives v's current distance.
  template <class DistOf>
  int32_t Pop(DistOf&& distOf) {
    if (candidates_.Empty()) return -1;
    const int32_t first = candidates_.Smallest();
    const double d = distOf(first);
    const int32_t chosen = d != d ? first : heap_[0].node;
    Remove(chosen);
    return chosen;
  }

 private:
  struct Entry {
    double key;
    int32_t node;
  };
  static constexpr int32_t kAbsent = -1;

  static bool Before(const Entry& a, const Entry& b) {
    return a.key < b.key || (a.key == b.key && a.node < b.node);
  }

  void Remove(int32_t v) {
    candidates_.Erase(v);
    const int32_t at = position_[static_cast<size_t>(v)];
    if (at == kAbsent) return;
    position_[static_cast<size_t>(v)] = kAbsent;
    const Entry last = heap_.back();
    heap_.pop_back();
    if (static_cast<size_t>(at) == heap_.size()) return;
    Place(static_cast<size_t>(at), last);
    SiftUp(static_cast<size_t>(at));
    SiftDown(static_cast<size_t>(position_[static_cast<size_t>(last.node)]));
  }

  void HeapInsert(const Entry& e) {
    heap_.push_back(e);
    Place(heap_.size() - 1, e);
    SiftUp(heap_.size() - 1);
  }

  void Place(size_t at, const Entry& e) {
    heap_[at] = e;
    position_[static_cast<size_t>(e.node)] = static_cast<int32_t>(at);
  }

  void SiftUp(size_t at) {
    const Entry e = heap_[at];
    while (at > 0) {
      const size_t parent = (at - 1) / 2;
      if (!Before(e, heap_[parent])) break;
      Place(at, heap_[parent]);
      at = parent;
    }
    Place(at, e);
  }

  void SiftDown(size_t at) {
    const Entry e = heap_[at];
    for (;;) {
      size_t best = at * 2 + 1;
      if (best >= heap_.size()) break;
      if (best + 1 < heap_.size() && Before(heap_[best + 1], heap_[best])) best += 1;
      if (!Before(heap_[best], e)) break;
      Place(at, heap_[best]);
      at = best;
    }
    Place(at, e);
  }

  IndexSet candidates_;
  std::vector<int32_t> position_;  // heap slot of each node, or kAbsent
  std::vector<Entry> heap_;
};
