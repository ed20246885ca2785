// The command lines of the two programs made for people, scores and
// distances: one edge file in any format the readers know, and options in
// any order, GNU style (--name VALUE or --name=VALUE). The runner takes its
// own options out first; what is left is read here into a plain record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graph/EdgeRules.h"
#include "graph/formats/ReadOptions.h"
#include "library/ProgramTable.h"
#include "library/Sampling.h"

// How numbers are written: with `digits` decimals in fixed notation (six,
// as the programs print them, by default), or the shortest text that reads
// back to the same double.
struct NumberStyle {
  int digits = 6;
  bool exact = false;
};

// The sources a scores run folds: every one (exact), K drawn (--sample),
// Hoeffding's K for --epsilon, or --epsilon's adaptive stop.
enum class Estimate { Exact, Sample, Epsilon, Adaptive };

// Which sources a distance run takes: FIRST..LAST, both included.
struct SourceSpan {
  int64_t first = 0;
  int64_t last = 0;
};

struct AnalystOptions {
  ReadOptions read;
  LengthRule length = LENGTH_RECIPROCAL;
  NumberStyle numbers;
  bool csv = false;
  // scores
  bool normalized = false;
  std::optional<int64_t> top;
  Estimate estimate = Estimate::Exact;
  int64_t sample = 0;  // --sample K
  double epsilon = 0;
  double delta = kSampleDelta;
  uint64_t seed = kSampleSeed;
  // distances
  std::optional<SourceSpan> sources;
};

// Reads the arguments of program (scores or distances). Throws RunError
// with the usage status and a message that names the option and, where it
// can, what to write instead.
AnalystOptions Analyst_ReadOptions(const Program& program, const std::vector<std::string>& args);
