// The two selection structures of non-negative searches against a plain
// ordered set: both must hand out nodes by (distance, index) under the
// offers a search makes.
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <random>
#include <set>
#include <utility>

#include "paths/HeapQueue.h"
#include "paths/RadixQueue.h"

namespace {

// Drives a queue with a search's pattern of offers: each offer is at least
// the distance last taken out and lowers the node's earlier offer, if any.
// Distances come from a few values so that ties are common, and zero steps
// offer the distance just taken out again. Both queues are driven through
// the one contract they share.
template <SelectionQueue Queue>
void ExpectSearchOrder(uint64_t seed) {
  std::mt19937_64 rng(seed);
  const int32_t nodes = 300;
  Queue queue;
  queue.Init(nodes);
  std::set<std::pair<double, int32_t>> held;
  std::map<int32_t, double> offered;  // held nodes and their latest offer
  std::set<int32_t> taken;
  // A held node's latest offer is current; earlier ones are stale.
  auto isCurrent = [&offered](int32_t v, uint64_t key) {
    const auto it = offered.find(v);
    return it != offered.end() && std::bit_cast<uint64_t>(it->second) == key;
  };
  double last = 0.0;
  for (int step = 0; step < 5000; ++step) {
    if (rng() % 3 != 0) {
      const auto v = static_cast<int32_t>(rng() % nodes);
      const double d = last + static_cast<double>(rng() % 4) * 0.25;
      const auto it = offered.find(v);
      if (taken.count(v) != 0 || (it != offered.end() && it->second <= d)) continue;
      if (it != offered.end()) held.erase({it->second, v});
      held.insert({d, v});
      offered[v] = d;
      queue.Push(d, v);
      continue;
    }
    const int32_t expected = held.empty() ? -1 : held.begin()->second;
    ASSERT_EQ(expected, queue.Pop(isCurrent, [](int32_t) {})) << "seed " << seed << " step " << step;
    if (expected < 0) continue;
    last = held.begin()->first;
    held.erase(held.begin());
    offered.erase(expected);
    taken.insert(expected);
  }
}

TEST(Queues, HeapHandsOutNodesByDistanceThenIndex) {
  for (uint64_t seed = 1; seed <= 20; ++seed) ExpectSearchOrder<HeapQueue>(seed);
}

TEST(Queues, RadixQueueHandsOutNodesByDistanceThenIndex) {
  for (uint64_t seed = 1; seed <= 20; ++seed) ExpectSearchOrder<RadixQueue>(seed);
}

// Drain hands over every entry with its distance and leaves the heap empty
// and reusable, as a search moving to the radix queue needs.
TEST(Queues, HeapDrainsEveryEntryAndCanBeRefilled) {
  HeapQueue heap;
  heap.Init(10);
  heap.Push(3.0, 7);
  heap.Push(1.5, 2);
  heap.Push(2.0, 7);  // lowers node 7
  heap.Push(0.0, 9);
  std::set<std::pair<double, int32_t>> drained;
  heap.Drain([&](double d, int32_t v) { drained.insert({d, v}); });
  EXPECT_EQ((std::set<std::pair<double, int32_t>>{{0.0, 9}, {1.5, 2}, {2.0, 7}}), drained);
  EXPECT_TRUE(heap.Empty());
  heap.Push(5.0, 7);  // a fresh entry, not a lowered one
  heap.Push(5.0, 2);
  EXPECT_EQ(2, heap.Size());
  auto any = [](int32_t, uint64_t) { return true; };
  auto none = [](int32_t) {};
  EXPECT_EQ(2, heap.Pop(any, none));
  EXPECT_EQ(7, heap.Pop(any, none));
  EXPECT_EQ(-1, heap.Pop(any, none));
}

}  // namespace
