// The runner's command line: pathsuite [OPTIONS] PROGRAM [ARGS...] runs one
// of the six programs with its own arguments, output, messages and status,
// and adds a thread count, a progress meter and resumable checkpoints.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "library/Checkpoint.h"
#include "library/ProgramTable.h"
#include "cli/Progress.h"

// pathsuite, or pathsuite-mpi, whose ranks also take a block and a segment
// size.
enum class RunnerKind { Local, Cluster };

// What the options before PROGRAM ask for.
struct RunnerOptions {
  unsigned threads = 0;           // 0: the CPUs the process may use
  std::optional<bool> progress;   // unset: shown when standard error is a terminal
  std::string checkpoint;         // empty: none
  std::optional<double> checkpointEvery;
  std::optional<int64_t> block;    // cluster: sources a rank takes at a time
  std::optional<int64_t> segment;  // cluster: nodes of a score segment, a power of two
  bool help = false;
  bool version = false;
  const Program* program = nullptr;
  std::vector<std::string> args;  // the program's own arguments
};

// The runner's usage text, as --help and usage errors print it.
std::string Runner_Usage(const std::string& name, RunnerKind kind);

// Reads the command line after the runner's own name. Throws RunError with
// the usage status for an unknown option, a bad value, a missing or unknown
// PROGRAM, or a checkpoint asked of a distance program.
RunnerOptions Runner_ReadOptions(const std::vector<std::string>& argv, RunnerKind kind);

// Reads the options and answers --help, --version and usage errors, on the
// standard streams when speak is set. Returns the exit status when that is
// all there is to do, or nothing when the program is to run.
std::optional<int> Runner_Start(const std::string& name, const std::vector<std::string>& argv,
                                RunnerKind kind, bool speak, RunnerOptions& options);

// The run options the runner's options make, with the meter and the
// checkpoint plan they point to. Catches SIGINT and SIGTERM when a
// checkpoint is asked for.
class RunnerSetup {
 public:
  // showMeter: this process may draw the meter (the cluster's first rank).
  RunnerSetup(const RunnerOptions& options, bool showMeter);
  RunnerSetup(const RunnerSetup&) = delete;
  RunnerSetup& operator=(const RunnerSetup&) = delete;
  const RunOptions& run() const { return run_; }

 private:
  RunOptions run_;
  std::optional<ProgressMeter> progress_;
  CheckpointPlan plan_;
};

// The whole runner: reads the options, runs the program, returns the exit
// status. name is the runner's own name in messages ("pathsuite").
int Runner_Main(const std::string& name, const std::vector<std::string>& argv);
