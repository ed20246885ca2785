// The fast engine's two selection policies; Fast_Search picks one per graph.
// Each runs one search from node s (the graph's numbering) over a workspace
// that FastWorkspace_Reset has cleared and in which s alone holds a distance
// (0) and, in path mode with plain counts, a count (1).
#pragma once

#include <cstdint>

#include "paths/FastGraph.h"
#include "paths/FastWorkspace.h"

// No length negative or NaN: settles nodes by (distance, name) from a heap
// and, on wide frontiers, from a radix queue.
void FastPolicy_Frontier(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws);

// Any lengths: follows the reference scan's selection rule exactly, NaN and
// the UNREACHED mark included.
void FastPolicy_Scan(const FastGraph& graph, int32_t s, SearchMode mode, FastWorkspace& ws);

// A path-mode scan-policy search with wide counts, for any lengths; gives s
// its count (1) itself.
void FastPolicy_ScanWide(const FastGraph& graph, int32_t s, FastWorkspace& ws);
