// The two selection structures of non-negative searches against a plain
// ordered set: both must hand out nodes by (distance, key) under the offers
// a search makes, each node's key being its name index in a numbering of
// the graph's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "paths/HeapQueue.h"
#include "paths/RadixQueue.h"

namespace {

// Drives a queue with a search's pattern of offers: each offer is at least
// the distance last taken out and lowers the node's earlier offer, if any.
// Distances come from a few values so that ties are common, and zero steps
// offer the distance just taken out again. Keys are a shuffle of the nodes,
// so an order by node would fail. Both queues are driven through the one
// contract they share.
template <SelectionQueue Queue>
void ExpectSearchOrder(uint64_t seed) {
  std::mt19937_64 rng(seed);
  const int32_t nodes = 300;
  std::vector<int32_t> keyOf(nodes);
  std::iota(keyOf.begin(), keyOf.end(), 0);
  std::shuffle(keyOf.begin(), keyOf.end(), rng);
  std::vector<int32_t> nodeOf(nodes);
  for (int32_t v = 0; v < nodes; ++v) nodeOf[static_cast<size_t>(keyOf[static_cast<size_t>(v)])] = v;
  Queue queue;
  queue.Init(nodes);
  std::set<std::pair<double, int32_t>> held;  // (distance, key)
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
      const int32_t key = keyOf[static_cast<size_t>(v)];
      if (it != offered.end()) held.erase({it->second, key});
      held.insert({d, key});
      offered[v] = d;
      queue.Push(d, v, key);
      continue;
    }
    const int32_t expected = held.empty() ? -1 : nodeOf[static_cast<size_t>(held.begin()->second)];
    ASSERT_EQ(expected, queue.Pop(isCurrent, [](int32_t) {})) << "seed " << seed << " step " << step;
    if (expected < 0) continue;
    last = held.begin()->first;
    held.erase(held.begin());
    offered.erase(expected);
    taken.insert(expected);
  }
}

TEST(Queues, HeapHandsOutNodesByDistanceThenKey) {
  for (uint64_t seed = 1; seed <= 20; ++seed) ExpectSearchOrder<HeapQueue>(seed);
}

TEST(Queues, RadixQueueHandsOutNodesByDistanceThenKey) {
  for (uint64_t seed = 1; seed <= 20; ++seed) ExpectSearchOrder<RadixQueue>(seed);
}

// Drain hands over every entry with its distance and key and leaves the
// heap empty and reusable, as a search moving to the radix queue needs.
TEST(Queues, HeapDrainsEveryEntryAndCanBeRefilled) {
  HeapQueue heap;
  heap.Init(10);
  heap.Push(3.0, 7, 1);
  heap.Push(1.5, 2, 5);
  heap.Push(2.0, 7, 1);  // lowers node 7
  heap.Push(0.0, 9, 0);
  std::set<std::tuple<double, int32_t, int32_t>> drained;
  heap.Drain([&](double d, int32_t v, int32_t key) { drained.insert({d, v, key}); });
  EXPECT_EQ((std::set<std::tuple<double, int32_t, int32_t>>{{0.0, 9, 0}, {1.5, 2, 5}, {2.0, 7, 1}}),
            drained);
  EXPECT_TRUE(heap.Empty());
  heap.Push(5.0, 7, 1);  // a fresh entry, not a lowered one
  heap.Push(5.0, 2, 5);
  EXPECT_EQ(2, heap.Size());
  auto any = [](int32_t, uint64_t) { return true; };
  auto none = [](int32_t) {};
  EXPECT_EQ(7, heap.Pop(any, none));  // the lower key
  EXPECT_EQ(2, heap.Pop(any, none));
  EXPECT_EQ(-1, heap.Pop(any, none));
}

// The heap's room grows past its first thousand entries, the entries held
// kept in order.
TEST(Queues, HeapGrowsWithTheEntriesHeld) {
  HeapQueue heap;
  const int32_t nodes = 5000;
  heap.Init(nodes);
  for (int32_t v = 0; v < nodes; ++v) heap.Push(static_cast<double>((v * 37) % 101), v, nodes - v);
  auto any = [](int32_t, uint64_t) { return true; };
  auto none = [](int32_t) {};
  std::pair<double, int32_t> last{-1.0, 0};
  for (int32_t k = 0; k < nodes; ++k) {
    const int32_t v = heap.Pop(any, none);
    ASSERT_GE(v, 0);
    const std::pair<double, int32_t> entry{static_cast<double>((v * 37) % 101), nodes - v};
    ASSERT_LT(last, entry) << k;
    last = entry;
  }
  EXPECT_EQ(-1, heap.Pop(any, none));
}

}  // namespace
