#include "library/ProgramTable.h"

#include <climits>
#include <filesystem>
#include <stdexcept>
#include <system_error>

// Where the bundled datasets lie, seen from the directory of the program.
#ifndef DATA_DIR_FROM_BIN
#define DATA_DIR_FROM_BIN "../share/pathsuite"
#endif

namespace {

constexpr int32_t kFixedCapacity = 17039;
constexpr const char* kFileArguments = " EDGE_FILE IGNORED NODE_CAPACITY";
// Where a fixed-path program points a FILE of the user's (the runner's row
// of that name reads any edge file).
constexpr const char* kScoresProgram = "scores";

// Line widths: 2 x (L + 32), 2 x (L + 6) and 2 x (L + 1) + 25 for name
// widths 20, 15 and 16.
constexpr Program kPrograms[] = {
    {Deliverable::Anybridge, "anybridge", 20, 104, 0, Dataset::CommandLine, LENGTH_RECIPROCAL,
     EdgeFilter::None, Betweenness_Run, Prints::Scores, kFileArguments,
     "Prints the shortest-path betweenness of every node of EDGE_FILE."},
    {Deliverable::Plusbridge, "plusbridge", 15, 42, kFixedCapacity, Dataset::Main,
     LENGTH_RECIPROCAL, EdgeFilter::Positive, Betweenness_Run, Prints::Scores, "",
     "Prints the shortest-path betweenness of every node of its dataset.", false, nullptr,
     kScoresProgram},
    {Deliverable::Betweenness, "betweenness", 15, 42, kFixedCapacity, Dataset::Main,
     LENGTH_RECIPROCAL, EdgeFilter::None, Betweenness_Run, Prints::Scores, "",
     "Prints the shortest-path betweenness of every node of its dataset.", false, nullptr,
     kScoresProgram},
    {Deliverable::Linkbridge, "linkbridge", 15, 42, kFixedCapacity, Dataset::Companion,
     LENGTH_RECIPROCAL, EdgeFilter::None, Betweenness_Run, Prints::Scores, "",
     "Prints the shortest-path betweenness of every node of its degree-corrected dataset.", false,
     nullptr, kScoresProgram},
    {Deliverable::Spanpairs, "spanpairs", 15, 42, kFixedCapacity, Dataset::Main,
     LENGTH_RECIPROCAL, EdgeFilter::None, Pairs_Run, Prints::Distances, " FIRST_SOURCE LAST_SOURCE",
     "Prints the shortest distances from a range of sources of its dataset."},
    {Deliverable::Anypairs, "anypairs", 16, 59, 0, Dataset::CommandLine, LENGTH_STORED,
     EdgeFilter::None, Pairs_Run, Prints::Distances, kFileArguments,
     "Prints the shortest distance of every pair of connected nodes of EDGE_FILE."},
};

constexpr bool TableFollowsDeliverables() {
  for (size_t i = 0; i < std::size(kPrograms); ++i) {
    if (static_cast<size_t>(kPrograms[i].id) != i) return false;
  }
  return true;
}
static_assert(TableFollowsDeliverables(), "rows must stand in the order of Deliverable");

// The bundled dataset `file`, found from the running executable's real
// location (symbolic links to it resolved), so one layout serves the build
// tree and any installation wherever it is put. Without /proc the path is
// left relative to the working directory, and a failed open names it.
[[maybe_unused]] std::string BundledDataset(const char* file) {
  const std::filesystem::path data = std::filesystem::path(DATA_DIR_FROM_BIN) / file;
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return data.string();
  return (exe.parent_path() / data).lexically_normal().string();
}

// A dataset path given at configuration wins over the bundled file.
std::string DatasetPath(Dataset dataset) {
  switch (dataset) {
    case Dataset::CommandLine:
    case Dataset::AnyFile:
      return "";
    case Dataset::Main:
#ifdef MAIN_DATASET_PATH
      return MAIN_DATASET_PATH;
#else
      return BundledDataset("main.txt");
#endif
    case Dataset::Companion:
#ifdef COMPANION_DATASET_PATH
      return COMPANION_DATASET_PATH;
#else
      return BundledDataset("companion.txt");
#endif
  }
  throw std::logic_error("unknown dataset");
}

std::string LengthText(LengthRule rule) {
  return rule == LENGTH_RECIPROCAL ? "1/(1+w)" : "w as read";
}

}  // namespace

std::span<const Program> Program_All() { return kPrograms; }

const Program& Program_Of(Deliverable which) {
  const auto row = static_cast<size_t>(which);
  if (row >= std::size(kPrograms)) throw std::logic_error("not a row of the six programs' table");
  return kPrograms[row];
}

const Program* Program_Find(std::string_view name) {
  for (const Program& p : kPrograms) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

bool Program_IsBetweenness(const Program& program) { return program.prints == Prints::Scores; }

RunSettings RunSettings_For(Deliverable which) { return RunSettings_For(Program_Of(which)); }

std::string Program_Asks(const Program& program, const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "--version") return arg;
    if (!program.runnerOptionsAfterName) break;
    if (arg == "-h") return "--help";
    if (arg == "--") break;
  }
  return "";
}

RunSettings RunSettings_For(const Program& p) {
  return RunSettings{p.name,
                     Program_Usage(p),
                     p.nameWidth,
                     p.nameWidth + 1,
                     p.lineWidth,
                     p.capacity,
                     p.dataset == Dataset::CommandLine,
                     DatasetPath(p.dataset),
                     p.lengthRule,
                     p.edgeFilter,
                     8000};
}

std::string Program_Usage(const Program& program) {
  return std::string("usage: ") + program.name + program.arguments;
}

std::string Program_Help(const Program& p, const RunSettings& settings) {
  if (p.help != nullptr) return p.help;
  const std::string name = p.name;
  const bool fromCommandLine = p.dataset == Dataset::CommandLine;
  std::string text = Program_Usage(p) + "\n       " + name + " --help | --version\n" +
                     p.summary + "\n";
  text += "Input: one edge per line, two names (at most " + std::to_string(p.nameWidth) +
          " bytes each) and a weight w" +
          (p.edgeFilter == EdgeFilter::Positive ? ";\nonly lines with w above 0 are used.\n"
                                                : ".\n");
  text += "Edge length: " + LengthText(p.lengthRule) + ".\n";
  if (fromCommandLine) {
    text += "IGNORED may be any text. NODE_CAPACITY, from 1 to " + std::to_string(INT_MAX) +
            ", bounds the\nnumber of distinct names.\n";
  }
  if (Program_IsBetweenness(p)) {
    text += fromCommandLine
                ? "Output: one \"name score\" line per name, in order of first appearance.\n"
                : "Output: one \"name score\" line for each of the " +
                      std::to_string(p.capacity) + " node indices.\n";
  } else if (fromCommandLine) {
    text += "Output: one \"source target distance\" line per connected pair, lower index\n"
            "first.\n";
  } else {
    text += "Output: one \"source target distance\" line for each source from FIRST_SOURCE\n"
            "to LAST_SOURCE (0 to " + std::to_string(p.capacity - 1) +
            ") and each node of higher index it reaches.\n";
  }
  if (!fromCommandLine) {
    text += "Dataset: " + settings.inputPath + "\nFurther arguments are ignored.\n";
  }
  return text;
}
