// The runner's command line: pathsuite [OPTIONS] PROGRAM [ARGS...] runs one
// of the programs with its own arguments, output, messages and status, and
// adds a thread count, a progress meter and resumable checkpoints.
#pragma once

#include <atomic>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyst/AnalystPrograms.h"
#include "cli/Program.h"
#include "cli/Progress.h"
#include "library/ProgramTable.h"

// What the options before PROGRAM ask for.
struct RunnerOptions {
  unsigned threads = 0;           // 0: the CPUs the process may use
  std::optional<bool> progress;   // unset: shown when standard error is a terminal
  std::string checkpoint;         // empty: none
  std::optional<double> checkpointEvery;
  std::string output;             // the listing's file; empty: standard output
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

// Reads the command line after the runner's own name, PROGRAM found in
// programs. Throws RunError with the usage status for an unknown option, a
// bad value, a missing or unknown PROGRAM, a program's name given as a file,
// a checkpoint asked of a distance program, a runner's option after
// PROGRAM (unless PROGRAM's row takes them there, or "--" ended the options
// before it: then what follows PROGRAM is all the program's), and
// arguments for a fixed-path program that takes none (it would ignore a
// FILE: the message points to the program that reads one).
RunnerOptions Runner_ReadOptions(const std::vector<std::string>& argv, RunnerExtras* extras,
                                 std::span<const Program> programs = Analyst_AllPrograms());

// A usage error as the runner reports it: "name: message", then the usage.
void Runner_ReportUsage(const std::string& name, const std::string& message,
                        const RunnerExtras* extras);

// Answers the runner's --help or --version on standard output; returns the
// exit status.
int Runner_Answer(const std::string& name, const RunnerOptions& options,
                  const RunnerExtras* extras);

// Reads the options and answers --help, --version and usage errors.
// Returns the exit status when that is all there is to do, or nothing when
// the program is to run.
std::optional<int> Runner_Start(const std::string& name, const std::vector<std::string>& argv,
                                RunnerOptions& options);

// The run options the runner's options make, with the meter they draw and
// how a stop is reported. Catches SIGINT and SIGTERM: the signal then
// cancels the run, which saves its state if it has a checkpoint, and the
// stop is reported with status 128 + the signal.
class RunnerSetup {
 public:
  // threads: the run's, resolved. leads: this process leads the run (the
  // runner, or a job's first rank): it draws the meter and acts on a stop
  // signal; the other ranks of a job only note one (StopSignal).
  RunnerSetup(const RunnerOptions& options, unsigned threads, bool leads);
  RunnerSetup(const RunnerSetup&) = delete;
  RunnerSetup& operator=(const RunnerSetup&) = delete;
  const RunOptions& run() const { return run_; }
  const Reporting& reporting() const { return reporting_; }
  // The signal that stopped the run, 0 while none came.
  static int StopSignal();
  ProgressMeter* meter() { return meter_ ? &*meter_ : nullptr; }

 private:
  std::optional<ProgressMeter> meter_;
  RunOptions run_;
  Reporting reporting_;
};

// The whole runner: reads the options, runs the program, returns the exit
// status. name is the runner's own name in messages ("pathsuite").
int Runner_Main(const std::string& name, const std::vector<std::string>& argv);
