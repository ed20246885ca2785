// Times one source's search and accumulation against the ordered fold of
// its values into the scores, the step every thread's results pass through
// one lane at a time: fold_cost FILE [SAMPLES]. The ratio is the number of
// threads one fold lane keeps up with.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "graph/EdgeGraph.h"
#include "paths/FastEngine.h"
#include "library/ProgramTable.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fold_cost FILE [SAMPLES]\n");
    return 2;
  }
  const int samples = argc > 2 ? std::atoi(argv[2]) : 200;
  RunSettings settings = RunSettings_For(Deliverable::Anybridge);
  settings.inputPath = argv[1];
  settings.nodeCapacity = 2147483647;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  const FastGraph fast = FastGraph_Build(graph, settings.lengthRule);
  FastWorkspace ws;
  FastWorkspace_Init(ws, fast);
  std::vector<double> scores(static_cast<size_t>(fast.nodeCount), 0.0);
  std::vector<int32_t> nodes;
  std::vector<double> values;
  using Clock = std::chrono::steady_clock;
  double searchSeconds = 0, foldSeconds = 0;
  long long folded = 0;
  const int32_t step = std::max(1, fast.nodeCount / samples);
  int runs = 0;
  for (int32_t s = 0; s < fast.nodeCount && runs < samples; s += step, ++runs) {
    nodes.clear();
    values.clear();
    const auto t0 = Clock::now();
    Fast_Search(fast, s, SEARCH_PATHS, ws);
    Fast_Accumulate(s, ws, [&](int32_t w, double v) {
      nodes.push_back(w);
      values.push_back(v);
    });
    const auto t1 = Clock::now();
    for (size_t k = 0; k < nodes.size(); ++k) {
      double& score = scores[static_cast<size_t>(nodes[k])];
      score = AddOrdered(values[k], score);
    }
    const auto t2 = Clock::now();
    searchSeconds += std::chrono::duration<double>(t1 - t0).count();
    foldSeconds += std::chrono::duration<double>(t2 - t1).count();
    folded += static_cast<long long>(nodes.size());
  }
  const double search = searchSeconds / runs * 1e6, fold = foldSeconds / runs * 1e6;
  std::printf("%d names, %d sources: search %.1f us, fold %.2f us (%.2f ns a value), "
              "one lane keeps up with %.0f threads\n",
              fast.nodeCount, runs, search, fold, foldSeconds * 1e9 / static_cast<double>(folded),
              search / fold);
  return scores[0] == 12345.0;  // keeps the fold from being optimised away
}
