// Module Adj_list: singly linked cells carrying a node index and a weight,
// used for adjacency lists and predecessor lists. Lists are passed and
// returned by their head; nullptr is the empty list.
#pragma once

#include <cstdint>

struct List_Cell {
  int32_t node;
  double weight;
  List_Cell* next;
};

// Prepends a cell (node, weight) and returns the new head.
// Throws std::bad_alloc when memory runs out.
List_Cell* List_Add(List_Cell* head, int32_t node, double weight);

// Frees every cell from the head on and returns the empty list.
List_Cell* List_Delete(List_Cell* head);
