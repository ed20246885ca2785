// The rows of the two programs made for people, scores and distances, of
// the same kind as the six programs' rows (library/ProgramTable.h), and the
// drivers they run. They read any edge file through the format readers, so
// they live apart from the six, which link the standard library alone.
#pragma once

#include <span>

#include "library/ProgramTable.h"

// scores: the betweenness of every node, exact or estimated.
void Scores_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
                const RunOptions& options, const EngineChoice& engine);

// distances: the shortest distances from a range of sources.
void Distances_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
                   const RunOptions& options, const EngineChoice& engine);

// The two rows, scores then distances.
std::span<const Program> Analyst_Programs();

// The six programs and the two: every program the runners run.
std::span<const Program> Analyst_AllPrograms();
