#include "tests/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

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

TempDir::TempDir() {
  char name[] = "/tmp/pathsuite-dir-XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int64_t SavedSources(const std::string& path) {
  // The header keeps them after the magic (16), the version (4), the
  // program name (16) and four 8-byte fields.
  constexpr size_t kSourcesDoneAt = 16 + 4 + 16 + 8 * 4;
  const std::string bytes = ReadFileBytes(path);
  if (bytes.size() < kSourcesDoneAt + 8 || bytes.compare(0, 14, "PATHSUITE-CKPT") != 0) {
    return -1;
  }
  int64_t done = 0;
  std::memcpy(&done, bytes.data() + kSourcesDoneAt, sizeof done);
  return done;
}

std::set<std::string> DirectoryNames(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::vector<std::string> JoinArgs(std::vector<std::string> head,
                                  const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

std::string MakeGraph(std::mt19937_64& rng, const GraphShape& shape) {
  std::string text;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
  for (int k = 0; k < shape.lines; ++k) {
    const int a = pick(shape.names);
    // Self-loops and repeated lines come often enough to matter.
    const int b = pick(8) == 0 ? a : pick(shape.names);
    const char* w = pick(100) < shape.specialPercent
                        ? kSpecialWeights[pick(std::size(kSpecialWeights))]
                        : kTieWeights[pick(std::size(kTieWeights))];
    std::string line;
    line.append("n").append(std::to_string(a)).append(" n").append(std::to_string(b));
    line.append(" ").append(w).append("\n");
    text += line;
    if (pick(10) == 0) text += line;
  }
  if (shape.chainOfDiamonds) {
    // 70 diamonds of equal weights: path counts pass 2^31 and 2^53.
    for (int d = 0; d < 70; ++d) {
      const std::string k = std::to_string(d), next = std::to_string(d + 1);
      for (const char* side : {"u", "v"}) {
        text.append("d").append(k).append(" ").append(side).append(k).append(" 1\n");
        text.append(side).append(k).append(" d").append(next).append(" 1\n");
      }
    }
  }
  return text;
}

std::string SocialGraph(uint32_t n, uint64_t seed) {
  // splitmix64, fully defined here, unlike the standard distributions.
  uint64_t state = seed;
  auto next = [&] {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  };
  std::string text;
  std::vector<uint32_t> pool;  // every edge end: a uniform pick follows degree
  auto link = [&](uint32_t a, uint32_t b) {
    text.append("n").append(std::to_string(a)).append(" n").append(std::to_string(b));
    text.append(" ").append(std::to_string(1 + next() % 10)).append("\n");
    pool.push_back(a);
    pool.push_back(b);
  };
  for (uint32_t a = 0; a < 5 && a < n; ++a) {
    for (uint32_t b = a + 1; b < 5 && b < n; ++b) link(a, b);
  }
  for (uint32_t v = 5; v < n; ++v) {
    std::vector<uint32_t> chosen;
    while (chosen.size() < 4) {
      const uint32_t t = pool[next() % pool.size()];
      if (std::find(chosen.begin(), chosen.end(), t) == chosen.end()) chosen.push_back(t);
    }
    for (const uint32_t t : chosen) link(t, v);
  }
  return text;
}

RunSettings SettingsWithPath(Deliverable which, const std::string& path) {
  RunSettings settings = RunSettings_For(which);
  settings.inputPath = path;
  return settings;
}

void RunDriver(Driver driver, RunSettings settings, const std::vector<std::string>& args,
               std::ostream& out, const TestEngine& engine) {
  RunOptions options;
  options.threads = engine.threads;
  driver(std::move(settings), args, out, options, EngineChoice{engine.reference, engine.heapLimit});
}

std::string RunOnText(Deliverable which, std::string_view text, const std::string& capacity,
                      const std::vector<std::string>& extraArgs, TestEngine engine) {
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
  RunDriver(Program_Of(which).driver, settings, args, out, engine);
  return out.str();
}

std::string ProgramPath(const std::string& program) {
  return program.rfind('/', 0) == 0 ? program : std::string(PROGRAM_DIR) + "/" + program;
}

namespace {

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
  std::string command = limits + "exec " + Quote(ProgramPath(program));
  for (const auto& a : args) command += " " + Quote(a);
  command += " >" + Quote(stdoutPath.empty() ? out.path() : stdoutPath) + " 2>" + Quote(err.path()) +
             " </dev/null";
  const int raw = std::system(command.c_str());
  ProcessResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
  result.out = stdoutPath.empty() ? ReadFileBytes(out.path()) : "";
  result.err = ReadFileBytes(err.path());
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

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           int outFd, int errFd) {
  const std::string path = ProgramPath(program);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  const int failed = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("posix_spawn " + path + " failed");
}

ChildProcess::~ChildProcess() {
  if (end_) return;
  kill(pid_, SIGKILL);
  Wait();
}

void ChildProcess::Signal(int signal) const {
  if (!end_) kill(pid_, signal);
}

bool ChildProcess::AwaitHandler(int signal, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  const std::string status = "/proc/" + std::to_string(pid_) + "/status";
  while (std::chrono::steady_clock::now() < deadline && !Poll()) {
    std::ifstream in(status);
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("SigCgt:", 0) != 0) continue;
      const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
      if ((caught >> (signal - 1) & 1) != 0) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

namespace {

ChildEnd EndOf(int raw) {
  ChildEnd end;
  if (WIFEXITED(raw)) end.status = WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) end.signal = WTERMSIG(raw);
  return end;
}

}  // namespace

std::optional<ChildEnd> ChildProcess::Poll() {
  if (end_) return end_;
  int raw = 0;
  pid_t got;
  do {
    got = waitpid(pid_, &raw, WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got == pid_) end_ = EndOf(raw);
  return end_;
}

ChildEnd ChildProcess::Wait() {
  if (end_) return *end_;
  int raw = 0;
  pid_t got;
  do {
    got = waitpid(pid_, &raw, 0);
  } while (got < 0 && errno == EINTR);
  end_ = got == pid_ ? EndOf(raw) : ChildEnd{};
  return *end_;
}

ProcessResult RunChild(const std::string& program, const std::vector<std::string>& args,
                       const std::function<void(ChildProcess&)>& whileRunning) {
  const TempFile out("");
  const TempFile err("");
  const int outFd = open(out.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  const int errFd = open(err.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (outFd < 0 || errFd < 0) throw std::runtime_error("cannot open the output files");
  ChildEnd end;
  {
    ChildProcess child(program, args, outFd, errFd);
    close(outFd);
    close(errFd);
    whileRunning(child);
    end = child.Wait();
  }
  ProcessResult result;
  result.status = end.status;
  result.signal = end.signal;
  result.out = ReadFileBytes(out.path());
  result.err = ReadFileBytes(err.path());
  return result;
}

ScopedFault::ScopedFault(const std::string& setting) : setting_(setting) {
  // The sanitizer's runtime must come first among the preloaded libraries
  // unless told that another may.
  if (const char* asan = std::getenv("ASAN_OPTIONS")) asanOptions_ = asan;
  const std::string asan = asanOptions_.value_or("");
  setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0").c_str(), 1);
  setenv("PATHSUITE_FAULT", setting.c_str(), 1);
  setenv("LD_PRELOAD", FAULT_SHIM, 1);
}

ScopedFault::~ScopedFault() {
  unsetenv("LD_PRELOAD");
  unsetenv("PATHSUITE_FAULT");
  if (asanOptions_) {
    setenv("ASAN_OPTIONS", asanOptions_->c_str(), 1);
  } else {
    unsetenv("ASAN_OPTIONS");
  }
}

std::vector<std::string> ScopedFault::MpirunOptions() const {
  return {"-x", "PATHSUITE_FAULT=" + setting_, "-x", std::string("LD_PRELOAD=") + FAULT_SHIM};
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& dir)
    : saved_(std::filesystem::current_path().string()) {
  std::filesystem::current_path(dir);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
  std::error_code ignored;
  std::filesystem::current_path(saved_, ignored);
}
