#include <cstring>
#include <new>
#include <string>
#include <unistd.h>

#include "programs/Drivers.h"
#include "programs/Output.h"

namespace {

void Report(const std::string& program, const std::string& message) {
  const std::string line = program + ": " + message + "\n";
  [[maybe_unused]] ssize_t wrote = write(2, line.data(), line.size());
}

bool IsBetweenness(Deliverable which) {
  return which != Deliverable::Spanpairs && which != Deliverable::Anypairs;
}

}  // namespace

int Program_Main(Deliverable which, int argc, char** argv) {
  const RunSettings settings = RunSettings_For(which);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  FdStreamBuf standardOutput(1);
  std::ostream out(&standardOutput);
  try {
    if (IsBetweenness(which)) {
      Betweenness_Run(settings, args, out);
    } else {
      Pairs_Run(settings, args, out);
    }
    return 0;
  } catch (const RunError& e) {
    std::string message = e.what();
    if (standardOutput.error() != 0) message += std::string(": ") + std::strerror(standardOutput.error());
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
