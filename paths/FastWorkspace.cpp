#include "paths/FastWorkspace.h"

#include <algorithm>
#include <limits>
#include <new>

void FastWorkspace_Init(FastWorkspace& ws, const FastGraph& graph) {
  const auto n = static_cast<size_t>(graph.nodeCount);
  if (graph.cells.size() > INT32_MAX) throw std::bad_alloc();
  ws.unreached = graph.heapOrderSafe ? -std::numeric_limits<double>::infinity() : UNREACHED;
  ws.state.assign(n, NodeState{});
  for (size_t v = 0; v < n; ++v) {
    ws.state[v].dist = ws.unreached;
    ws.state[v].cellBase = static_cast<uint32_t>(graph.offsets[v]);
    ws.state[v].cellCount = static_cast<uint32_t>(graph.offsets[v + 1] - graph.offsets[v]);
    ws.state[v].cellShape = graph.cellShape[v];
  }
  ws.delta.assign(n, 0.0);
  ws.counts = COUNTS_DOUBLE;
  ws.sigmaExponent.clear();
  ws.links.clear();
  ws.linkCount = 0;
  ws.order.clear();
  ws.touched.clear();
  ws.order.reserve(n);
  // Each graph takes one selection policy, so only its queues get room.
  if (graph.heapOrderSafe) {
    ws.heap.Init(graph.nodeCount);
    ws.radix.Init(graph.nodeCount);
  } else {
    ws.scanQueue.Init(graph.nodeCount);
  }
}

void FastWorkspace_GrowLinks(FastWorkspace& ws, size_t more) {
  ws.links.resize(std::max(ws.links.size() * 2, std::max<size_t>(ws.linkCount + more, 1024)));
}

void FastWorkspace_Reset(FastWorkspace& ws) {
  // The scan policy records every node it gives a distance; the frontier
  // policy gives distances only to nodes it then settles.
  const std::vector<int32_t>& nodes = ws.touched.empty() ? ws.order : ws.touched;
  for (const int32_t v : nodes) {
    NodeState& st = ws.state[v];
    st.dist = ws.unreached;
    st.sigma = 0.0;
    st.phase = kUntouched;
    ws.delta[v] = 0.0;
  }
  ws.order.clear();
  ws.touched.clear();
  ws.linkCount = 0;
}
