#include "paths/FastWorkspace.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>

#include "paths/HugePages.h"

void FastWorkspace_Init(FastWorkspace& ws, const FastGraph& graph) {
  const auto n = static_cast<size_t>(graph.nodeCount);
  if (graph.cells.size() > INT32_MAX) throw std::bad_alloc();
  ws.unreached = graph.heapOrderSafe ? -std::numeric_limits<double>::infinity() : UNREACHED;
  HugePages_Assign(ws.state, n, NodeState{});
  for (size_t v = 0; v < n; ++v) {
    NodeState& st = ws.state[v];
    const uint64_t count = graph.offsets[v + 1] - graph.offsets[v];
    if (count >= (uint64_t{1} << 30)) throw std::bad_alloc();
    st.dist = ws.unreached;
    st.cellBase = static_cast<uint32_t>(graph.offsets[v]);
    st.cellsAndShape = static_cast<uint32_t>(count) | uint32_t{graph.cellShape[v]} << 30;
    st.name = graph.nameOf[v];
  }
  HugePages_Assign(ws.delta, n, 0.0);
  ws.phase.clear();
  ws.scanned = false;
  ws.counts = COUNTS_DOUBLE;
  ws.sigmaExponent.clear();
  ws.links.clear();
  ws.linkCount = 0;
  ws.order.clear();
  ws.touched.clear();
  ws.order.reserve(n);
  HugePages_Advise(ws.order.data(), n * sizeof(int32_t));
  // Each graph takes one selection policy, so only its queues get room.
  if (graph.heapOrderSafe) {
    ws.heap.Init(graph.nodeCount);
    ws.radix.Init(graph.nodeCount);
  } else {
    ws.scanQueue.Init(graph.nodeCount);
    ws.phase.assign(n, kUntouched);
  }
}

void FastWorkspace_GrowLinks(FastWorkspace& ws, size_t more) {
  const size_t size = std::max(ws.links.size() * 2, std::max<size_t>(ws.linkCount + more, 1024));
  std::vector<PredLink> links;
  links.reserve(size);
  if (size * sizeof(PredLink) >= kHugePagesFrom) HugePages_Advise(links.data(), size * sizeof(PredLink));
  links.assign(ws.links.begin(), ws.links.begin() + static_cast<ptrdiff_t>(ws.linkCount));
  links.resize(size);
  ws.links.swap(links);
}

void FastWorkspace_Reset(FastWorkspace& ws) {
  // The scan policy records every node it gives a distance; the frontier
  // policy gives distances only to nodes it then settles. Counts and links
  // need no reset: a node's first improvement clears them.
  const std::vector<int32_t>& nodes = ws.scanned ? ws.touched : ws.order;
  for (const int32_t v : nodes) {
    const auto at = static_cast<size_t>(v);
    ws.state[at].dist = ws.unreached;
    ws.delta[at] = 0.0;
    if (ws.scanned) ws.phase[at] = kUntouched;
  }
  ws.order.clear();
  ws.touched.clear();
  ws.linkCount = 0;
  ws.scanned = false;
}
