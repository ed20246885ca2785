// The drivers of the programs: each takes its program's settings, the
// command-line arguments after the program's name, an output stream and the
// run's options, and reports failures by throwing RunError.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "graph/RunSettings.h"
#include "pathsuite/run.h"

using pathsuite::RunOptions;

// How a driver searches: the reference search and accumulation, which
// define every result and are the oracle of the tests, or the fast engine,
// whose move from heap to radix queue past heapLimit frontier nodes tunes
// speed only (tests lower it, so that searches move early). The programs
// take the defaults.
struct EngineChoice {
  bool reference = false;
  std::optional<int32_t> heapLimit = std::nullopt;
};

using Driver = void (*)(RunSettings settings, const std::vector<std::string>& args,
                        std::ostream& out, const RunOptions& options, const EngineChoice& engine);

// anybridge, plusbridge, betweenness, linkbridge: one "name score" line per
// node index of the run's range. The reference takes no checkpoint. With a
// checkpoint, the caller holds its lock and removes it once the listing is
// safe: only it knows where the listing went.
void Betweenness_Run(RunSettings settings, const std::vector<std::string>& args,
                     std::ostream& out, const RunOptions& options, const EngineChoice& engine);

// spanpairs, anypairs: one "source target distance" line per reached pair
// whose second index is above the first, source by source.
void Pairs_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
               const RunOptions& options, const EngineChoice& engine);
