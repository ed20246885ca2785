// The hierarchical bitmap set against std::set. The bounds sit on either side
// of the points where a level is added, and the indices drawn cluster at word
// and level edges, where a missed upper-level update would show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "paths/IndexSet.h"

namespace {

// An index below bound, drawn to hit edges often: anywhere, at either end, or
// within two of a multiple of 64 (a word) or 4096 (a word of the level above).
int32_t PickIndex(std::mt19937_64& rng, int32_t bound) {
  const auto any = static_cast<int64_t>(rng() % static_cast<uint64_t>(bound));
  int64_t base = 0;
  switch (rng() % 4) {
    case 0: return static_cast<int32_t>(any);
    case 1: base = rng() % 2 == 0 ? 0 : bound - 1; break;
    case 2: base = any / 64 * 64; break;
    default: base = any / 4096 * 4096; break;
  }
  const int64_t at = base + static_cast<int64_t>(rng() % 5) - 2;
  return static_cast<int32_t>(std::clamp<int64_t>(at, 0, bound - 1));
}

// A member of a non-empty model near where PickIndex lands.
int32_t PickMember(std::mt19937_64& rng, int32_t bound, const std::set<int32_t>& model) {
  auto it = model.lower_bound(PickIndex(rng, bound));
  return it == model.end() ? *model.begin() : *it;
}

::testing::AssertionResult Agree(const IndexSet& set, const std::set<int32_t>& model) {
  if (set.Empty() != model.empty()) {
    return ::testing::AssertionFailure() << "Empty() is " << set.Empty();
  }
  if (!model.empty() && set.Smallest() != *model.begin()) {
    return ::testing::AssertionFailure()
           << "Smallest() is " << set.Smallest() << ", expected " << *model.begin();
  }
  return ::testing::AssertionSuccess();
}

// Random inserts (of absent and present members), erases and pops, checked
// after every step, then a drain by PopSmallest that must list the members
// in increasing order.
void ExpectLikeOrderedSet(int32_t bound, uint64_t seed, int steps) {
  std::mt19937_64 rng(seed);
  IndexSet set;
  set.Init(bound);
  std::set<int32_t> model;
  for (int step = 0; step < steps; ++step) {
    const uint64_t op = rng() % 10;
    if (op < 4 || model.empty()) {
      const int32_t v = PickIndex(rng, bound);
      set.Insert(v);
      model.insert(v);
    } else if (op < 6) {
      const int32_t v = PickMember(rng, bound, model);
      set.Insert(v);  // already a member: must change nothing
    } else if (op < 9) {
      const int32_t v = PickMember(rng, bound, model);
      set.Erase(v);
      model.erase(v);
    } else {
      ASSERT_EQ(*model.begin(), set.PopSmallest()) << "seed " << seed << " step " << step;
      model.erase(model.begin());
    }
    ASSERT_TRUE(Agree(set, model)) << "bound " << bound << " seed " << seed << " step " << step;
  }
  while (!model.empty()) {
    ASSERT_FALSE(set.Empty()) << "bound " << bound << " seed " << seed;
    ASSERT_EQ(*model.begin(), set.PopSmallest()) << "bound " << bound << " seed " << seed;
    model.erase(model.begin());
  }
  EXPECT_TRUE(set.Empty()) << "bound " << bound << " seed " << seed;
}

TEST(IndexSet, BehavesLikeAnOrderedSetAtEveryLevelBoundary) {
  for (const int32_t bound : {1, 63, 64, 65, 4095, 4096, 4097, 262144, 262145, 300000}) {
    for (uint64_t seed = 1; seed <= 6; ++seed) {
      ExpectLikeOrderedSet(bound, seed * 1000 + static_cast<uint64_t>(bound), 4000);
    }
  }
}

// The first and last indices, and those either side of every level's word
// edges, of bounds needing three, four and five levels: inserted from the
// top down each becomes the smallest, and pops give them back bottom up.
TEST(IndexSet, HandlesTheEndsOfALargeRange) {
  for (const int32_t bound : {262145, 300000, 16777217}) {
    std::vector<int32_t> indices;
    for (const int32_t v : {0, 1, 63, 64, 4095, 4096, 262143, 262144, 16777215, 16777216}) {
      if (v < bound) indices.push_back(v);
    }
    indices.push_back(bound - 2);
    indices.push_back(bound - 1);
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());

    IndexSet set;
    set.Init(bound);
    set.Insert(bound - 1);
    EXPECT_EQ(bound - 1, set.Smallest()) << bound;
    set.Erase(bound - 1);  // the only member: every level must clear
    EXPECT_TRUE(set.Empty()) << bound;
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
      set.Insert(*it);
      EXPECT_EQ(*it, set.Smallest()) << bound;
    }
    for (const int32_t v : indices) EXPECT_EQ(v, set.PopSmallest()) << bound;
    EXPECT_TRUE(set.Empty()) << bound;
  }
}

// Init empties a set in use, also when the new bound needs fewer levels, and
// a bound of zero gives an empty set.
TEST(IndexSet, InitStartsEmptyWhateverCameBefore) {
  IndexSet set;
  set.Init(0);
  EXPECT_TRUE(set.Empty());
  set.Init(300000);
  for (const int32_t v : {299999, 5000, 64}) set.Insert(v);
  set.Init(300000);
  EXPECT_TRUE(set.Empty());
  set.Insert(299999);
  EXPECT_EQ(299999, set.Smallest());
  set.Init(65);
  EXPECT_TRUE(set.Empty());
  set.Insert(64);
  EXPECT_EQ(64, set.PopSmallest());
  EXPECT_TRUE(set.Empty());
}

}  // namespace
