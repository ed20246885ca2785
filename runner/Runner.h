// The runner's command line: pathsuite [OPTIONS] PROGRAM [ARGS...] runs one
// of the programs with its own arguments, output, messages and status, and
// adds a thread count, a progress meter and resumable checkpoints.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "cli/Progress.h"
#include "library/ProgramTable.h"

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

// Options a front end adds to the runner's, written before PROGRAM as
// --name VALUE or --name=VALUE.
class RunnerExtras {
 public:
  // The options' names, with their dashes.
  virtual std::vector<std::string> Names() const = 0;
  // Takes one; throws RunError with the usage status for a bad value.
  virtual void Set(const std::string& name, const std::string& value) = 0;
  // The usage text's part for them, and the --help lines.
  virtual std::string Usage() const = 0;
  virtual std::string Help() const = 0;

 protected:
  ~RunnerExtras() = default;
};

// The runner's usage text, as --help and usage errors print it.
std::string Runner_Usage(const std::string& name, const RunnerExtras* extras);

// Reads the command line after the runner's own name. Throws RunError with
// the usage status for an unknown option, a bad value, a missing or unknown
// PROGRAM, or a checkpoint asked of a distance program.
RunnerOptions Runner_ReadOptions(const std::vector<std::string>& argv, RunnerExtras* extras);

// Reads the options and answers --help, --version and usage errors, on the
// standard streams when speak is set. Returns the exit status when that is
// all there is to do, or nothing when the program is to run.
std::optional<int> Runner_Start(const std::string& name, const std::vector<std::string>& argv,
                                RunnerExtras* extras, bool speak, RunnerOptions& options);

// The run options the runner's options make, with the meter they draw and
// how a stop is reported. Catches SIGINT and SIGTERM when a checkpoint is
// asked for: the signal then cancels the run, which saves its state.
class RunnerSetup {
 public:
  // threads: the run's, resolved. showMeter: this process may draw the
  // meter (the cluster's first rank).
  RunnerSetup(const RunnerOptions& options, unsigned threads, bool showMeter);
  RunnerSetup(const RunnerSetup&) = delete;
  RunnerSetup& operator=(const RunnerSetup&) = delete;
  const RunOptions& run() const { return run_; }
  const Reporting& reporting() const { return reporting_; }
  ProgressMeter* meter() { return meter_ ? &*meter_ : nullptr; }

 private:
  std::optional<ProgressMeter> meter_;
  RunOptions run_;
  Reporting reporting_;
};

// The whole runner: reads the options, runs the program, returns the exit
// status. name is the runner's own name in messages ("pathsuite").
int Runner_Main(const std::string& name, const std::vector<std::string>& argv);
