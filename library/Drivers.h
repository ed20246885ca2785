// The drivers of the six programs, as library functions: they take their
// settings, the command-line arguments after the program name and an output
// stream, and report failures by throwing RunError.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "graph/RunSettings.h"

class ProgressMeter;
struct CheckpointPlan;

// How a driver runs, beyond its settings and arguments. The six programs
// run with the defaults; the runner sets threads, progress and checkpoint.
struct RunOptions {
  bool reference = false;  // run the written procedure, the oracle of tests
  unsigned threads = 0;    // 0: every CPU the process may use
  // The fast engine's frontier size for moving from heap to radix queue;
  // unset, the engine's own default. It tunes speed only; tests lower it so
  // that searches move early.
  std::optional<int32_t> heapLimit = std::nullopt;
  ProgressMeter* progress = nullptr;           // a meter to keep up to date, or none
  const CheckpointPlan* checkpoint = nullptr;  // betweenness: where to save and resume
};

using Driver = void (*)(RunSettings settings, const std::vector<std::string>& args,
                        std::ostream& out, const RunOptions& options);

// anybridge, plusbridge, betweenness, linkbridge: one "name score" line per
// node index of the run's range.
void Betweenness_Run(RunSettings settings, const std::vector<std::string>& args,
                     std::ostream& out, const RunOptions& options);

// spanpairs, anypairs: one "source target distance" line per reached pair
// whose second index is above the first, source by source.
void Pairs_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
               const RunOptions& options);
