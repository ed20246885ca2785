// A monotone radix queue of (distance, node) entries for searches whose
// lengths are never negative or NaN; a model of SelectionQueue. In such
// searches settled distances never decrease, so keys are never below the
// last one taken out. Keys are the distances' bit patterns, which order as
// the values do for such doubles.
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
#include "paths/SelectionQueue.h"

class RadixQueue {
 public:
  // Sized for node indices 0 .. nodeCount-1.
  void Init(int32_t nodeCount) {
    sameAsLast_.Init(nodeCount);
    Clear();
  }

  void Clear() {
    for (uint32_t levels = levelMask_; levels != 0; levels &= levels - 1) {
      const auto level = static_cast<size_t>(std::countr_zero(levels));
      for (uint32_t digits = digitMask_[level]; digits != 0; digits &= digits - 1) {
        buckets_[level * kDigits + static_cast<size_t>(std::countr_zero(digits))].clear();
      }
      digitMask_[level] = 0;
    }
    levelMask_ = 0;
    while (!sameAsLast_.Empty()) sameAsLast_.PopSmallest();
    lone_ = kNone;
    last_ = 0;
  }

  void Push(double dist, int32_t node) { Place({std::bit_cast<uint64_t>(dist), node}); }

  // Takes out the entry with the smallest (distance, node) for which
  // isCurrent(node, distanceBits) holds, dropping the others met on the way.
  // Returns -1 when none is left. fetchAhead(node) is told of each current
  // entry of a bucket being emptied: those come out soon.
  template <class IsCurrent, class FetchAhead>
  int32_t Pop(IsCurrent&& isCurrent, FetchAhead&& fetchAhead) {
    for (;;) {
      if (lone_ != kNone) {
        const int32_t node = lone_;
        lone_ = kNone;
        if (isCurrent(node, last_)) return node;
      }
      while (!sameAsLast_.Empty()) {
        const int32_t node = sameAsLast_.PopSmallest();
        if (isCurrent(node, last_)) return node;
      }
      if (levelMask_ == 0) return kNone;
      Refill(isCurrent, fetchAhead);
    }
  }

 private:
  // Twelve bytes, not sixteen: wide frontiers leave millions of entries
  // waiting, a search's largest share of memory.
  struct [[gnu::packed]] Entry {
    uint64_t key;
    int32_t node;
  };
  static_assert(sizeof(Entry) == 12);
  static constexpr int32_t kNone = -1;

  // Keys are split into 16 four-bit digits. A key other than last_ goes to
  // the bucket of the highest digit in which it differs from last_, and of
  // its value in that digit; all keys of a bucket thus exceed all keys of
  // the buckets before it in (level, digit) order.
  static constexpr size_t kDigitBits = 4;
  static constexpr size_t kDigits = size_t{1} << kDigitBits;
  static constexpr size_t kLevels = 64 / kDigitBits;

  void Place(const Entry& e) {
    if (e.key == last_) {
      // Mostly a distance is held by one node: it waits in lone_ and needs
      // the ordered set only once a second node joins it. A node has at most
      // one entry per distance, so a set loses nothing.
      if (lone_ == kNone && sameAsLast_.Empty()) {
        lone_ = e.node;
        return;
      }
      if (lone_ != kNone) {
        sameAsLast_.Insert(lone_);
        lone_ = kNone;
      }
      sameAsLast_.Insert(e.node);
      return;
    }
    const auto level = static_cast<size_t>(63 - std::countl_zero(e.key ^ last_)) / kDigitBits;
    const auto digit = static_cast<size_t>(e.key >> (level * kDigitBits)) & (kDigits - 1);
    buckets_[level * kDigits + digit].push_back(e);
    levelMask_ |= uint32_t{1} << level;
    digitMask_[level] |= uint32_t{1} << digit;
  }

  // Empties the first non-empty bucket: its smallest live key becomes last_,
  // and its live entries, which agree with that key above the bucket's
  // level, move to lower levels or to the side set.
  template <class IsCurrent, class FetchAhead>
  void Refill(IsCurrent& isCurrent, FetchAhead& fetchAhead) {
    const auto level = static_cast<size_t>(std::countr_zero(levelMask_));
    const auto digit = static_cast<size_t>(std::countr_zero(digitMask_[level]));
    std::vector<Entry>& bucket = buckets_[level * kDigits + digit];
    digitMask_[level] &= digitMask_[level] - 1;
    if (digitMask_[level] == 0) levelMask_ &= levelMask_ - 1;
    size_t live = 0;
    uint64_t smallest = UINT64_MAX;
    for (const Entry& e : bucket) {
      if (!isCurrent(e.node, e.key)) continue;
      fetchAhead(e.node);
      bucket[live++] = e;
      const uint64_t key = e.key;  // a copy: packed members take no reference
      if (key < smallest) smallest = key;
    }
    if (live > 0) {
      last_ = smallest;
      for (size_t i = 0; i < live; ++i) Place(bucket[i]);
    }
    bucket.clear();
  }

  std::array<std::vector<Entry>, kLevels * kDigits> buckets_;
  uint32_t levelMask_ = 0;                   // levels with a non-empty bucket
  std::array<uint32_t, kLevels> digitMask_{};  // per level, digits with entries
  // The nodes whose entry has distance last_: a lone one, or the set.
  int32_t lone_ = kNone;
  IndexSet sameAsLast_;
  uint64_t last_ = 0;
};

static_assert(SelectionQueue<RadixQueue>);
