// Times the fast engine's betweenness work a source, on one thread, and the
// memory floor of any search over the same graph:
//   search_cost FILE [SOURCES] [FLOOR_ROUNDS]
// SOURCES sources spread evenly over the names (default 8) are searched in
// path mode and accumulated; each phase is timed apart, by the wall clock
// and by the thread's CPU time. The floor kernel
// then takes each source's settle order and, with no queue and no
// accumulation, walks it: the cells of each node in turn and, for every
// cell, a load of its neighbour's distance (gathers only, all independent).
// Its time is what a search that must look at every arc pays to memory.
// It uses only what every version of the engine has, so that bench/scale.sh
// can build it against an older tree to compare. Built with
// -DSEARCH_COST_NUMBERING=FAST_BY_NAME (trees that number the nodes their
// own way), the graph keeps node i as name i; linked with
// bench/no_huge_pages.cpp, the engine's large arrays stay on ordinary pages.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <vector>

#include "graph/EdgeList.h"
#include "paths/FastEngine.h"
// The program table moved from programs/ to library/; either tree builds this.
#if __has_include("library/ProgramTable.h")
#include "library/ProgramTable.h"
#else
#include "programs/ProgramTable.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// This thread's CPU time, in seconds: on a shared machine it leaves out the
// time another job held the CPU, which the wall clock counts.
double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// One node state per node, as small as a distance: the floor's gathers.
double FloorWalk(const FastGraph& graph, const std::vector<int32_t>& order,
                 const std::vector<double>& dist) {
  double sum = 0.0;
  for (const int32_t u : order) {
    const auto at = static_cast<size_t>(u);
    for (uint64_t k = graph.offsets[at]; k < graph.offsets[at + 1]; ++k) {
      sum += dist[static_cast<size_t>(graph.cells[k].target)];
    }
  }
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: search_cost FILE [SOURCES] [FLOOR_ROUNDS]\n");
    return 2;
  }
  const int sources = argc > 2 ? std::max(1, std::atoi(argv[2])) : 8;
  const int floorRounds = argc > 3 ? std::max(0, std::atoi(argv[3])) : 3;  // 0: no floor
  RunSettings settings = RunSettings_For(Deliverable::Anybridge);
  settings.inputPath = argv[1];
  settings.nodeCapacity = 2147483647;
  try {
    auto start = Clock::now();
    const EdgeList edges = EdgeList_Read(settings);
    const double readSeconds = Since(start);
    start = Clock::now();
#ifdef SEARCH_COST_NUMBERING  // e.g. FAST_BY_NAME, to time a numbering of the engine's
    const FastGraph fast = FastGraph_FromEdges(edges, settings.lengthRule, SEARCH_COST_NUMBERING);
#else
    const FastGraph fast = FastGraph_FromEdges(edges, settings.lengthRule);
#endif
    const double buildSeconds = Since(start);
    FastWorkspace ws;
    FastWorkspace_Init(ws, fast);
    std::vector<int32_t> nodes(static_cast<size_t>(fast.nodeCount));
    std::vector<double> values(static_cast<size_t>(fast.nodeCount));
    std::vector<double> searchT, accumulateT, floorT, searchC, accumulateC, floorC;
    std::vector<std::vector<int32_t>> orders;
    double arcs = 0, settled = 0, links = 0, check = 0, dependencies = 0;
    const int32_t step = std::max(1, fast.nodeCount / sources);
    for (int32_t s = 0, run = 0; s < fast.nodeCount && run < sources; s += step, ++run) {
      double cpu = ThreadCpu();
      start = Clock::now();
      Fast_Search(fast, s, SEARCH_PATHS, ws);
      searchT.push_back(Since(start));
      searchC.push_back(ThreadCpu() - cpu);
      cpu = ThreadCpu();
      start = Clock::now();
      size_t n = 0;
      Fast_Accumulate(s, ws, [&](int32_t w, double value) {
        nodes[n] = w;
        values[n] = value;
        ++n;
      });
      accumulateT.push_back(Since(start));
      accumulateC.push_back(ThreadCpu() - cpu);
      for (const int32_t u : ws.order) {
        const auto at = static_cast<size_t>(u);
        arcs += static_cast<double>(fast.offsets[at + 1] - fast.offsets[at]);
      }
      settled += static_cast<double>(ws.order.size());
      links += static_cast<double>(ws.linkCount);
      check += n > 0 ? values[n / 2] : 0.0;
      for (size_t k = 0; k < n; ++k) dependencies += values[k];
      orders.push_back(ws.order);
    }
    const auto runs = static_cast<double>(searchT.size());
    // The floor, after the searches: its distances are a fresh array, so no
    // search state helps it.
    std::vector<double> dist(static_cast<size_t>(fast.nodeCount), 1.0);
    for (int round = 0; round < floorRounds; ++round) {
      for (const std::vector<int32_t>& order : orders) {
        const double cpu = ThreadCpu();
        start = Clock::now();
        check += FloorWalk(fast, order, dist);
        floorT.push_back(Since(start));
        floorC.push_back(ThreadCpu() - cpu);
      }
    }
    const double search = Median(searchT), accumulate = Median(accumulateT);
    const double floor = floorT.empty() ? 0.0 : Median(floorT);
    const double arcsPer = arcs / runs, nodesPer = settled / runs;
    std::printf("%s: %d names, %zu cells; read %.3f s, build %.3f s\n", argv[1], fast.nodeCount,
                fast.cells.size(), readSeconds, buildSeconds);
    std::printf("%d sources: %.0f nodes settled, %.0f arcs relaxed, %.0f predecessor links a source\n",
                static_cast<int>(runs), nodesPer, arcsPer, links / runs);
    std::printf("median a source: search %.2f ms, accumulation %.2f ms, total %.2f ms\n",
                search * 1e3, accumulate * 1e3, (search + accumulate) * 1e3);
    std::printf("median a source, CPU time: search %.2f ms, accumulation %.2f ms, total %.2f ms cpu\n",
                Median(searchC) * 1e3, Median(accumulateC) * 1e3,
                (Median(searchC) + Median(accumulateC)) * 1e3);
    std::printf("sum of dependencies %.15e\n", dependencies);
    std::printf("per arc: search %.2f ns, total %.2f ns; per node: total %.1f ns\n",
                search * 1e9 / arcsPer, (search + accumulate) * 1e9 / arcsPer,
                (search + accumulate) * 1e9 / nodesPer);
    if (!floorT.empty()) {
      std::printf("floor: %.2f ms a source (%.2f ns an arc); ours / floor %.2f\n", floor * 1e3,
                  floor * 1e9 / arcsPer, (search + accumulate) / floor);
      std::printf("floor, CPU time: %.2f ms a source\n", Median(floorC) * 1e3);
    }
    return check == 0.123456789 ? 1 : 0;  // keeps the work from being optimised away
  } catch (const std::exception& e) {
    std::fprintf(stderr, "search_cost: %s\n", e.what());
    return 1;
  }
}
