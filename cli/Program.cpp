#include "cli/Program.h"

#include <unistd.h>

#include "graph/RunError.h"
#include "library/Output.h"
#include "cli/Progress.h"

#ifndef PATHSUITE_VERSION
#define PATHSUITE_VERSION "unknown"
#endif

void Program_Report(const std::string& name, const std::string& message) {
  const std::string line = name + ": " + Output_Escaped(message) + "\n";
  [[maybe_unused]] ssize_t wrote = write(2, line.data(), line.size());
}

int Program_Execute(const Program& program, const std::vector<std::string>& args,
                    const RunOptions& options) {
  const RunSettings settings = RunSettings_For(program.id);
  FdStreamBuf standardOutput(1);
  std::ostream out(&standardOutput);
  return Program_Guard(settings.programName, options, &standardOutput, [&] {
    // Only the first argument is an option, so the fixed-path programs still
    // ignore whatever else they are given.
    if (!args.empty() && (args[0] == "--help" || args[0] == "--version")) {
      Output_Write(out, args[0] == "--help"
                            ? Program_Help(program, settings)
                            : settings.programName + " (pathsuite) " PATHSUITE_VERSION "\n");
      return;
    }
    program.driver(settings, args, out, options);
  });
}

int Program_Main(Deliverable which, int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return Program_Execute(Program_Of(which), args, RunOptions{});
}
