#include "cli/Program.h"

#include <csignal>
#include <optional>
#include <unistd.h>

#include "cli/Listing.h"
#include "library/Checkpoint.h"
#include "library/CheckpointLock.h"
#include "library/Output.h"

#ifndef PATHSUITE_VERSION
#define PATHSUITE_VERSION "unknown"
#endif

void Program_Report(const std::string& name, const std::string& message) {
  const std::string line = name + ": " + Output_Escaped(message) + "\n";
  [[maybe_unused]] ssize_t wrote = write(2, line.data(), line.size());
}

namespace {

int StopSignal(const Reporting& reporting) {
  return reporting.stopSignal != nullptr ? reporting.stopSignal->load() : 0;
}

}  // namespace

std::string Program_StopMessage(const pathsuite::Cancelled& stop, const Reporting& reporting) {
  const int signal = StopSignal(reporting);
  const std::string by = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "request";
  const std::string head =
      reporting.ended.empty() ? "stopped by " + by : reporting.ended + " ended, so the job stopped";
  const std::string message = head + " after " + std::to_string(stop.sourcesDone()) + " of " +
                              std::to_string(stop.total()) + " sources";
  if (stop.saved()) return message + "; state saved in " + reporting.checkpoint;
  if (reporting.resumable) {
    return message + "; nothing saved (--checkpoint FILE makes a run resumable)";
  }
  if (!reporting.output.empty()) return message + "; " + reporting.output + " not written";
  return message + "; the listing is cut short";
}

int Program_StopStatus(const Reporting& reporting) {
  const int signal = StopSignal(reporting);
  return signal > 0 ? 128 + signal : kStatusFailure;
}

int Program_Execute(const Program& program, const std::vector<std::string>& args,
                    const RunOptions& options, Reporting reporting) {
  RunSettings settings = RunSettings_For(program);
  if (reporting.meter != nullptr) settings.onRead = reporting.meter->LoadingCallback();
  // For the six only the first argument is an option, so the fixed-path
  // programs still ignore whatever else they are given.
  if (const std::string asked = Program_Asks(program, args); !asked.empty()) {
    FdStreamBuf standardOutput(1, reporting.meter);
    std::ostream out(&standardOutput);
    reporting.standardOutput = &standardOutput;
    return Program_Guard(settings.programName, reporting, [&] {
      Output_Write(out, asked == "--help"
                            ? Program_Help(program, settings)
                            : settings.programName + " (pathsuite) " PATHSUITE_VERSION "\n");
    });
  }
  ListingOutput listing(reporting.output, reporting.meter);
  reporting.standardOutput = &listing.buffer();
  return Program_Guard(settings.programName, reporting, [&] {
    std::optional<CheckpointLock> lock;
    if (options.checkpoint) lock.emplace(options.checkpoint->path);
    listing.Check();
    program.driver(settings, args, listing.stream(), options, EngineChoice{});
    listing.Commit();
    if (options.checkpoint) Checkpoint_Remove(options.checkpoint->path);
  });
}

int Program_Main(Deliverable which, int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return Program_Execute(Program_Of(which), args, RunOptions{});
}
