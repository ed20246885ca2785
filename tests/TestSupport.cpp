#include "tests/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

TempFile::TempFile(std::string_view content) {
  char name[] = "/tmp/pathsuite-test-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n <= 0) throw std::runtime_error("write failed");
    done += static_cast<size_t>(n);
  }
  close(fd);
  path_ = name;
}

TempFile::~TempFile() { unlink(path_.c_str()); }

RunSettings SettingsWithPath(Deliverable which, const std::string& path) {
  RunSettings settings = RunSettings_For(which);
  settings.inputPath = path;
  return settings;
}

std::string RunOnText(Deliverable which, std::string_view text, const std::string& capacity,
                      const std::vector<std::string>& extraArgs, RunOptions engine) {
  TempFile file(text);
  RunSettings settings = RunSettings_For(which);
  std::vector<std::string> args;
  if (settings.fromCommandLine) {
    args = {file.path(), "x", capacity};
  } else {
    settings.inputPath = file.path();
    args = extraArgs;
  }
  std::ostringstream out;
  Program_Of(which).driver(settings, args, out, engine);
  return out.str();
}

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

// limits is shell text run before the program replaces the shell.
ProcessResult RunCommand(const std::string& limits, const std::string& program,
                         const std::vector<std::string>& args, const std::string& stdoutPath) {
  TempFile out("");
  TempFile err("");
  std::string command = limits + "exec " + Quote(std::string(PROGRAM_DIR) + "/" + program);
  for (const auto& a : args) command += " " + Quote(a);
  command += " >" + Quote(stdoutPath.empty() ? out.path() : stdoutPath) + " 2>" + Quote(err.path()) +
             " </dev/null";
  const int raw = std::system(command.c_str());
  ProcessResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = stdoutPath.empty() ? ReadAll(out.path()) : "";
  result.err = ReadAll(err.path());
  return result;
}

}  // namespace

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& stdoutPath) {
  return RunCommand("", program, args, stdoutPath);
}

ProcessResult RunProgramLimited(const std::string& program, const std::vector<std::string>& args,
                                long memoryKiB, long stackKiB) {
  std::string limits = "ulimit -v " + std::to_string(memoryKiB) + " && ";
  if (stackKiB > 0) limits += "ulimit -s " + std::to_string(stackKiB) + " && ";
  return RunCommand(limits, program, args, "");
}
