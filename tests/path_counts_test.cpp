// Path counts past 2^31 and 2^53, checked against scores derived by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

TEST(PathCounts, ChainsOfDiamondsPastTwoToThe31And53) {
  for (const int k : {1, 2, 31, 33, 54, 60}) {
    for (const RunOptions engine : {RunOptions{true, 1}, RunOptions{false, 1}, RunOptions{false, 2}}) {
      EXPECT_EQ(ExpectedScores(k), RunOnText(Deliverable::Anybridge, Chain(k), "1000", {}, engine))
          << k << " diamonds, reference " << engine.reference << ", threads " << engine.threads;
    }
  }
}

}  // namespace
