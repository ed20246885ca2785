// The entry of every executable of the suite.
#pragma once

#include "programs/ProgramTable.h"

// Runs a program as its executable does: arguments from argv, output to
// standard output, every failure as one "program: message" line on standard
// error. Returns the exit status.
int Program_Main(Deliverable which, int argc, char** argv);
