// The steps of a distances run before its searches, shared by the runner's
// driver and the cluster's ranks: the options, the graph and the sources.
#pragma once

#include <string>
#include <vector>

#include "analyst/AnalystOptions.h"
#include "graph/EdgeList.h"
#include "library/DriverSteps.h"

struct DistancesJob {
  AnalystOptions options;
  EdgeList edges;
  SourceRange range{0, -1};  // both ends included; first > last: none
};

// Reads the options and the graph (telling progress as it reads) and
// checks --sources against the node count: RunError with the usage status
// for a range beyond it.
DistancesJob Distances_Prepare(const std::vector<std::string>& args, const ReadProgress& progress);
