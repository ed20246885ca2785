// Runs one of the six programs with the reference engine (the linear-scan
// search with linked cells), for timing against the fast engine and for
// checking its output. Usage: refrun PROGRAM [ARGUMENTS...]
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "graph/RunError.h"
#include "library/ProgramTable.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: refrun PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  const Program* program = Program_Find(argv[1]);
  if (program == nullptr) {
    std::fprintf(stderr, "refrun: unknown program '%s'\n", argv[1]);
    return 2;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  std::ios::sync_with_stdio(false);
  RunOptions options;
  options.threads = 1;
  try {
    program->driver(RunSettings_For(program->id), args, std::cout, options, EngineChoice{true});
    std::cout.flush();
  } catch (const RunError& e) {
    std::fprintf(stderr, "refrun %s: %s\n", program->name, e.what());
    return e.status();
  }
  return std::cout ? 0 : 1;
}
