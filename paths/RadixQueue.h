// A monotone radix queue of (distance, node) entries for searches whose
// lengths are never negative or NaN: then settled distances never decrease,
// so keys are never below the last one taken out. Keys are the distances'
// bit patterns, which order as the values do for such doubles.
//
// Entries are never updated in place: an improved node gets a new entry and
// the old one is dropped when met (lazy deletion). Entries whose key equals
// the current minimum wait in an ordered set of node indices, so that among
// equal distances the lowest index comes first, as the linear scan selects;
// zero lengths keep adding to that set.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "paths/IndexSet.h"

class RadixQueue {
 public:
  // Sized for node indices 0 .. nodeCount-1.
  void Init(int32_t nodeCount) {
    sameAsLast_.Init(nodeCount);
    Clear();
  }

  void Clear() {
    for (uint64_t mask = nonEmpty_; mask != 0; mask &= mask - 1) {
      buckets_[static_cast<size_t>(std::countr_zero(mask))].clear();
    }
    nonEmpty_ = 0;
    while (!sameAsLast_.Empty()) sameAsLast_.PopSmallest();
    last_ = 0;
  }

  void Push(double dist, int32_t node) { Place({std::bit_cast<uint64_t>(dist), node}); }

  // Takes out the entry with the smallest (distance, node) for which
  // isCurrent(node, distanceBits) holds, dropping the others met on the way.
  // Returns -1 when none is left.
  template <class IsCurrent>
  int32_t Pop(IsCurrent&& isCurrent) {
    for (;;) {
      while (!sameAsLast_.Empty()) {
        const int32_t node = sameAsLast_.PopSmallest();
        if (isCurrent(node, last_)) return node;
      }
      if (nonEmpty_ == 0) return -1;
      Refill(isCurrent);
    }
  }

 private:
  struct Entry {
    uint64_t key;
    int32_t node;
  };

  // Bucket b - 1 holds keys whose highest bit differing from last_ is b - 1.
  void Place(const Entry& e) {
    if (e.key == last_) {
      // A node has at most one entry per distance, so a set loses nothing.
      sameAsLast_.Insert(e.node);
      return;
    }
    const auto b = static_cast<size_t>(63 - std::countl_zero(e.key ^ last_));
    buckets_[b].push_back(e);
    nonEmpty_ |= uint64_t{1} << b;
  }

  // Empties the lowest non-empty bucket: its smallest live key becomes last_
  // and its live entries move to lower buckets or the side heap.
  template <class IsCurrent>
  void Refill(IsCurrent& isCurrent) {
    const auto b = static_cast<size_t>(std::countr_zero(nonEmpty_));
    std::vector<Entry>& bucket = buckets_[b];
    size_t live = 0;
    uint64_t smallest = UINT64_MAX;
    for (const Entry& e : bucket) {
      if (!isCurrent(e.node, e.key)) continue;
      bucket[live++] = e;
      smallest = std::min(smallest, e.key);
    }
    nonEmpty_ &= ~(uint64_t{1} << b);
    if (live > 0) {
      last_ = smallest;
      for (size_t i = 0; i < live; ++i) Place(bucket[i]);
    }
    bucket.clear();
  }

  std::array<std::vector<Entry>, 64> buckets_;
  uint64_t nonEmpty_ = 0;
  IndexSet sameAsLast_;  // nodes whose entry has distance last_
  uint64_t last_ = 0;
};
