#include "runner/Runner.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include "cli/FdStreamBuf.h"
#include "graph/RunError.h"
#include "library/Arguments.h"
#include "library/Output.h"
#include "paths/Threads.h"

#ifndef PATHSUITE_VERSION
#define PATHSUITE_VERSION "unknown"
#endif

namespace {

constexpr unsigned kMostThreads = 4096;

// The signal that asked a checkpointed run to stop, and the run's cancel
// flag it sets. A signal handler can reach nothing but such flags, so these
// are the process's one piece of shared state: set by the handler, read by
// the run.
std::atomic<int> gStopSignal{0};
std::atomic<bool> gCancel{false};

extern "C" void RecordStop(int signal) {
  gStopSignal.store(signal);
  gCancel.store(true);
}

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = RecordStop;
  sigemptyset(&action.sa_mask);
  // A second signal of the same kind ends the process at once, as usual.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

[[noreturn]] void Usage(const std::string& why) { throw RunError(kStatusUsage, why); }

// As "%d" reads it (leading blanks and a sign allowed), with nothing after
// the digits: "2 5" or "1+1" is a bad value, not 2 or 1.
unsigned ReadThreads(const std::string& text) {
  const std::optional<int64_t> n = Arguments_ScanInteger(text);
  const size_t digits = text.find_first_of("0123456789");
  if (!n || *n < 1 || *n > kMostThreads ||
      text.find_first_not_of("0123456789", digits) != std::string::npos) {
    Usage("--threads takes a whole number from 1 to " + std::to_string(kMostThreads) + ", not '" +
          text + "'");
  }
  return static_cast<unsigned>(*n);
}

double ReadSeconds(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !(seconds > 0) || seconds > 1e9) {
    Usage("--checkpoint-every takes a number of seconds above 0, not '" + text + "'");
  }
  return seconds;
}

std::string ProgramNames() {
  std::string names;
  for (const Program& p : Program_All()) names += (names.empty() ? "" : ", ") + std::string(p.name);
  return names;
}

}  // namespace

std::string Runner_Usage(const std::string& name, const RunnerExtras* extras) {
  const std::string pad(name.size(), ' ');
  const std::string checkpoint = "[--checkpoint FILE [--checkpoint-every SECONDS]]";
  const std::string tail =
      extras != nullptr ? checkpoint + "\n       " + pad + " " + extras->Usage() : checkpoint;
  return "usage: " + name + " [--threads N] [--progress | --no-progress]\n       " + pad + " " +
         tail + " PROGRAM [ARGS...]\n       " + name + " --help | --version\n";
}

RunnerOptions Runner_ReadOptions(const std::vector<std::string>& argv, RunnerExtras* extras) {
  RunnerOptions options;
  size_t i = 0;
  // --name VALUE or --name=VALUE; value is set when `arg` is that option.
  auto valued = [&](const std::string& arg, const char* option, std::string& value) {
    const std::string name = option;
    if (arg == name) {
      if (i + 1 >= argv.size()) Usage(name + " needs a value");
      value = argv[++i];
      return true;
    }
    if (arg.rfind(name + "=", 0) == 0) {
      value = arg.substr(name.size() + 1);
      return true;
    }
    return false;
  };
  auto extra = [&](const std::string& arg) {
    if (extras == nullptr) return false;
    for (const std::string& name : extras->Names()) {
      std::string value;
      if (valued(arg, name.c_str(), value)) {
        extras->Set(name, value);
        return true;
      }
    }
    return false;
  };
  for (; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    std::string value;
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;  // PROGRAM
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--progress") {
      options.progress = true;
    } else if (arg == "--no-progress") {
      options.progress = false;
    } else if (valued(arg, "--threads", value)) {
      options.threads = ReadThreads(value);
    } else if (valued(arg, "--checkpoint-every", value)) {
      options.checkpointEvery = ReadSeconds(value);
    } else if (valued(arg, "--checkpoint", value)) {
      if (value.empty()) Usage("--checkpoint needs a file name");
      options.checkpoint = value;
    } else if (!extra(arg)) {
      Usage("unknown option '" + arg + "'");
    }
  }
  if (options.help || options.version) return options;
  if (i >= argv.size()) Usage("no PROGRAM given (one of " + ProgramNames() + ")");
  options.program = Program_Find(argv[i]);
  if (options.program == nullptr) {
    Usage("unknown program '" + argv[i] + "' (one of " + ProgramNames() + ")");
  }
  options.args.assign(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1, argv.end());
  if (!Program_IsBetweenness(*options.program) &&
      (!options.checkpoint.empty() || options.checkpointEvery)) {
    Usage(std::string("checkpoints are for the betweenness programs, not ") +
          options.program->name);
  }
  if (options.checkpointEvery && options.checkpoint.empty()) {
    Usage("--checkpoint-every needs --checkpoint");
  }
  return options;
}

std::optional<int> Runner_Start(const std::string& name, const std::vector<std::string>& argv,
                                RunnerExtras* extras, bool speak, RunnerOptions& options) {
  try {
    options = Runner_ReadOptions(argv, extras);
  } catch (const RunError& e) {
    if (speak) {
      Program_Report(name, e.what());
      const std::string usage = Runner_Usage(name, extras);
      [[maybe_unused]] ssize_t wrote = write(2, usage.data(), usage.size());
    }
    return e.status();
  }
  if (!options.help && !options.version) return std::nullopt;
  if (!speak) return 0;
  const std::string extraHelp = extras != nullptr ? extras->Help() : "";
  const std::string text =
      options.help ? Runner_Usage(name, extras) +
                         "Runs PROGRAM with its own arguments, output, messages and status.\n"
                         "PROGRAM: " + ProgramNames() + ".\n"
                         "  --threads N            searches on N threads (1 to 4096)\n"
                         "  --progress             a meter on standard error\n"
                         "  --no-progress          none (default: when it is a terminal)\n"
                         "  --checkpoint FILE      save and resume a betweenness run\n"
                         "  --checkpoint-every S   save every S seconds (default 300)\n" +
                         extraHelp
                   : name + " (pathsuite) " PATHSUITE_VERSION "\n";
  FdStreamBuf standardOutput(1);
  std::ostream out(&standardOutput);
  if (!out.write(text.data(), static_cast<std::streamsize>(text.size()))) {
    Program_Report(name, "cannot write standard output");
    return kStatusFailure;
  }
  return 0;
}

RunnerSetup::RunnerSetup(const RunnerOptions& options, unsigned threads, bool showMeter) {
  run_.threads = threads;
  if (showMeter && options.progress.value_or(isatty(2) == 1)) {
    meter_.emplace(options.program->name, 2, isatty(1) == 1 && isatty(2) == 1);
    run_.progress = meter_->Callback();
    reporting_.meter = &*meter_;
  }
  if (!options.checkpoint.empty()) {
    run_.checkpoint = pathsuite::CheckpointOptions{options.checkpoint, 300};
    if (options.checkpointEvery) run_.checkpoint->everySeconds = *options.checkpointEvery;
    run_.cancel = &gCancel;
    reporting_.stopSignal = &gStopSignal;
    reporting_.checkpoint = options.checkpoint;
    CatchStopSignals();
  }
}

int Runner_Main(const std::string& name, const std::vector<std::string>& argv) {
  RunnerOptions options;
  if (const std::optional<int> status = Runner_Start(name, argv, nullptr, true, options)) {
    return *status;
  }
  RunnerSetup setup(options, Threads_Resolve(options.threads), true);
  return Program_Execute(*options.program, options.args, setup.run(), setup.reporting());
}
