// A 4-ary min-heap of (distance, key, node) entries, at most one per node,
// for searches whose lengths are never negative or NaN; a model of
// SelectionQueue. Pushing a node that is already held lowers its entry in
// place, so the heap never holds stale entries.
//
// An entry is one 128-bit integer, the distance's bit pattern above the key
// above the node: for such distances the bit patterns order as the values
// do, so one integer comparison orders entries by (distance, key), as the
// linear scan selects. The four children of an entry share one 64-byte line.
// Room grows with the entries held, which a search keeps to a few hundred.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "paths/HugePages.h"
#include "paths/SelectionQueue.h"

class HeapQueue {
 public:
  // Sized for nodes 0 .. nodeCount-1; the heap starts empty.
  void Init(int32_t nodeCount) {
    const auto n = static_cast<size_t>(nodeCount > 0 ? nodeCount : 1);
    HugePages_Assign(position_, n, kAbsent);
    size_ = 0;
    Reserve(std::min<size_t>(n, kFirstRoom));
  }

  bool Empty() const { return size_ == 0; }
  int32_t Size() const { return size_; }

  // Holds node at dist: inserts it, or lowers its entry. A held node's new
  // distance is never above its old one, and its key never changes.
  void Push(double dist, int32_t node, int32_t key) {
    const Entry e = MakeEntry(std::bit_cast<uint64_t>(dist), key, node);
    int32_t at = position_[static_cast<size_t>(node)];
    if (at == kAbsent) {
      if (static_cast<size_t>(size_) == room_) Reserve(room_ * 2);
      at = size_++;
    }
    assert(at == size_ - 1 || e <= entries_[at]);
    SiftUp(at, e);
  }

  // Takes out the smallest entry and returns its node, or -1 when empty.
  // Every entry is current, as no stale one is ever kept; fetchAhead hears
  // of the new smallest entry, the next to come out.
  template <class IsCurrent, class FetchAhead>
  int32_t Pop([[maybe_unused]] IsCurrent&& isCurrent, FetchAhead&& fetchAhead) {
    if (size_ == 0) return -1;
    const Entry top = entries_[0];
    const int32_t node = NodeOf(top);
    assert(isCurrent(node, static_cast<uint64_t>(top >> 64)));
    position_[static_cast<size_t>(node)] = kAbsent;
    if (--size_ > 0) {
      SiftDown(entries_[size_]);
      fetchAhead(NodeOf(entries_[0]));
    }
    return node;
  }

  // Hands every entry to take(distance, node, key), in no particular order,
  // and empties the heap.
  template <class Take>
  void Drain(Take&& take) {
    for (int32_t i = 0; i < size_; ++i) {
      const Entry e = entries_[i];
      position_[static_cast<size_t>(NodeOf(e))] = kAbsent;
      take(std::bit_cast<double>(static_cast<uint64_t>(e >> 64)), NodeOf(e), KeyOf(e));
    }
    size_ = 0;
  }

 private:
  __extension__ using Entry = unsigned __int128;
  static constexpr int32_t kAbsent = -1;
  static constexpr size_t kLineBytes = 64;
  static constexpr size_t kLineEntries = kLineBytes / sizeof(Entry);
  static constexpr size_t kFirstRoom = 1024;

  static Entry MakeEntry(uint64_t distBits, int32_t key, int32_t node) {
    return (Entry{distBits} << 64) | (Entry{static_cast<uint32_t>(key)} << 32) |
           static_cast<uint32_t>(node);
  }
  static int32_t NodeOf(Entry e) { return static_cast<int32_t>(static_cast<uint32_t>(e)); }
  static int32_t KeyOf(Entry e) { return static_cast<int32_t>(static_cast<uint32_t>(e >> 32)); }

  // Room for `room` entries, the ones held kept. Entry 1, the first child of
  // the root, starts a line; so does every later group of four siblings.
  void Reserve(size_t room) {
    std::vector<Entry> storage(room + kLineEntries, 0);
    const auto address = reinterpret_cast<uintptr_t>(storage.data() + 1);
    Entry* entries =
        storage.data() + (kLineBytes - address % kLineBytes) % kLineBytes / sizeof(Entry);
    std::copy(entries_, entries_ + size_, entries);
    storage_ = std::move(storage);
    entries_ = entries;
    room_ = room;
  }

  void Place(int32_t at, Entry e) {
    entries_[at] = e;
    position_[static_cast<size_t>(NodeOf(e))] = at;
  }

  void SiftUp(int32_t at, Entry e) {
    while (at > 0) {
      const int32_t parent = (at - 1) / 4;
      if (entries_[parent] <= e) break;
      Place(at, entries_[parent]);
      at = parent;
    }
    Place(at, e);
  }

  // Fills the hole at the root with e or with smaller children, downwards.
  void SiftDown(Entry e) {
    int32_t at = 0;
    for (;;) {
      // 64-bit: a heap may hold over 2^29 entries.
      const int64_t first = 4 * int64_t{at} + 1;
      if (first >= size_) break;
      const int64_t end = first + 4 < size_ ? first + 4 : size_;
      auto least = static_cast<int32_t>(first);
      Entry leastEntry = entries_[first];
      for (auto c = static_cast<int32_t>(first) + 1; c < end; ++c) {
        if (entries_[c] < leastEntry) {
          leastEntry = entries_[c];
          least = c;
        }
      }
      if (e <= leastEntry) break;
      Place(at, leastEntry);
      at = least;
    }
    Place(at, e);
  }

  std::vector<Entry> storage_;    // the entries, behind a few slots of alignment
  Entry* entries_ = nullptr;      // entries_[0 .. size_-1], the heap
  int32_t size_ = 0;
  size_t room_ = 0;               // entries storage_ holds past the alignment
  std::vector<int32_t> position_;  // per node: its entry's index, or kAbsent
};

static_assert(SelectionQueue<HeapQueue>);
