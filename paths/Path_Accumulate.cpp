#include "paths/Path_Accumulate.h"

#include "paths/OrderedMath.h"

void Path_Accumulate(SourcePass& pass, int32_t range, int32_t s, std::vector<double>& scores) {
  auto& delta = pass.delta;
  const auto& sigma = pass.sigma;
  while (pass.stack != nullptr) {
    const int32_t w = pass.stack->node;
    if (w != s) {
      for (const List_Cell* cell = pass.preds[w]; cell != nullptr; cell = cell->next) {
        const int32_t v = cell->node;
        if (pass.counts == COUNTS_DOUBLE) {
          delta[v] = ShareOrdered(delta[w], sigma[v], sigma[w], delta[v]);
        } else {
          const double ratio = WideCount_Ratio(Path_WideCount(pass, v), Path_WideCount(pass, w));
          delta[v] = ShareOfRatio(delta[w], ratio, delta[v]);
        }
      }
      scores[w] = AddOrdered(delta[w], scores[w]);
    }
    pass.stack = Stack_Pop(pass.stack);
  }
  for (int32_t i = 0; i < range; ++i) {
    if (pass.preds[i] != nullptr) pass.preds[i] = List_Delete(pass.preds[i]);
  }
}
