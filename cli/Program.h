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

// What a front end adds to a program's messages: the meter to erase before
// one, the standard output whose failed write's reason a message gets, and
// how to word a run that stopped on a signal (which one, and where its
// state was saved, if anywhere).
struct Reporting {
  ProgressMeter* meter = nullptr;
  const FdStreamBuf* standardOutput = nullptr;
  const std::atomic<int>* stopSignal = nullptr;
  std::string checkpoint;
};

// Runs a program on its arguments as its executable does: --help or
// --version as the first argument, output to standard output (erasing the
// meter first where it shares the terminal), failures reported. Returns the
// exit status.
int Program_Execute(const Program& program, const std::vector<std::string>& args,
                    const RunOptions& options, Reporting reporting = {});

// Runs body and reports the failure it ends in as the programs do: an
// error's message (with the reason a write to standard output failed, if
// one did), "out of memory", a stop on a signal (status 128 + the signal),
// or another exception's text, under the program's name, after erasing the
// meter. Returns the exit status.
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
    Program_Report(name, message);
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
    if (out != nullptr && out->error() != 0) message += std::string(": ") + std::strerror(out->error());
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
