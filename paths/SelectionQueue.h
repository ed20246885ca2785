// The contract of the queues a frontier search settles nodes from. A model
// of SelectionQueue holds (distance, key, node) entries of a search whose
// lengths are never negative or NaN, where the bit patterns of distances
// order as their values do, and hands nodes out in (distance, key) order:
// with the node's name index as its key, the order in which the
// reference's linear scan selects them. Keys are distinct, one per node.
//
//   Init(nodeCount)   sizes the queue for nodes 0 .. nodeCount-1, empty.
//   Push(dist, node, key)
//                     holds node at dist. A node already held is pushed
//                     again only with a lower distance and the same key; the
//                     queue lowers its entry or drops the stale one when it
//                     meets it.
//   Pop(isCurrent, fetchAhead)
//                     takes out the smallest entry for which
//                     isCurrent(node, distanceBits) holds and returns its
//                     node, or -1 when none is left. fetchAhead(node) hears
//                     of nodes that will come out soon, so their cells can be
//                     fetched early; it is a hint and changes nothing.
#pragma once

#include <concepts>
#include <cstdint>

namespace selection_queue_detail {
struct IsCurrentHook {
  bool operator()(int32_t node, uint64_t distanceBits) const;
};
struct FetchAheadHook {
  void operator()(int32_t node) const;
};
}  // namespace selection_queue_detail

template <class Q>
concept SelectionQueue = requires(Q queue, int32_t node, double dist,
                                  selection_queue_detail::IsCurrentHook isCurrent,
                                  selection_queue_detail::FetchAheadHook fetchAhead) {
  queue.Init(node);
  queue.Push(dist, node, node);
  { queue.Pop(isCurrent, fetchAhead) } -> std::same_as<int32_t>;
};
