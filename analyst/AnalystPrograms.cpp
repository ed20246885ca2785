#include "analyst/AnalystPrograms.h"

#include <algorithm>
#include <vector>

namespace {

#define INPUT_HELP                                                                          \
  "Input: EDGE_FILE, or - for standard input; gzip data is read as such.\n"                 \
  "  --format blank|csv|tsv|mtx   else from the extension (.csv, .tsv, .mtx, also\n"        \
  "                               before .gz) or a %%MatrixMarket banner; else blank\n"     \
  "  --header, --no-header        whether the first line names the columns (default:\n"    \
  "                               recognised)\n"                                            \
  "  --columns SRC,DST[,WEIGHT]   the columns of the ends and the weight, by number\n"      \
  "                               from 1 or by header name; no weight: every edge 1\n"      \
  "  Lines of two fields alone are unweighted (weight 1). # and % lines are\n"              \
  "  comments. Names may be of any length.\n"                                               \
  "  --length inverse|weight|unit edge length 1/(1+w) (default), w, or 1\n"

#define NUMBER_HELP                                                                         \
  "Output:\n"                                                                               \
  "  --digits N                   N decimals (0 to 30; default 6, as printf's %f)\n"        \
  "  --exact                      the shortest text that reads back to the same double\n"   \
  "  --csv                        a header line and commas (names quoted as RFC 4180)\n"

#define RUNNER_HELP                                                                         \
  "The runner's options may stand anywhere too: --threads N, --progress,\n"                 \
  "--no-progress, --output FILE, --checkpoint FILE, --checkpoint-every S.\n"                \
  "Options are written --name VALUE or --name=VALUE. After --, the runner\n"                \
  "takes no more of its own: what follows is this program's.\n"                             \
  "  -h, --help                   this text\n"

constexpr const char kScoresHelp[] =
    "usage: scores EDGE_FILE [OPTIONS]\n"
    "Prints the shortest-path betweenness of every node of EDGE_FILE: one\n"
    "\"name score\" line per node, in order of first appearance. Ordered pairs:\n"
    "each unordered pair counts twice, as the betweenness programs print it.\n"
    "\n" INPUT_HELP "\n" NUMBER_HELP
    "  --normalized                 over (n-1)(n-2), as NetworkX normalises an\n"
    "                               undirected graph's betweenness\n"
    "  --top K                      the K highest scores, highest first, ties in node\n"
    "                               order\n"
    "\n"
    "Estimates (one search per source drawn, folded in source order):\n"
    "  --sample K                   K sources drawn without replacement, the scores\n"
    "                               scaled by n/K; --sample n is the exact run\n"
    "  --epsilon E [--delta D]      as many sources as make every node's normalised\n"
    "                               estimate within E of its exact normalised score\n"
    "                               with probability at least 1-D (default D 0.1):\n"
    "                               K = ceil((n/(n-1))^2 ln(2n/D) / (2 E^2)), at most n\n"
    "                               (Hoeffding's bound, a union over the n nodes)\n"
    "  --adaptive                   with --epsilon: check at 2, 4, 8, ... sources with\n"
    "                               the empirical variance and stop once every node's\n"
    "                               interval is within E (at most K for D/2)\n"
    "  --seed S                     the draw's seed (default 1); the same seed, the\n"
    "                               same sources and bytes on any thread count\n"
    "\n" RUNNER_HELP;

constexpr const char kDistancesHelp[] =
    "usage: distances EDGE_FILE [OPTIONS]\n"
    "Prints the shortest distances of EDGE_FILE: one \"source target distance\"\n"
    "line per pair joined by a path, the lower node index first, source by\n"
    "source, nodes numbered from 0 in order of first appearance.\n"
    "\n" INPUT_HELP
    "  --sources FIRST..LAST        only these sources (node indices, both included)\n"
    "\n" NUMBER_HELP "\n" RUNNER_HELP;

#undef INPUT_HELP
#undef NUMBER_HELP
#undef RUNNER_HELP

constexpr const char kArguments[] = " EDGE_FILE [OPTIONS]";

// Name width and capacity do not apply: names are of any length, and the
// graph holds whatever the file names.
constexpr Program kRows[] = {
    {Deliverable::Scores, "scores", 0, 0, 0, Dataset::AnyFile, LENGTH_RECIPROCAL, EdgeFilter::None,
     Scores_Run, Prints::Scores, kArguments,
     "Prints the betweenness of every node of an edge file, exact or estimated.", true,
     kScoresHelp},
    {Deliverable::Distances, "distances", 0, 0, 0, Dataset::AnyFile, LENGTH_RECIPROCAL,
     EdgeFilter::None, Distances_Run, Prints::Distances, kArguments,
     "Prints the shortest distances of an edge file.", true, kDistancesHelp},
};

}  // namespace

std::span<const Program> Analyst_Programs() { return kRows; }

std::span<const Program> Analyst_AllPrograms() {
  static const std::vector<Program> all = [] {
    std::vector<Program> rows(Program_All().begin(), Program_All().end());
    rows.insert(rows.end(), std::begin(kRows), std::end(kRows));
    return rows;
  }();
  return all;
}
