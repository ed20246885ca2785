// The vocabulary both path engines share: what a search computes, how it
// holds path counts, and the mark of a node not reached. How a weight
// becomes a length is a rule of the run (graph/EdgeRules.h).
#pragma once

#include "graph/EdgeRules.h"

// Path mode also counts shortest paths and records predecessors; distance
// mode computes distances only.
enum SearchMode { SEARCH_PATHS, SEARCH_DISTANCES };

// How path mode holds its counts. COUNTS_DOUBLE: plain doubles, which turn
// infinite past the largest double. COUNTS_WIDE: a double mantissa and a
// separate exponent (WideCount.h), slower, for a source whose plain counts
// overflowed; the two give the same bits wherever plain ones do not overflow.
enum CountWidth { COUNTS_DOUBLE, COUNTS_WIDE };

// The distance of a node not reached yet; compared exactly, so a distance
// that comes out at exactly -100 reads as unreached too.
constexpr double UNREACHED = -100.0;
