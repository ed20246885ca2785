#include "paths/Path_Search.h"

#include <cassert>
#include <cmath>

#include "paths/OrderedMath.h"

SourcePass::~SourcePass() {
  for (List_Cell*& head : preds) head = List_Delete(head);
  Stack_Delete(stack);
}

namespace {

void Initialise(SourcePass& pass, int32_t range, SearchMode mode, CountWidth counts) {
  const auto n = static_cast<size_t>(range);
  pass.settled.assign(n, 0);
  pass.dist.assign(n, UNREACHED);
  pass.counts = counts;
  if (mode != SEARCH_PATHS) return;
  if (counts == COUNTS_WIDE) pass.sigmaExponent.assign(n, 0);
  // Cells a previous pass left behind are released rather than leaked.
  for (List_Cell*& head : pass.preds) head = List_Delete(head);
  Stack_Delete(pass.stack);
  pass.stack = nullptr;
  pass.sigma.assign(n, 0.0);
  pass.delta.assign(n, 0.0);
  pass.preds.assign(n, nullptr);
}

// sigma[v] = sigma[v] + sigma[u], in the pass's count width.
void AddCount(SourcePass& pass, int32_t v, int32_t u) {
  if (pass.counts == COUNTS_DOUBLE) {
    pass.sigma[v] = pass.sigma[v] + pass.sigma[u];
    return;
  }
  const WideCount sum = WideCount_Add(Path_WideCount(pass, v), Path_WideCount(pass, u));
  pass.sigma[v] = sum.mantissa;
  pass.sigmaExponent[v] = sum.exponent;
}

void Relax(const EdgeGraph& graph, int32_t u, SearchMode mode, LengthRule rule,
           SourcePass& pass) {
  auto& dist = pass.dist;
  const bool paths = mode == SEARCH_PATHS;
  for (const List_Cell* cell = EdgeGraph_Head(graph, u); cell != nullptr; cell = cell->next) {
    const int32_t v = cell->node;
    const double x = AddOrdered(dist[u], CellLength(cell->weight, rule));
    if (dist[v] > x || dist[v] == UNREACHED) {
      dist[v] = x;
      if (paths) {
        if (pass.preds[v] != nullptr) pass.preds[v] = List_Delete(pass.preds[v]);
        pass.sigma[v] = 0.0;
        if (pass.counts == COUNTS_WIDE) pass.sigmaExponent[v] = 0;
      }
    }
    // Recomputed from dist[u] as it stands now: a self-loop may have moved it.
    if (paths && AddOrdered(dist[u], CellLength(cell->weight, rule)) == dist[v]) {
      pass.preds[v] = List_Add(pass.preds[v], u, 0.0);
      AddCount(pass, v, u);
    }
  }
}

}  // namespace

void Path_Search(const EdgeGraph& graph, int32_t range, int32_t s, SearchMode mode,
                 LengthRule rule, SourcePass& pass, CountWidth counts) {
  assert(0 <= s && s < range && graph.nameCount <= range);
  Initialise(pass, range, mode, counts);
  int32_t u = s;
  double m = 0.0;
  pass.dist[s] = 0.0;
  if (mode == SEARCH_PATHS) pass.sigma[s] = 1.0;
  if (mode == SEARCH_PATHS && counts == COUNTS_WIDE) {
    const WideCount one = WideCount_Of(1.0);
    pass.sigma[s] = one.mantissa;
    pass.sigmaExponent[s] = one.exponent;
  }

  while (pass.settled[u] == 0 && m != UNREACHED) {
    pass.settled[u] = 1;
    if (mode == SEARCH_PATHS) pass.stack = Stack_Add(pass.stack, u);
    Relax(graph, u, mode, rule, pass);

    // Lowest index wins ties; a NaN is taken only as a scan's first candidate.
    m = UNREACHED;
    for (int32_t i = 0; i < range; ++i) {
      if (pass.settled[i] != 0) continue;
      if (pass.dist[i] == UNREACHED) continue;
      if (pass.dist[i] < m || m == UNREACHED) {
        m = pass.dist[i];
        u = i;
      }
    }
  }
}

bool Path_CountsOverflowed(const SourcePass& pass) {
  assert(pass.counts == COUNTS_DOUBLE && pass.sigma.size() == pass.settled.size());
  // Counts start at 1, only grow by sums and restart at 0: none is NaN.
  for (size_t v = 0; v < pass.settled.size(); ++v) {
    if (pass.settled[v] != 0 && pass.sigma[v] == INFINITY) return true;
  }
  return false;
}
