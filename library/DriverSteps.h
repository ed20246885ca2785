// The steps of the two drivers, for the cluster front end, which takes them
// one by one and runs the sources on several machines in between.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "graph/EdgeGraph.h"
#include "paths/FastGraph.h"
#include "library/Checkpoint.h"
#include "library/Drivers.h"

// A betweenness run's graph, the node range of its listing, and what a
// checkpoint of it must agree with.
struct ScoreInput {
  EdgeGraph graph;
  int32_t range = 0;
  CheckpointIdentity identity = {};
};

// Where a betweenness run starts: its first source and the scores so far.
struct ScoreRun {
  std::vector<double> scores;
  int64_t sourcesDone = 0;
};

// Reads the command line and loads the graph, as the program does.
ScoreInput Betweenness_Load(RunSettings settings, const std::vector<std::string>& args);

// A fresh run, or the state of options.checkpoint when there is one; also
// checks that a checkpoint can be written there.
ScoreRun Betweenness_Resume(const ScoreInput& input, const RunOptions& options);

// Writes the listing of the final scores and removes the checkpoint.
void Betweenness_WriteListing(const ScoreInput& input, const std::vector<double>& scores,
                              const RunOptions& options, std::ostream& out);

// The sources of a distance run, both ends included; first > last runs none.
struct SourceRange {
  int64_t first;
  int64_t last;
};

struct RowsInput {
  EdgeGraph graph;
  SourceRange range{0, -1};
};

// Reads the command line, loads the graph and checks the source range, as
// the program does; the range is cut to the named sources.
RowsInput Pairs_Load(RunSettings settings, const std::vector<std::string>& args);

// Writes the rows of sources range.first .. range.last, searched on fast;
// names only need the graph's names.
void Pairs_WriteRows(const EdgeGraph& names, const FastGraph& fast, SourceRange range,
                     const RunOptions& options, std::ostream& out);
