// Times the two ways of loading one edge-list file: load_time FILE [RUNS].
//   reference  EdgeGraph_Load, the linked lists;
//   fast       EdgeList_Read, then FastGraph_FromEdges: the compressed
//              graph the fast engine searches, built from the lines.
// The two run in turn, RUNS rounds (default 3), so that both see the same
// drift of a shared machine; each prints the names and cells loaded and its
// best wall and CPU time (the fast path also its two steps). On a busy
// machine the CPU time is the steadier figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

#include "graph/EdgeGraph.h"
#include "graph/EdgeList.h"
#include "paths/FastGraph.h"
// The program table moved from programs/ to library/; either tree builds this.
#if __has_include("library/ProgramTable.h")
#include "library/ProgramTable.h"
#else
#include "programs/ProgramTable.h"
#endif

namespace {

struct Best {
  double wall = 1e300, cpu = 1e300;
  void Take(double w, double c) {
    wall = std::min(wall, w);
    cpu = std::min(cpu, c);
  }
};

struct Stopwatch {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  double Wall() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  }
  double Cpu() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: load_time FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  // The widest command-line settings: any name count the file holds fits.
  RunSettings settings = RunSettings_For(Deliverable::Anybridge);
  settings.inputPath = argv[1];
  settings.nodeCapacity = 2147483647;
  Best reference, fast, read, build;
  long long refNames = 0, refCells = 0, fastNames = 0, fastCells = 0;
  try {
    for (int r = 0; r < runs; ++r) {
      {
        const Stopwatch watch;
        const EdgeGraph graph = EdgeGraph_Load(settings);
        reference.Take(watch.Wall(), watch.Cpu());
        refNames = graph.nameCount;
        refCells = 0;
        for (int32_t i = 0; i < graph.nameCount; ++i) {
          for (const List_Cell* c = EdgeGraph_Head(graph, i); c != nullptr; c = c->next) ++refCells;
        }
      }  // the graph is freed here, outside the timed part
      {
        const Stopwatch watch;
        const EdgeList edges = EdgeList_Read(settings);
        const double readWall = watch.Wall(), readCpu = watch.Cpu();
        const Stopwatch buildWatch;
        const FastGraph graph = FastGraph_FromEdges(edges, settings.lengthRule);
        build.Take(buildWatch.Wall(), buildWatch.Cpu());
        read.Take(readWall, readCpu);
        fast.Take(watch.Wall(), watch.Cpu());
        fastNames = graph.nodeCount;
        fastCells = static_cast<long long>(graph.cells.size());
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load_time: %s\n", e.what());
    return 1;
  }
  std::printf("reference: names %lld, cells %lld, best of %d loads: %.3f s wall, %.3f s CPU\n",
              refNames, refCells, runs, reference.wall, reference.cpu);
  std::printf("fast: names %lld, cells %lld, best of %d loads: %.3f s wall, %.3f s CPU "
              "(read %.3f s, build %.3f s wall)\n",
              fastNames, fastCells, runs, fast.wall, fast.cpu, read.wall, build.wall);
  return 0;
}
