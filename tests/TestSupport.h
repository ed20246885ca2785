// Helpers shared by the tests: temporary input files and in-process runs of
// the drivers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "graph/RunError.h"
#include "programs/ProgramTable.h"

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

// Runs a deliverable's driver in process over an input text. Programs with
// a command-line input get args {file, "x", capacity}; fixed-path programs
// read the text as their dataset and get extraArgs (spanpairs' range).
std::string RunOnText(Deliverable which, std::string_view text, const std::string& capacity,
                      const std::vector<std::string>& extraArgs, RunOptions engine);

// Settings of a deliverable whose dataset path points at path.
RunSettings SettingsWithPath(Deliverable which, const std::string& path);

// Runs an executable of the build with arguments; captures both streams.
struct ProcessResult {
  int status = -1;
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
