// Path counts past 2^31, 2^53 and the largest double (about 2^1024),
// checked against scores derived by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace {

// A chain of k diamonds d_i - {u_i, v_i} - d_{i+1}, every weight 1, so every
// shortest path between hubs doubles its count at each diamond: d_0 to d_k
// has 2^k of them. By position along the chain:
// - hub d_j (0 < j < k) carries every pair across it: 3j nodes on one side,
//   3(k-j) on the other, both directions, 18 j (k-j); plus half of the pairs
//   (u_j, v_j) and (u_{j-1}, v_{j-1}) each way, 2. The end hubs carry only
//   half of their diamond's side pair each way: 1.
// - side node u_i carries half of every pair across its diamond: 3i+1 nodes
//   at or before d_i, 3(k-i)-2 at or after d_{i+1}, both directions:
//   (3i+1)(3(k-i)-2).
// None of this depends on how large the counts grow: from 1024 diamonds on
// they pass the largest double.
std::string Chain(int k) {
  std::string text;
  for (int i = 0; i < k; ++i) {
    const std::string d = "d" + std::to_string(i), next = "d" + std::to_string(i + 1);
    for (const char* side : {"u", "v"}) text += d + " " + side + std::to_string(i) + " 1\n";
    for (const char* side : {"u", "v"}) text += side + std::to_string(i) + " " + next + " 1\n";
  }
  return text;
}

std::string Line(const std::string& name, long long score) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s %lld.000000\n", name.c_str(), score);
  return buf;
}

std::string ExpectedScores(int k) {
  std::string listing;
  for (int i = 0; i < k; ++i) {
    const long long hub = i == 0 ? 1 : 18LL * i * (k - i) + 2;
    const long long side = (3LL * i + 1) * (3LL * (k - i) - 2);
    listing += Line("d" + std::to_string(i), hub);
    listing += Line("u" + std::to_string(i), side);
    listing += Line("v" + std::to_string(i), side);
  }
  return listing + Line("d" + std::to_string(k), 1);
}

// x0 - x1 - ... - xn, every neighbouring pair joined by 1000 identical lines:
// xa to xb has 1000^|a-b| shortest paths, more than the largest double from
// 103 hops on. Every shortest path between xa and xb passes every node
// between them, so an interior xi carries the i (n-i) pairs across it, both
// directions: 2 i (n-i). The ends carry nothing.
std::string ParallelLines(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) {
    const std::string line = "x" + std::to_string(i) + " x" + std::to_string(i + 1) + " 1\n";
    for (int copy = 0; copy < 1000; ++copy) text += line;
  }
  return text;
}

std::string ExpectedLineScores(int n) {
  std::string listing;
  for (int i = 0; i <= n; ++i) listing += Line("x" + std::to_string(i), 2LL * i * (n - i));
  return listing;
}

struct CountCase {
  std::string label;
  std::string graph;
  std::string expected;
};

// longChains: the chain of 1100 diamonds too, 3301 nodes, which the
// reference's quadratic scan takes a minute over (several under the
// sanitizers, where only the fast engine runs it).
std::vector<CountCase> CountCases(bool longChains) {
  std::vector<CountCase> cases;
  for (const int k : {1, 2, 31, 33, 54, 60, 1100}) {
    if (k == 1100 && !longChains) continue;
    cases.push_back({std::to_string(k) + " diamonds", Chain(k), ExpectedScores(k)});
  }
  for (const int n : {103, 110}) {
    cases.push_back({std::to_string(n) + " hops of 1000 lines", ParallelLines(n),
                     ExpectedLineScores(n)});
  }
  return cases;
}

void ExpectScores(const TestEngine& engine, bool longChains = true) {
  for (const CountCase& c : CountCases(longChains)) {
    EXPECT_EQ(c.expected, RunOnText(Deliverable::Anybridge, c.graph, "10000", {}, engine))
        << c.label << ", reference " << engine.reference << ", threads " << engine.threads;
  }
}

TEST(PathCounts, PastTwoToThe31And53AndTheLargestDoubleInTheFastEngine) {
  ExpectScores(TestEngine{false, 1, {}});
  ExpectScores(TestEngine{false, 2, {}});
}

// Apart, so that the reference's slow pass over 3301 nodes (tens of seconds)
// can run beside other tests.
TEST(PathCounts, PastTwoToThe31And53AndTheLargestDoubleInTheReference) {
  ExpectScores(TestEngine{true, 1, {}}, !kSanitized);
}

}  // namespace
