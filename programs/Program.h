// The entry of every executable of the suite.
#pragma once

#include <string>
#include <vector>

#include "programs/ProgramTable.h"

// Runs a program on its arguments as its executable does: --help or
// --version as the first argument, output to standard output, and every
// failure as one "program: message" line on standard error. Returns the
// exit status.
int Program_Execute(const Program& program, const std::vector<std::string>& args,
                    const RunOptions& options);

// Program_Execute with the arguments of argv and the default options.
int Program_Main(Deliverable which, int argc, char** argv);

// Writes "name: message" as one line on standard error, in one write; the
// control characters that names and arguments in the message may hold are
// escaped, so the line stays one line.
void Program_Report(const std::string& name, const std::string& message);
