// The scan policy, for graphs with a negative or NaN length: distances can
// then fall after a node is settled, turn NaN or come out at the UNREACHED
// mark, and only the reference scan's own rule, modelled by ScanQueue, gives
// its settle order. The same rule gives the frontier policy's order where
// no length is negative or NaN, so searches with wide counts, which are
// rare, come here for any graph.
//
// The scan walks name indices, so the queue holds names: a node goes in by
// its name (the key of its cells) and comes out as one, turned back into
// the node it names.
#include "paths/FastPolicies.h"
#include "paths/FastRelax.h"

namespace {

template <bool kPaths, class Counts = PlainCounts>
void SearchByScan(const FastGraph& graph, int32_t s, FastWorkspace& ws) {
  if (ws.phase.size() != ws.state.size()) ws.phase.assign(ws.state.size(), kUntouched);
  uint8_t* phase = ws.phase.data();
  const int32_t* nodeOf = graph.nodeOf.data();
  ScanQueue& queue = ws.scanQueue;
  ws.scanned = true;
  ws.touched.push_back(s);
  auto onReached = [&](int32_t v, double x, bool wasUnreached, int32_t name) {
    uint8_t& pv = phase[v];
    if (pv == kSettled) return;  // negative lengths reach settled nodes
    if (pv == kUntouched) {
      pv = kOpen;
      ws.touched.push_back(v);
    }
    queue.Update(name, !wasUnreached, x);
  };
  int32_t u = s;
  do {
    const auto at = static_cast<size_t>(u);
    phase[at] = kSettled;
    ws.order.push_back(u);
    if constexpr (kPaths) FastWorkspace_ReserveLinks(ws, NodeState_CellCount(ws.state[at]));
    RelaxCells<kPaths, Counts>(graph, u, ws, onReached);
    const int32_t name =
        queue.Pop([&](int32_t i) { return ws.state[static_cast<size_t>(nodeOf[i])].dist; });
    u = name < 0 ? -1 : nodeOf[name];
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
  WideCounts::Set(ws, s, WideCount_Of(1.0));
  SearchByScan<true, WideCounts>(graph, s, ws);
}
