// A set of node indices below a fixed bound, with insertion and removal of
// the smallest member in a few word operations: a hierarchy of bitmaps in
// which each bit of a level says whether the word below it is non-empty.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>
#include <vector>

class IndexSet {
 public:
  // Sized for indices 0 .. bound-1; the set starts empty.
  void Init(int32_t bound) {
    levels_.clear();
    size_t words = (static_cast<size_t>(bound > 0 ? bound : 1) + 63) / 64;
    for (;;) {
      levels_.emplace_back(words, 0);
      if (words == 1) break;
      words = (words + 63) / 64;
    }
  }

  bool Empty() const { return levels_.back()[0] == 0; }

  void Insert(int32_t index) {
    auto at = static_cast<size_t>(index);
    for (std::vector<uint64_t>& level : levels_) {
      const uint64_t bit = uint64_t{1} << (at & 63);
      uint64_t& word = level[at >> 6];
      const bool wasEmpty = word == 0;
      word |= bit;
      if (!wasEmpty) return;  // the levels above already know this word
      at >>= 6;
    }
  }

  // The smallest member. The set must not be empty.
  int32_t Smallest() const {
    assert(!Empty());
    size_t at = 0;
    for (size_t l = levels_.size(); l-- > 0;) {
      at = at * 64 + static_cast<size_t>(std::countr_zero(levels_[l][at]));
    }
    return static_cast<int32_t>(at);
  }

  // Removes a member.
  void Erase(int32_t index) {
    auto at = static_cast<size_t>(index);
    for (std::vector<uint64_t>& level : levels_) {
      uint64_t& word = level[at >> 6];
      word &= ~(uint64_t{1} << (at & 63));
      if (word != 0) return;  // the word stays non-empty for the levels above
      at >>= 6;
    }
  }

  // Removes and returns the smallest member. The set must not be empty.
  int32_t PopSmallest() {
    const int32_t smallest = Smallest();
    Erase(smallest);
    return smallest;
  }

 private:
  std::vector<std::vector<uint64_t>> levels_;  // levels_[0]: one bit per index
};
