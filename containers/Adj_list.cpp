#include "containers/Adj_list.h"

List_Cell* List_Add(List_Cell* head, int32_t node, double weight) {
  return new List_Cell{node, weight, head};
}

List_Cell* List_Delete(List_Cell* head) {
  while (head != nullptr) {
    List_Cell* next = head->next;
    delete head;
    head = next;
  }
  return nullptr;
}
