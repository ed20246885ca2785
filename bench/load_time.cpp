// Times EdgeGraph_Load on one edge-list file: load_time FILE [RUNS].
// Prints the names and cells loaded and the best wall and CPU time of the
// runs; on a busy machine the CPU time is the steadier figure.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "graph/EdgeGraph.h"
#include "library/ProgramTable.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: load_time FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  // The widest command-line settings: any name count the file holds fits.
  RunSettings settings = RunSettings_For(Deliverable::Anypairs);
  settings.inputPath = argv[1];
  settings.nodeCapacity = 2147483647;
  double best = 1e300, bestCpu = 1e300;
  long long names = 0, cells = 0;
  try {
    for (int r = 0; r < runs; ++r) {
      const auto start = std::chrono::steady_clock::now();
      const std::clock_t cpuStart = std::clock();
      const EdgeGraph graph = EdgeGraph_Load(settings);
      const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      if (took.count() < best) best = took.count();
      if (cpu < bestCpu) bestCpu = cpu;
      names = graph.nameCount;
      cells = 0;
      for (int32_t i = 0; i < graph.nameCount; ++i) {
        for (const List_Cell* c = EdgeGraph_Head(graph, i); c != nullptr; c = c->next) ++cells;
      }
      // The graph is freed here, outside the timed part.
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load_time: %s\n", e.what());
    return 1;
  }
  std::printf("names %lld, cells %lld, best of %d loads: %.3f s wall, %.3f s CPU\n", names, cells,
              runs, best, bestCpu);
  return 0;
}
