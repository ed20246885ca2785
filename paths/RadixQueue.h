// A monotone radix queue of (distance, key, node) entries for searches whose
// lengths are never negative or NaN; a model of SelectionQueue. In such
// searches settled distances never decrease, so distances are never below
// the last one taken out. They are held as their bit patterns, which order
// as the values do for such doubles.
//
// Entries are never updated in place: an improved node gets a new entry and
// the old one is dropped when met (lazy deletion). The entries at the
// current minimum distance form a group, handed out by key, as the linear
// scan selects among equal distances. Where many nodes share distances (as
// with integer weights) a group holds hundreds, and its order is known
// before its nodes come out: Ahead(k) names them, so that a search can fetch
// what they will need while it works on the present one.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <functional>
#include <vector>

#include "paths/SelectionQueue.h"

class RadixQueue {
 public:
  // Nothing in the queue depends on the node count: it holds what it is given.
  void Init(int32_t = 0) { Clear(); }

  void Clear() {
    for (uint32_t levels = levelMask_; levels != 0; levels &= levels - 1) {
      const auto level = static_cast<size_t>(std::countr_zero(levels));
      for (uint32_t digits = digitMask_[level]; digits != 0; digits &= digits - 1) {
        buckets_[level * kDigits + static_cast<size_t>(std::countr_zero(digits))].clear();
      }
      digitMask_[level] = 0;
    }
    levelMask_ = 0;
    group_.clear();
    next_ = 0;
    late_.clear();
    last_ = 0;
  }

  void Push(double dist, int32_t node, int32_t key) {
    Place({std::bit_cast<uint64_t>(dist), node, key});
  }

  // Takes out the entry with the smallest (distance, key) for which
  // isCurrent(node, distanceBits) holds, dropping the others met on the way.
  // Returns -1 when none is left. fetchAhead(node) is told of each current
  // entry of a bucket being emptied: those come out soon.
  template <class IsCurrent, class FetchAhead>
  int32_t Pop(IsCurrent&& isCurrent, FetchAhead&& fetchAhead) {
    for (;;) {
      while (next_ < group_.size() || !late_.empty()) {
        const int32_t node = NodeOf(TakeSmallest());
        if (isCurrent(node, last_)) return node;
      }
      group_.clear();
      next_ = 0;
      if (levelMask_ == 0) return kNone;
      Refill(isCurrent, fetchAhead);
    }
  }

  // The node k places after the one Pop returned last, among those of its
  // group known so far, or -1. A hint: it may have been improved since.
  int32_t Ahead(size_t k) const {
    return next_ + k - 1 < group_.size() ? NodeOf(group_[next_ + k - 1]) : kNone;
  }

 private:
  struct Entry {
    uint64_t bits;  // the distance's
    int32_t node;
    int32_t key;
  };
  static constexpr int32_t kNone = -1;

  // Distance bits are split into 16 four-bit digits. Bits other than last_
  // go to the bucket of the highest digit in which they differ from last_,
  // and of their value in that digit; all distances of a bucket thus exceed
  // all distances of the buckets before it in (level, digit) order.
  static constexpr size_t kDigitBits = 4;
  static constexpr size_t kDigits = size_t{1} << kDigitBits;
  static constexpr size_t kLevels = 64 / kDigitBits;

  // A member of a group: its key above its node, so that members order by key.
  static uint64_t Member(const Entry& e) {
    return uint64_t{static_cast<uint32_t>(e.key)} << 32 | static_cast<uint32_t>(e.node);
  }
  static int32_t NodeOf(uint64_t member) {
    return static_cast<int32_t>(static_cast<uint32_t>(member));
  }

  void Place(const Entry& e) {
    if (e.bits == last_) {
      // While the group is served, a zero length can still add to it: such
      // latecomers wait in a heap beside it. A node has at most one entry
      // per distance, so no two members are equal.
      late_.push_back(Member(e));
      std::push_heap(late_.begin(), late_.end(), std::greater<>());
      return;
    }
    PlaceInBucket(e);
  }

  void PlaceInBucket(const Entry& e) {
    const auto level = static_cast<size_t>(63 - std::countl_zero(e.bits ^ last_)) / kDigitBits;
    const auto digit = static_cast<size_t>(e.bits >> (level * kDigitBits)) & (kDigits - 1);
    buckets_[level * kDigits + digit].push_back(e);
    levelMask_ |= uint32_t{1} << level;
    digitMask_[level] |= uint32_t{1} << digit;
  }

  // The smallest member of the group and the latecomers, taken out.
  uint64_t TakeSmallest() {
    if (late_.empty() || (next_ < group_.size() && group_[next_] < late_.front())) {
      return group_[next_++];
    }
    std::pop_heap(late_.begin(), late_.end(), std::greater<>());
    const uint64_t member = late_.back();
    late_.pop_back();
    return member;
  }

  // Empties the first non-empty bucket: its smallest live distance becomes
  // last_, its live entries at that distance the new group, in key order,
  // and the others, which agree with last_ above the bucket's level, move
  // to lower levels. The loop has no branch on whether an entry is live:
  // that depends on a read from all over memory, and a wrong guess would
  // hold up the reads of the entries after it.
  template <class IsCurrent, class FetchAhead>
  void Refill(IsCurrent& isCurrent, FetchAhead& fetchAhead) {
    const auto level = static_cast<size_t>(std::countr_zero(levelMask_));
    const auto digit = static_cast<size_t>(std::countr_zero(digitMask_[level]));
    std::vector<Entry>& bucket = buckets_[level * kDigits + digit];
    digitMask_[level] &= digitMask_[level] - 1;
    if (digitMask_[level] == 0) levelMask_ &= levelMask_ - 1;
    size_t live = 0;
    uint64_t smallest = UINT64_MAX;
    for (size_t i = 0; i < bucket.size(); ++i) {
      const Entry e = bucket[i];
      const bool current = isCurrent(e.node, e.bits);
      fetchAhead(e.node);
      bucket[live] = e;
      live += current ? 1 : 0;
      smallest = std::min(smallest, current ? e.bits : UINT64_MAX);
    }
    if (live > 0) {
      last_ = smallest;
      for (size_t i = 0; i < live; ++i) {
        if (bucket[i].bits == last_) {
          group_.push_back(Member(bucket[i]));
        } else {
          PlaceInBucket(bucket[i]);
        }
      }
      std::sort(group_.begin(), group_.end());
    }
    bucket.clear();
  }

  std::array<std::vector<Entry>, kLevels * kDigits> buckets_;
  uint32_t levelMask_ = 0;                   // levels with a non-empty bucket
  std::array<uint32_t, kLevels> digitMask_{};  // per level, digits with entries
  // The nodes whose entry has distance last_: the group, in key order, of
  // which group_[next_ ..] are yet to come out, and the latecomers' heap.
  std::vector<uint64_t> group_;
  size_t next_ = 0;
  std::vector<uint64_t> late_;
  uint64_t last_ = 0;
};

static_assert(SelectionQueue<RadixQueue>);
