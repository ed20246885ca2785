// The reference back-propagation of one path-mode search into betweenness
// scores.
#pragma once

#include <cstdint>
#include <vector>

#include "paths/Path_Search.h"

// Pops the settle stack from the top; every popped node w other than s hands
// each predecessor v (list order) ((1 + delta[w]) * (sigma[v] / sigma[w]))
// and then adds delta[w] into scores[w], the ratio of counts taken in the
// width the search held them. Finally releases every predecessor list.
// scores needs range entries.
void Path_Accumulate(SourcePass& pass, int32_t range, int32_t s, std::vector<double>& scores);
