// Runs one of the six programs with the reference engine (the linear-scan
// search with linked cells), for timing against the fast engine and for
// checking its output. Usage: refrun PROGRAM [ARGUMENTS...]
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "programs/Drivers.h"

int main(int argc, char** argv) {
  const struct {
    const char* name;
    Deliverable which;
  } programs[] = {{"anybridge", Deliverable::Anybridge},     {"plusbridge", Deliverable::Plusbridge},
                  {"betweenness", Deliverable::Betweenness}, {"linkbridge", Deliverable::Linkbridge},
                  {"spanpairs", Deliverable::Spanpairs},     {"anypairs", Deliverable::Anypairs}};
  if (argc < 2) {
    std::fprintf(stderr, "usage: refrun PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  for (const auto& p : programs) {
    if (std::strcmp(argv[1], p.name) != 0) continue;
    const RunSettings settings = RunSettings_For(p.which);
    const std::vector<std::string> args(argv + 2, argv + argc);
    std::ios::sync_with_stdio(false);
    const EngineChoice reference{true, 1};
    try {
      if (p.which == Deliverable::Spanpairs || p.which == Deliverable::Anypairs) {
        Pairs_Run(settings, args, std::cout, reference);
      } else {
        Betweenness_Run(settings, args, std::cout, reference);
      }
      std::cout.flush();
    } catch (const RunError& e) {
      std::fprintf(stderr, "refrun %s: %s\n", p.name, e.what());
      return e.status();
    }
    return std::cout ? 0 : 1;
  }
  std::fprintf(stderr, "refrun: unknown program '%s'\n", argv[1]);
  return 2;
}
