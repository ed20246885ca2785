#include "programs/Program.h"

#include <cstring>
#include <new>
#include <string>
#include <unistd.h>

#include "graph/RunError.h"
#include "programs/Output.h"

#ifndef PATHSUITE_VERSION
#define PATHSUITE_VERSION "unknown"
#endif

namespace {

void Report(const std::string& program, const std::string& message) {
  const std::string line = program + ": " + message + "\n";
  [[maybe_unused]] ssize_t wrote = write(2, line.data(), line.size());
}

}  // namespace

int Program_Main(Deliverable which, int argc, char** argv) {
  const Program& program = Program_Of(which);
  const RunSettings settings = RunSettings_For(which);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  FdStreamBuf standardOutput(1);
  std::ostream out(&standardOutput);
  try {
    // Only the first argument is an option, so the fixed-path programs still
    // ignore whatever else they are given.
    if (!args.empty() && (args[0] == "--help" || args[0] == "--version")) {
      Output_Write(out, args[0] == "--help"
                            ? Program_Help(program, settings)
                            : settings.programName + " (pathsuite) " PATHSUITE_VERSION "\n");
      return 0;
    }
    program.driver(settings, args, out, EngineChoice{});
    return 0;
  } catch (const RunError& e) {
    std::string message = e.what();
    if (standardOutput.error() != 0) {
      message += std::string(": ") + std::strerror(standardOutput.error());
    }
    Report(settings.programName, message);
    return e.status();
  } catch (const std::bad_alloc&) {
    Report(settings.programName, "out of memory");
    return kStatusFailure;
  } catch (const std::exception& e) {
    Report(settings.programName, e.what());
    return kStatusFailure;
  }
}
