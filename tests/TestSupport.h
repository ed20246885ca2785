// Helpers shared by the tests: temporary files, generated graphs, in-process
// runs of the drivers and runs of the executables.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "graph/RunError.h"
#include "library/ProgramTable.h"

// A file with the given content, removed when the object goes.
class TempFile {
 public:
  explicit TempFile(std::string_view content);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A directory removed with its content when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// The sources done that the checkpoint at path records, or -1 while there
// is none there.
int64_t SavedSources(const std::string& path);

// The names in a directory.
std::set<std::string> DirectoryNames(const std::string& dir);

// head followed by tail: options before a command line.
std::vector<std::string> JoinArgs(std::vector<std::string> head,
                                  const std::vector<std::string>& tail);

// Weights chosen to make exact ties, zero and infinite lengths, negative
// lengths, NaN, and lengths lost to rounding.
inline constexpr const char* kTieWeights[] = {"1", "2",   "3", "1",   "0",  "7",
                                              "0.5", "4", "0.1", "0.7", "1.3"};
inline constexpr const char* kSpecialWeights[] = {
    "0",      "-1",      "inf",    "nan",  "-0.5", "-2",  "1e-17", "1e300", "-nan", "-inf",
    "1e-300", "0x1p-60", "-1e-17", "-100", "-101", "0.1", "0.2",   "0.3",   "1e16", "-0"};

struct GraphShape {
  int names;
  int lines;
  int specialPercent;  // share of lines with a special weight
  bool chainOfDiamonds;
};

// Random edge lines "nA nB W" over shape.names names with self-loops and
// repeated lines; with chainOfDiamonds, 70 diamonds whose path counts pass
// 2^31 and 2^53.
std::string MakeGraph(std::mt19937_64& rng, const GraphShape& shape);

// A preferential-attachment graph of n names ("nU nV W", weights 1 to 10):
// a clique of 5, then each name links to 4 earlier ones picked in
// proportion to degree. The same bytes on every machine.
std::string SocialGraph(uint32_t n, uint64_t seed);

// How a test runs a driver: the reference or the fast engine, on `threads`
// threads, with the heap-to-radix limit of the fast engine's searches.
struct TestEngine {
  bool reference = false;
  unsigned threads = 0;
  std::optional<int32_t> heapLimit = std::nullopt;
};

// Runs a driver as engine says.
void RunDriver(Driver driver, RunSettings settings, const std::vector<std::string>& args,
               std::ostream& out, const TestEngine& engine);

// Runs a deliverable's driver in process over an input text. Programs with
// a command-line input get args {file, "x", capacity}; fixed-path programs
// read the text as their dataset and get extraArgs (spanpairs' range).
std::string RunOnText(Deliverable which, std::string_view text, const std::string& capacity,
                      const std::vector<std::string>& extraArgs, TestEngine engine);

// Settings of a deliverable whose dataset path points at path.
RunSettings SettingsWithPath(Deliverable which, const std::string& path);

// Where an executable runs from: a name is one of the build's programs, an
// absolute path any other (mpirun, say).
std::string ProgramPath(const std::string& program);

// Runs an executable (see ProgramPath) with arguments; captures both streams.
struct ProcessResult {
  int status = -1;  // -1 when a signal ended it
  int signal = 0;
  std::string out;
  std::string err;
};
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& stdoutPath = "");

// RunProgram under resource limits, in KiB as ulimit takes them: the virtual
// memory (ulimit -v) and, when stackKiB > 0, the stack size (ulimit -s),
// which is also the size of every thread stack the program maps.
ProcessResult RunProgramLimited(const std::string& program, const std::vector<std::string>& args,
                                long memoryKiB, long stackKiB = 0);

// How a child process ended: its exit status, or the signal that ended it.
struct ChildEnd {
  int status = -1;  // -1 when a signal ended it
  int signal = 0;
};

// An executable (see ProgramPath) running as a child process: standard input
// from /dev/null, standard output and error on the caller's descriptors
// outFd and errFd. Killed and reaped when the object goes, if still running.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args, int outFd,
               int errFd);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int signal) const;
  // Waits, for at most `seconds`, until the process has a handler for
  // signal (Linux: its SigCgt mask). False if it never had one, or ended.
  bool AwaitHandler(int signal, double seconds);
  // How it ended, or nothing while it runs.
  std::optional<ChildEnd> Poll();
  ChildEnd Wait();

 private:
  pid_t pid_ = -1;
  std::optional<ChildEnd> end_;
};

// Runs an executable as a ChildProcess with both streams captured;
// whileRunning(child) runs meanwhile (to signal it, say), then the end is
// awaited.
ProcessResult RunChild(const std::string& program, const std::vector<std::string>& args,
                       const std::function<void(ChildProcess&)>& whileRunning);

// Makes the executables that the test starts while the object lives fail
// one kind of system call (tests/FaultShim.cpp: PATHSUITE_FAULT=setting), by
// preloading the fault library into them through the environment.
class ScopedFault {
 public:
  explicit ScopedFault(const std::string& setting);
  ~ScopedFault();
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
  // What to hand mpirun for its ranks: -x for each setting.
  std::vector<std::string> MpirunOptions() const;

 private:
  std::optional<std::string> asanOptions_;
  std::string setting_;
};

// The working directory, while the object lives.
class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& dir);
  ~ScopedWorkingDirectory();
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

 private:
  std::string saved_;
};

// Whether this build runs under the address sanitizer: its processes need
// terabytes of address space, and it runs several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif
