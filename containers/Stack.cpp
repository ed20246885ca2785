#include "containers/Stack.h"

Stack_Cell* Stack_Add(Stack_Cell* top, int32_t node) {
  return new Stack_Cell{node, top};
}

Stack_Cell* Stack_Pop(Stack_Cell* top) {
  if (top == nullptr) return nullptr;
  Stack_Cell* rest = top->next;
  delete top;
  return rest;
}

void Stack_Delete(Stack_Cell* top) {
  while (top != nullptr) top = Stack_Pop(top);
}
