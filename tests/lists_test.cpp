// List cells and the node stack: prepend order and the empty cases.
#include <gtest/gtest.h>

#include <vector>

#include "containers/Adj_list.h"
#include "containers/Stack.h"

namespace {

TEST(AdjList, AddPrependsSoAWalkMeetsTheLastAddedFirst) {
  List_Cell* head = List_Add(nullptr, 1, 0.5);
  ASSERT_NE(head, nullptr);
  EXPECT_EQ(head->next, nullptr);
  head = List_Add(head, 2, -1.0);
  head = List_Add(head, 3, 7.25);
  std::vector<int32_t> nodes;
  std::vector<double> weights;
  for (const List_Cell* c = head; c != nullptr; c = c->next) {
    nodes.push_back(c->node);
    weights.push_back(c->weight);
  }
  EXPECT_EQ(nodes, (std::vector<int32_t>{3, 2, 1}));
  EXPECT_EQ(weights, (std::vector<double>{7.25, -1.0, 0.5}));
  EXPECT_EQ(List_Delete(head), nullptr);
  EXPECT_EQ(List_Delete(nullptr), nullptr);
}

TEST(Stack, PushThreePopInReverse) {
  Stack_Cell* top = nullptr;
  for (int32_t node : {1, 2, 3}) top = Stack_Add(top, node);
  std::vector<int32_t> popped;
  while (top != nullptr) {
    popped.push_back(top->node);
    top = Stack_Pop(top);
  }
  EXPECT_EQ(popped, (std::vector<int32_t>{3, 2, 1}));
}

TEST(Stack, PopOfEmptyAndOfOneCell) {
  EXPECT_EQ(Stack_Pop(nullptr), nullptr);
  Stack_Cell* one = Stack_Add(nullptr, 9);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->node, 9);
  EXPECT_EQ(one->next, nullptr);
  EXPECT_EQ(Stack_Pop(one), nullptr);
}

TEST(Stack, PopReturnsTheCellBelow) {
  Stack_Cell* below = Stack_Add(nullptr, 4);
  Stack_Cell* top = Stack_Add(below, 5);
  EXPECT_EQ(top->next, below);
  EXPECT_EQ(Stack_Pop(top), below);
  Stack_Delete(below);
}

}  // namespace
