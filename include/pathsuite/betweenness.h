// Shortest-path betweenness: for every node, the sum over every source s
// and every target t of the share of shortest s-t paths that pass through
// the node. Ordered pairs: on an undirected graph each unordered pair counts
// twice, so a node on every shortest path between two others scores 2.
// Exact: the same bits on any thread count, and the bits the programs
// print.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pathsuite/graph.h"
#include "pathsuite/run.h"

namespace pathsuite {

class Betweenness {
 public:
  explicit Betweenness(Graph graph, Length length = Length::Inverse)
      : graph_(std::move(graph)), length_(length) {}

  // Runs every source. Throws Error for a checkpoint that cannot be read,
  // written or belongs to another run, or that another run holds (a run
  // holds path.lock, beside it, until it ends), Cancelled when
  // options.cancel was set, std::bad_alloc when memory runs out even for
  // one thread. A checkpoint is removed once the run completes: the scores
  // are then here.
  void Run(const RunOptions& options = {});

  // The score of every node, by index; empty before Run.
  const std::vector<double>& Scores() const { return scores_; }
  std::vector<double> TakeScores() { return std::move(scores_); }

 private:
  Graph graph_;
  Length length_;
  std::vector<double> scores_;
};

// Scales scores as normalised betweenness of an undirected graph of
// scores.size() nodes: by 1 / ((n-1)(n-2)), computed as that quotient and
// then multiplied in; unchanged for n <= 2.
void NormalizeScores(std::span<double> scores);

}  // namespace pathsuite
