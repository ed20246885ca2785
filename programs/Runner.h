// The runner's command line: pathsuite [OPTIONS] PROGRAM [ARGS...] runs one
// of the six programs with its own arguments, output, messages and status,
// and adds a thread count, a progress meter and resumable checkpoints.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "programs/ProgramTable.h"

// What the options before PROGRAM ask for.
struct RunnerOptions {
  unsigned threads = 0;           // 0: the CPUs the process may use
  std::optional<bool> progress;   // unset: shown when standard error is a terminal
  std::string checkpoint;         // empty: none
  std::optional<double> checkpointEvery;
  bool help = false;
  bool version = false;
  const Program* program = nullptr;
  std::vector<std::string> args;  // the program's own arguments
};

// The runner's usage text, as --help and usage errors print it.
std::string Runner_Usage(const std::string& name);

// Reads the command line after the runner's own name. Throws RunError with
// the usage status for an unknown option, a bad value, a missing or unknown
// PROGRAM, or a checkpoint asked of a distance program.
RunnerOptions Runner_ReadOptions(const std::vector<std::string>& argv);

// The whole runner: reads the options, runs the program, returns the exit
// status. name is the runner's own name in messages ("pathsuite").
int Runner_Main(const std::string& name, const std::vector<std::string>& argv);
