// The pathsuite library: exact shortest-path betweenness and distances on
// weighted undirected graphs in memory.
#pragma once

#include "pathsuite/betweenness.h"
#include "pathsuite/distances.h"
#include "pathsuite/error.h"
#include "pathsuite/graph.h"
#include "pathsuite/run.h"
#include "pathsuite/text.h"
