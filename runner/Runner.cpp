#include "runner/Runner.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
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

// The signal that asked the run to stop, and the run's cancel flag it sets. A signal handler can reach nothing but such flags, so these
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

const Program* FindProgram(std::span<const Program> programs, const std::string& name) {
  for (const Program& p : programs) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

std::string ProgramNames(std::span<const Program> programs) {
  std::string names;
  for (const Program& p : programs) names += (names.empty() ? "" : ", ") + std::string(p.name);
  return names;
}

// The programs that take the runner's options after their names.
std::string OptionsAfter(std::span<const Program> programs) {
  std::string names;
  for (const Program& p : programs) {
    if (p.runnerOptionsAfterName) names += (names.empty() ? "" : " and ") + std::string(p.name);
  }
  return names;
}

// A file option's value: not empty, and not a program's name, which is what
// a value forgotten before PROGRAM leaves ("--checkpoint anybridge ...").
std::string ReadFileName(const std::string& option, const std::string& value,
                         std::span<const Program> programs) {
  if (value.empty()) Usage(option + " needs a file name");
  if (FindProgram(programs, value) != nullptr) {
    Usage(option + " takes a file name, not the program '" + value + "' (for a file of that " +
          "name, give ./" + value + ")");
  }
  return value;
}

// The runner's options that take a value, and those that take none; a
// front end's extras take a value too.
constexpr const char* kValued[] = {"--threads", "--checkpoint-every", "--checkpoint", "--output"};
constexpr const char* kFlags[] = {"--progress", "--no-progress"};

bool IsRunnerOption(const std::string& arg, const RunnerExtras* extras) {
  auto named = [&](const std::string& name) { return arg == name || arg.rfind(name + "=", 0) == 0; };
  for (const char* name : kValued) {
    if (named(name)) return true;
  }
  for (const char* name : kFlags) {
    if (arg == name) return true;
  }
  if (extras == nullptr) return false;
  for (const std::string& name : extras->Names()) {
    if (named(name)) return true;
  }
  return false;
}

// Reads the runner's option at argv[i], as --name VALUE or --name=VALUE,
// into options; i ends at its last word. False when argv[i] is no option
// of the runner's (--help and --version are read apart).
bool TakeOption(const std::vector<std::string>& argv, size_t& i, RunnerOptions& options,
                RunnerExtras* extras, std::span<const Program> programs) {
  const std::string& arg = argv[i];
  auto valued = [&](const std::string& name, std::string& value) {
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
  std::string value;
  if (arg == "--progress") {
    options.progress = true;
  } else if (arg == "--no-progress") {
    options.progress = false;
  } else if (valued("--threads", value)) {
    options.threads = ReadThreads(value);
  } else if (valued("--checkpoint-every", value)) {
    options.checkpointEvery = ReadSeconds(value);
  } else if (valued("--checkpoint", value)) {
    options.checkpoint = ReadFileName("--checkpoint", value, programs);
  } else if (valued("--output", value)) {
    options.output = ReadFileName("--output", value, programs);
  } else {
    if (extras == nullptr) return false;
    for (const std::string& name : extras->Names()) {
      if (valued(name, value)) {
        extras->Set(name, value);
        return true;
      }
    }
    return false;
  }
  return true;
}

// Whether two paths name one file, whether or not it exists yet.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const std::filesystem::path x = std::filesystem::weakly_canonical(a, error);
  if (error) return a == b;
  const std::filesystem::path y = std::filesystem::weakly_canonical(b, error);
  return error ? a == b : x == y;
}

}  // namespace

std::string Runner_Usage(const std::string& name, const RunnerExtras* extras) {
  const std::string pad(name.size(), ' ');
  const std::string checkpoint = "[--checkpoint FILE [--checkpoint-every SECONDS]]";
  const std::string tail =
      extras != nullptr ? checkpoint + "\n       " + pad + " " + extras->Usage() : checkpoint;
  return "usage: " + name + " [--threads N] [--progress | --no-progress] [--output FILE]\n       " +
         pad + " " + tail + " PROGRAM [ARGS...]\n       " + name + " --help | --version\n";
}

