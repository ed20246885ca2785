// The programs, one row each: everything that tells them apart. The
// settings, help and usage texts, the dispatch of the executables, the runner
// and the benchmark's reference runner all read this table. The six
// programs' rows are here; the two made for people (scores, distances) read
// any edge file through the format readers, which the six must not link, so
// their rows stand in the analyst layer (analyst/AnalystPrograms.h), of the
// same kind, and the runner lists all eight.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "graph/RunSettings.h"
#include "library/Drivers.h"

enum class Deliverable {
  Anybridge, Plusbridge, Betweenness, Linkbridge, Spanpairs, Anypairs, Scores, Distances
};

// Where a program's input comes from: its command line ("FILE IGNORED
// CAPACITY"), a dataset fixed when the suite is built, or any edge file
// named among the program's options, in any format the readers know.
enum class Dataset { CommandLine, Main, Companion, AnyFile };

// What a program prints: a score per node, or distance lines.
enum class Prints { Scores, Distances };

struct Program {
  Deliverable id;
  const char* name;
  int nameWidth;        // longest name in bytes
  int lineWidth;        // the settings record's line width (see RunSettings)
  int32_t capacity;     // node capacity; 0 when the command line gives it
  Dataset dataset;
  LengthRule lengthRule;
  EdgeFilter edgeFilter;
  Driver driver;
  Prints prints;
  const char* arguments;  // the usage line's arguments after the name
  const char* summary;    // one line: what the program prints
  // Whether the runner reads its own options among the program's
  // arguments too. Not for the six programs: their arguments are positional
  // and may be any text, so the runner's options go before the name, and
  // one found after it is an error rather than an argument.
  bool runnerOptionsAfterName = false;
  // The whole --help text, for a program whose options the fields above do
  // not describe; nullptr: made from them.
  const char* help = nullptr;
  // For a fixed-path program: the program that reads a file of the user's,
  // which a FILE given to this one through the runner is pointed to.
  const char* withFile = nullptr;
};

// The six programs, in the order of Deliverable, and the row of one of
// them (std::logic_error for scores and distances, whose rows are the
// analyst layer's).
std::span<const Program> Program_All();
const Program& Program_Of(Deliverable which);
// The program of that name, or nullptr.
const Program* Program_Find(std::string_view name);

// Whether the program prints betweenness scores (else distances).
bool Program_IsBetweenness(const Program& program);

// The program's settings, with the dataset path resolved for a fixed-path
// program; the command-line programs leave the path empty and the capacity 0
// for the driver to fill from their arguments.
RunSettings RunSettings_For(Deliverable which);
RunSettings RunSettings_For(const Program& program);

// Whether args ask the program for its --help or --version, and which:
// the first argument for the six programs; for a program that reads
// options anywhere, any argument before "--" ("-h" too, for help).
// Empty when they do not.
std::string Program_Asks(const Program& program, const std::vector<std::string>& args);

// "usage: NAME ARGUMENTS", the line a bad command line prints.
std::string Program_Usage(const Program& program);

// The --help text: the usage, what the program prints, its input, edge
// length and output, and for a fixed-path program the dataset settings name.
std::string Program_Help(const Program& program, const RunSettings& settings);
