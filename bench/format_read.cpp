// Times reading one edge file: format_read [OPTIONS] FILE [RUNS].
//   --programs          read it as the programs do (EdgeList_Read, anypairs'
//                       settings with the widest capacity) instead of with
//                       Formats_Read
//   --format WORD       blank, csv, tsv or mtx
//   --header yes|no
//   --columns SRC,DST[,WEIGHT]
// Prints the names and edges read, a hash of the EdgeList (names, ends and
// weights' bits: equal for two files that read as the same graph), and the
// best wall and CPU time of the runs.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <string>

#include "graph/ByteHash.h"
#include "graph/EdgeList.h"
#include "graph/formats/Formats.h"
#include "library/ProgramTable.h"

namespace {

uint64_t GraphHash(const EdgeList& edges) {
  ByteHash hash;
  for (int32_t i = 0; i < edges.NodeCount(); ++i) {
    const std::string_view name = edges.names.Name(i);
    const uint64_t size = name.size();
    hash.Update(&size, sizeof size);
    hash.Update(name.data(), name.size());
  }
  hash.Update(edges.ends.data(), edges.ends.size() * sizeof(int32_t));
  hash.Update(edges.weights.data(), edges.weights.size() * sizeof(double));
  return hash.Final();
}

}  // namespace

int main(int argc, char** argv) {
  ReadOptions options;
  bool programs = false;
  int runs = 3;
  int at = 1;
  try {
    for (; at < argc && std::strncmp(argv[at], "--", 2) == 0; ++at) {
      const std::string option = argv[at];
      if (option == "--programs") {
        programs = true;
        continue;
      }
      if (at + 1 >= argc) throw std::runtime_error(option + " needs a value");
      const std::string value = argv[++at];
      if (option == "--format") {
        const auto format = Formats_Named(value);
        if (!format) throw std::runtime_error("unknown format " + value);
        options.format = *format;
      } else if (option == "--header") {
        options.header = value == "yes" ? HeaderChoice::Yes : HeaderChoice::No;
      } else if (option == "--columns") {
        options.columns = Formats_ParseColumns(value);
      } else {
        throw std::runtime_error("unknown option " + option);
      }
    }
    if (at >= argc) {
      std::fprintf(stderr, "usage: format_read [--programs] [--format F] [--header yes|no] "
                           "[--columns C] FILE [RUNS]\n");
      return 2;
    }
    options.path = argv[at];
    if (at + 1 < argc) runs = std::atoi(argv[at + 1]);
    RunSettings settings = RunSettings_For(Deliverable::Anypairs);
    settings.inputPath = options.path;
    settings.nodeCapacity = 2147483647;
    double best = 1e300, bestCpu = 1e300;
    int32_t names = 0;
    size_t lines = 0;
    uint64_t hash = 0;
    for (int r = 0; r < runs; ++r) {
      const auto start = std::chrono::steady_clock::now();
      const std::clock_t cpuStart = std::clock();
      const EdgeList edges = programs ? EdgeList_Read(settings) : Formats_Read(options);
      const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      if (took.count() < best) best = took.count();
      if (cpu < bestCpu) bestCpu = cpu;
      names = edges.NodeCount();
      lines = edges.EdgeCount();
      hash = GraphHash(edges);
    }
    std::printf("names %d, edges %zu, graph %016llx, best of %d reads: %.3f s wall, %.3f s CPU\n",
                names, lines, static_cast<unsigned long long>(hash), runs, best, bestCpu);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "format_read: %s\n", e.what());
    return 1;
  }
  return 0;
}
