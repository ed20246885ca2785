// The reference search and accumulation's doubles in full, for the tests of
// front ends that print or return them at their own precision:
//   reference_dump betweenness FILE RULE   one "%.17g" score a line
//   reference_dump distances FILE RULE     "s t %.17g" for every reached pair
// RULE: inverse, weight or unit. Names of up to 64 bytes.
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>

#include "graph/EdgeGraph.h"
#include "paths/Path_Accumulate.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: reference_dump betweenness|distances FILE inverse|weight|unit\n");
    return 2;
  }
  const bool scores = std::strcmp(argv[1], "betweenness") == 0;
  const LengthRule rule = std::strcmp(argv[3], "weight") == 0 ? LENGTH_STORED
                          : std::strcmp(argv[3], "unit") == 0 ? LENGTH_UNIT
                                                              : LENGTH_RECIPROCAL;
  RunSettings settings{};
  settings.nameWidth = 64;
  settings.slotWidth = 65;
  settings.nodeCapacity = INT32_MAX;
  settings.inputPath = argv[2];
  settings.hashSizeHint = 8000;
  try {
    const EdgeGraph graph = EdgeGraph_Load(settings);
    const int32_t n = graph.nameCount;
    SourcePass pass;
    std::vector<double> total(static_cast<size_t>(n), 0.0);
    for (int32_t s = 0; s < n; ++s) {
      if (!scores) {
        Path_Search(graph, n, s, SEARCH_DISTANCES, rule, pass);
        for (int32_t j = 0; j < n; ++j) {
          if (pass.settled[j] != 0) std::printf("%d %d %.17g\n", s, j, pass.dist[j]);
        }
        continue;
      }
      Path_Search(graph, n, s, SEARCH_PATHS, rule, pass);
      if (Path_CountsOverflowed(pass)) Path_Search(graph, n, s, SEARCH_PATHS, rule, pass, COUNTS_WIDE);
      Path_Accumulate(pass, n, s, total);
    }
    if (scores) {
      for (const double score : total) std::printf("%.17g\n", score);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "reference_dump: %s\n", e.what());
    return 1;
  }
  return 0;
}
