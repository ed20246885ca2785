// The steps of the two drivers, for the cluster front end, which takes them
// one by one and runs the sources on several machines in between.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "graph/EdgeGraph.h"
#include "graph/EdgeList.h"
#include "library/Checkpoint.h"
#include "library/Drivers.h"
#include "library/Output.h"
#include "pathsuite/distances.h"

// A betweenness run's graph, the node range of its listing, and what a
// checkpoint of it must agree with.
struct ScoreInput {
  EdgeList edges;
  int32_t range = 0;
  CheckpointIdentity identity = {};
};

// Reads the command line and loads the graph, as the program does.
ScoreInput Betweenness_Load(RunSettings settings, const std::vector<std::string>& args);

// The scores of the reference engine, one entry per name: only named sources
// run (the others reach nothing), and a source whose counts overflowed is
// searched again with wide counts.
std::vector<double> Betweenness_ReferenceScores(const EdgeGraph& graph, LengthRule rule);

// Writes the listing: a "name score" line for each index below range, the
// empty name and 0 beyond the named nodes.
void Betweenness_WriteListing(const NameList& names, int32_t range,
                              std::span<const double> scores, std::ostream& out);

// The sources of a distance run, both ends included; first > last runs none.
struct SourceRange {
  int64_t first;
  int64_t last;
};

struct RowsInput {
  EdgeList edges;
  SourceRange range{0, -1};
};

// Reads the command line, loads the graph and checks the source range, as
// the program does; the range is cut to the named sources.
RowsInput Pairs_Load(RunSettings settings, const std::vector<std::string>& args);

// The programs' distance lines, "source target distance", written to out in
// source order.
class PairsSink final : public pathsuite::DistanceSink {
 public:
  PairsSink(const NameList& names, std::ostream& out) : names_(names), out_(out) {}
  void Take(TextBuffer& buffer, int32_t source, std::span<const int32_t> targets,
            std::span<const double> distances) override;
  void Emit(TextBuffer& buffer) override;

 private:
  const NameList& names_;
  std::ostream& out_;
};
