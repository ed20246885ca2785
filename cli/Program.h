// The entry of every executable of the suite.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "library/ProgramTable.h"

// Runs a program on its arguments as its executable does: --help or
// --version as the first argument, output to standard output, and every
// failure as one "program: message" line on standard error. Returns the
// exit status.
int Program_Execute(const Program& program, const std::vector<std::string>& args,
                    const RunOptions& options);

class FdStreamBuf;

// Runs body, and reports the failure it ends in as the programs do: a
// RunError's message (with the reason a write to standardOutput failed, if
// one did), "out of memory", or another exception's text, under the
// program's name, after erasing the meter. Returns the exit status.
template <class Body>
int Program_Guard(const std::string& name, const RunOptions& options,
                  const FdStreamBuf* standardOutput, Body&& body);

// Program_Execute with the arguments of argv and the default options.
int Program_Main(Deliverable which, int argc, char** argv);

// Writes "name: message" as one line on standard error, in one write; the
// control characters that names and arguments in the message may hold are
// escaped, so the line stays one line.
void Program_Report(const std::string& name, const std::string& message);

// --- implementation of the template ---

#include <new>

#include "graph/RunError.h"
#include "library/Output.h"
#include "cli/Progress.h"

template <class Body>
int Program_Guard(const std::string& name, const RunOptions& options,
                  const FdStreamBuf* standardOutput, Body&& body) {
  auto report = [&](const std::string& message) {
    if (options.progress != nullptr) options.progress->Erase();
    Program_Report(name, message);
  };
  try {
    body();
    return 0;
  } catch (const RunError& e) {
    std::string message = e.what();
    if (standardOutput != nullptr && standardOutput->error() != 0) {
      message += std::string(": ") + std::strerror(standardOutput->error());
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