RunnerOptions Runner_ReadOptions(const std::vector<std::string>& argv, RunnerExtras* extras,
                                 std::span<const Program> programs) {
  RunnerOptions options;
  size_t i = 0;
  bool ended = false;  // "--" ended the options: what follows PROGRAM is the program's
  for (; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    if (arg == "--") {
      ++i;
      ended = true;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') break;  // PROGRAM
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (!TakeOption(argv, i, options, extras, programs)) {
      Usage("unknown option '" + arg + "'");
    }
  }
  if (options.help || options.version) return options;
  const std::string names = "(one of " + ProgramNames(programs) + ")";
  if (i >= argv.size()) Usage("no PROGRAM given " + names);
  options.program = FindProgram(programs, argv[i]);
  if (options.program == nullptr) Usage("unknown program '" + argv[i] + "' " + names);
  const Program& program = *options.program;
  const std::vector<std::string> rest(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1, argv.end());
  if (ended) {
    options.args = rest;
  } else if (program.runnerOptionsAfterName) {
    for (size_t k = 0; k < rest.size(); ++k) {
      if (rest[k] == "--") {
        options.args.insert(options.args.end(), rest.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                            rest.end());
        break;
      }
      if (!TakeOption(rest, k, options, extras, programs)) options.args.push_back(rest[k]);
    }
  } else {
    // The six programs ignore arguments they do not use, so an option meant
    // for the runner would go unheeded without a word.
    for (const std::string& arg : rest) {
      if (IsRunnerOption(arg, extras)) {
        Usage("'" + arg + "' after " + program.name + ": options go before PROGRAM");
      }
    }
    options.args = rest;
  }
  if (program.withFile != nullptr && !options.args.empty() &&
      Program_Asks(program, options.args).empty()) {
    Usage(std::string(program.name) + " reads its own dataset and takes no arguments, not '" +
          options.args[0] + "': for a file of your own, run " + program.withFile + " " +
          options.args[0]);
  }
  if (!Program_IsBetweenness(program) && (!options.checkpoint.empty() || options.checkpointEvery)) {
    Usage(std::string("checkpoints are for the betweenness programs, not ") + program.name);
  }
  if (options.checkpointEvery && options.checkpoint.empty()) {
    Usage("--checkpoint-every needs --checkpoint");
  }
  if (!options.output.empty() && !options.checkpoint.empty() &&
      SameFile(options.output, options.checkpoint)) {
    Usage("--output and --checkpoint name one file: " + options.output);
  }
  return options;
}

void Runner_ReportUsage(const std::string& name, const std::string& message,
                        const RunnerExtras* extras) {
  Program_Report(name, message);
  const std::string usage = Runner_Usage(name, extras);
  [[maybe_unused]] ssize_t wrote = write(2, usage.data(), usage.size());
}

int Runner_Answer(const std::string& name, const RunnerOptions& options,
                  const RunnerExtras* extras) {
  const std::string extraHelp = extras != nullptr ? extras->Help() : "";
  const std::string text =
      options.help ? Runner_Usage(name, extras) +
                         "Runs PROGRAM with its own arguments, output, messages and status.\n"
                         "PROGRAM: " + ProgramNames(Analyst_AllPrograms()) +
                         "; options go before it\n(" + OptionsAfter(Analyst_AllPrograms()) +
                         " take them after it too; PROGRAM --help tells more).\n"
                         "  --threads N            searches on N threads (1 to 4096)\n"
                         "  --progress             a meter on standard error\n"
                         "  --no-progress          none (default: when it is a terminal)\n"
                         "  --output FILE          the listing to FILE, whole or not at all\n"
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

std::optional<int> Runner_Start(const std::string& name, const std::vector<std::string>& argv,
                                RunnerOptions& options) {
  try {
    options = Runner_ReadOptions(argv, nullptr);
  } catch (const RunError& e) {
    Runner_ReportUsage(name, e.what(), nullptr);
    return e.status();
  }
  if (!options.help && !options.version) return std::nullopt;
  return Runner_Answer(name, options, nullptr);
}

int RunnerSetup::StopSignal() { return gStopSignal.load(); }

RunnerSetup::RunnerSetup(const RunnerOptions& options, unsigned threads, bool leads) {
  run_.threads = threads;
  const Program& program = *options.program;
  if (leads && options.progress.value_or(isatty(2) == 1)) {
    const bool outputOnTerminal = options.output.empty() && isatty(1) == 1;
    meter_.emplace(program.name, 2, outputOnTerminal && isatty(2) == 1);
    run_.progress = meter_->Callback();
    reporting_.meter = &*meter_;
  }
  reporting_.output = options.output;
  reporting_.resumable = Program_IsBetweenness(program);
  CatchStopSignals();
  if (!leads) return;  // another rank of a job: only the first acts on a stop
  run_.cancel = &gCancel;
  reporting_.stopSignal = &gStopSignal;
  if (!options.checkpoint.empty()) {
    run_.checkpoint = pathsuite::CheckpointOptions{options.checkpoint, 300};
    if (options.checkpointEvery) run_.checkpoint->everySeconds = *options.checkpointEvery;
    reporting_.checkpoint = options.checkpoint;
  }
}

int Runner_Main(const std::string& name, const std::vector<std::string>& argv) {
  RunnerOptions options;
  if (const std::optional<int> status = Runner_Start(name, argv, options)) {
    return *status;
  }
  RunnerSetup setup(options, Threads_Resolve(options.threads), true);
  return Program_Execute(*options.program, options.args, setup.run(), setup.reporting());
}
