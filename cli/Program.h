// The command-line layer every executable shares: a program run on its
// arguments, its output on standard output, and every failure as one
// "program: message" line on standard error with the program's exit status.
#pragma once

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "graph/RunError.h"
#include "library/ProgramTable.h"

class FdStreamBuf;
class ProgressMeter;

// What a front end adds to a program's run and messages: the meter to
// erase before a message, the listing's file (or standard output), the
// stream whose failed write's reason a message gets, how to word a run that
// stopped on a signal (which one, and where its state was saved, if
// anywhere), and where in a job the message comes from.
struct Reporting {
  ProgressMeter* meter = nullptr;
  std::string output;  // the listing's file; empty: standard output
  const FdStreamBuf* standardOutput = nullptr;
  const std::atomic<int>* stopSignal = nullptr;
  std::string checkpoint;
  // The program could have saved its state (a betweenness program): a stop
  // without a checkpoint then says how to make a run resumable.
  bool resumable = false;
  std::string rank;   // "rank 2": a rank of a job other than the first
  std::string ended;  // the ranks whose end stopped the job ("rank 2"), if that is what did
};

// Runs a program on its arguments as its executable does: --help or
// --version as the first argument (to standard output), the listing to
// standard output or to reporting.output (see ListingOutput), erasing the
// meter first where it shares the terminal, failures reported. With a
// checkpoint, the run holds its lock (CheckpointLock) from start to end,
// and removes the checkpoint once the listing is written, and, in a file,
// safe on disk. Returns the exit status.
int Program_Execute(const Program& program, const std::vector<std::string>& args,
                    const RunOptions& options, Reporting reporting = {});

// Runs body and reports the failure it ends in as the programs do: an
// error's message ("cannot write standard output: reason" when a write to
// reporting.standardOutput failed), "out of memory", a stop on a signal
// (status 128 + the signal), or another exception's text, under the
// program's name (and the rank's, if any), after erasing the meter.
// Returns the exit status.
template <class Body>
int Program_Guard(const std::string& name, const Reporting& reporting, Body&& body);

// Program_Execute with the arguments of argv and the default options.
int Program_Main(Deliverable which, int argc, char** argv);

// Writes "name: message" as one line on standard error, in one write; the
// control characters that names and arguments in the message may hold are
// escaped, so the line stays one line.
void Program_Report(const std::string& name, const std::string& message);

// The message and status of a run stopped on a signal.
std::string Program_StopMessage(const pathsuite::Cancelled& stop, const Reporting& reporting);
int Program_StopStatus(const Reporting& reporting);

// --- implementation of the template ---

#include <new>

#include "cli/FdStreamBuf.h"
#include "cli/Progress.h"
#include "graph/RunError.h"

template <class Body>
int Program_Guard(const std::string& name, const Reporting& reporting, Body&& body) {
  auto report = [&](const std::string& message) {
    if (reporting.meter != nullptr) reporting.meter->Erase();
    Program_Report(name, reporting.rank.empty() ? message : reporting.rank + ": " + message);
  };
  try {
    body();
    return 0;
  } catch (const pathsuite::Cancelled& stop) {
    report(Program_StopMessage(stop, reporting));
    return Program_StopStatus(reporting);
  } catch (const RunError& e) {
    std::string message = e.what();
    const FdStreamBuf* out = reporting.standardOutput;
    if (out != nullptr && out->error() != 0) {
      message = "cannot write " + out->name() + ": " + std::strerror(out->error());
    }
    report(message);
    return e.status();
  } catch (const std::bad_alloc&) {
    report("out of memory");
    return kStatusFailure;
  } catch (const std::exception& e) {
    report(e.what());
    return kStatusFailure;
  }
}
