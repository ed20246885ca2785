// Shortest distances from a range of sources, delivered row by row: the
// nodes each source reaches, in ascending index order, with their
// distances. Exact: the bits the programs print, on any thread count.
#pragma once

#include <cstdint>
#include <span>

#include "pathsuite/graph.h"
#include "pathsuite/run.h"
#include "pathsuite/text.h"

namespace pathsuite {

// Which reached nodes a row holds: every one (the source too, at distance
// 0), or only those of higher index than the source, as the programs list
// each pair once.
enum class Targets { All, Above };

// Receives the rows of a run. Several threads call Take at once, each for
// its own sources and with its own buffer, so that rows are formatted in
// parallel; Emit is called one buffer at a time, in source order, with the
// rows taken into that buffer since its last Emit. A run holds a buffer's
// text at most about 1 MiB before it emits it.
class DistanceSink {
 public:
  virtual ~DistanceSink() = default;
  // targets[k] is reached at distances[k]; targets ascend.
  virtual void Take(TextBuffer& buffer, int32_t source, std::span<const int32_t> targets,
                    std::span<const double> distances) = 0;
  virtual void Emit(TextBuffer& buffer) = 0;
};

class Distances {
 public:
  // Sources begin .. end-1, within 0 .. graph.NodeCount(); Run throws Error
  // (kind Usage) otherwise.
  Distances(Graph graph, Length length, int64_t begin, int64_t end, Targets targets = Targets::All)
      : graph_(std::move(graph)), length_(length), begin_(begin), end_(end), targets_(targets) {}

  // Delivers every source's row to sink. Throws Cancelled when
  // options.cancel was set, whatever sink throws (the run then stops), and
  // std::bad_alloc when memory runs out. options.checkpoint must be unset.
  void Run(DistanceSink& sink, const RunOptions& options = {});

 private:
  Graph graph_;
  Length length_;
  int64_t begin_;
  int64_t end_;
  Targets targets_;
};

}  // namespace pathsuite
