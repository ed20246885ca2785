// A set of node indices below a fixed bound, with insertion, removal and the
// smallest member in a few word operations: a hierarchy of bitmaps in which
// each bit of a level says whether the word below it is non-empty.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

class IndexSet {
 public:
  // Sized for indices 0 .. bound-1; the set starts empty.
  void Init(int32_t bound) {
    levels_ = 0;
    size_t words = (static_cast<size_t>(bound > 0 ? bound : 1) + 63) / 64;
    size_t total = 0;
    for (;;) {
      assert(levels_ < kMaxLevels);
      start_[levels_++] = total;
      total += words;
      if (words == 1) break;
      words = (words + 63) / 64;
    }
    words_.assign(total, 0);
  }

  bool Empty() const { return words_[start_[levels_ - 1]] == 0; }

  void Insert(int32_t index) {
    auto at = static_cast<size_t>(index);
    for (size_t l = 0; l < levels_; ++l) {
      uint64_t& word = words_[start_[l] + (at >> 6)];
      const bool wasEmpty = word == 0;
      word |= uint64_t{1} << (at & 63);
      if (!wasEmpty) return;  // the levels above already know this word
      at >>= 6;
    }
  }

  // The smallest member. The set must not be empty.
  int32_t Smallest() const {
    assert(!Empty());
    size_t at = 0;
    for (size_t l = levels_; l-- > 0;) {
      at = at * 64 + static_cast<size_t>(std::countr_zero(words_[start_[l] + at]));
    }
    return static_cast<int32_t>(at);
  }

  // Removes a member.
  void Erase(int32_t index) {
    auto at = static_cast<size_t>(index);
    for (size_t l = 0; l < levels_; ++l) {
      uint64_t& word = words_[start_[l] + (at >> 6)];
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
  static constexpr size_t kMaxLevels = 6;  // 64^6 covers every int32 index
  std::vector<uint64_t> words_;            // all levels, level 0 (one bit per index) first
  size_t start_[kMaxLevels] = {};
  size_t levels_ = 0;
};
