// Module Stack: singly linked node-index cells, passed by their top;
// nullptr is the empty stack.
#pragma once

#include <cstdint>

struct Stack_Cell {
  int32_t node;
  Stack_Cell* next;
};

// Pushes node and returns the new top. Throws std::bad_alloc on exhaustion.
Stack_Cell* Stack_Add(Stack_Cell* top, int32_t node);

// Frees the top cell and returns the rest (nullptr for an empty stack).
// The caller reads top->node before popping.
Stack_Cell* Stack_Pop(Stack_Cell* top);

// Frees every cell. The caller resets its own top variable afterwards.
void Stack_Delete(Stack_Cell* top);
