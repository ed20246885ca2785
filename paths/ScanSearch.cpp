// The scan policy, for graphs with a negative or NaN length: distances can
// then fall after a node is settled, turn NaN or come out at the UNREACHED
// mark, and only the reference scan's own rule, modelled by ScanQueue, gives
// its settle order. The same rule gives the frontier policy's order where
// no length is negative or NaN, so searches with wide counts, which are
// rare, come here for any graph.
#include "paths/FastPolicies.h"
#include "paths/FastRelax.h"

namespace {

template <bool kPaths, class Counts = PlainCounts>
void SearchByScan(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  NodeState* state = ws.state.data();
  ScanQueue& queue = ws.scanQueue;
  ws.touched.push_back(s);
  auto onReached = [&](int32_t v, double x, bool wasUnreached) {
    NodeState& sv = state[v];
    if (sv.phase == kSettled) return;  // negative lengths reach settled nodes
    if (sv.phase == kUntouched) {
      sv.phase = kOpen;
      ws.touched.push_back(v);
    }
    queue.Update(v, !wasUnreached, x);
  };
  int32_t u = s;
  do {
    state[u].phase = kSettled;
    ws.order.push_back(u);
    if constexpr (kPaths) FastWorkspace_ReserveLinks(ws, state[u].cellCount);
    RelaxCells<kPaths, Counts>(graph, u, ws, onReached);
    u = queue.Pop([&](int32_t v) { return state[v].dist; });
  } while (u >= 0);
}

}  // namespace

void FastPolicy_Scan(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws) {
  if (mode == SEARCH_PATHS) {
    SearchByScan<true>(graph, s, ws);
  } else {
    SearchByScan<false>(graph, s, ws);
  }
}

void FastPolicy_ScanWide(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  if (ws.sigmaExponent.size() != ws.state.size()) ws.sigmaExponent.assign(ws.state.size(), 0);
  // Graphs without negative or NaN lengths size this queue for wide searches only.
  if (ws.scanQueue.Bound() != graph.nodeCount) {
    ws.scanQueue.Init(graph.nodeCount);
  }
  WideCounts::Set(ws, ws.state[s], s, WideCount_Of(1.0));
  SearchByScan<true, WideCounts>(graph, s, ws);
}
