// The runner's progress meter as a terminal shows it: drawn on standard
// error when that is a terminal (or with --progress), and gone, every
// character of it, before the output, a message or the end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <csignal>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/TestSupport.h"

namespace {

// What a terminal shows of text: its lines, each as carriage returns let
// later characters overwrite it from the first column, trailing spaces cut.
std::vector<std::string> Screen(const std::string& text) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (const char c : text) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (column < line.size()) {
        line[column] = c;
      } else {
        line.push_back(c);
      }
      ++column;
    }
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  return lines;
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// Whether text ends with the meter's erasure: a carriage return, spaces
// and a carriage return.
bool EndsErased(const std::string& text) {
  if (text.size() < 3 || text.back() != '\r') return false;
  const size_t before = text.find_last_not_of(' ', text.size() - 2);
  return before != std::string::npos && before < text.size() - 2 && text[before] == '\r';
}

struct TerminalRun {
  ChildEnd end;
  std::string terminal;  // what reached the terminal
  std::string out;       // standard output, when not on the terminal
};

// Runs pathsuite with standard error (and with outputToo, standard output)
// on a pseudo-terminal; onRead(child, terminal so far) runs after each read.
TerminalRun RunOnTerminal(const std::vector<std::string>& args, bool outputToo,
                          const std::function<void(ChildProcess&, const std::string&)>& onRead) {
  TerminalRun run;
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    ADD_FAILURE() << "openpty failed";
    return run;
  }
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  const TempFile out("");
  const int outFd = outputToo ? slave : open(out.path().c_str(), O_WRONLY | O_CLOEXEC);
  {
    ChildProcess child("pathsuite", args, outFd, slave);
    if (!outputToo) close(outFd);
    close(slave);
    char block[4096];
    for (;;) {
      const ssize_t got = read(master, block, sizeof block);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;  // EIO once no process holds the terminal
      run.terminal.append(block, static_cast<size_t>(got));
      onRead(child, run.terminal);
    }
    run.end = child.Wait();
  }
  close(master);
  run.out = ReadFileBytes(out.path());
  return run;
}

void NoReaction(ChildProcess&, const std::string&) {}

// Every drawing between two carriage returns is a whole line of the
// meter's form (or the spaces that erase it).
void ExpectMeterLines(const std::string& text, int64_t total) {
  const std::regex drawn("anybridge: [0-9]+ of " + std::to_string(total) +
                         " sources \\([0-9]+\\.[0-9]%\\), [0-9]+:[0-9]{2}:[0-9]{2} "
                         "elapsed(, about [0-9]+:[0-9]{2}:[0-9]{2} left)? *");
  size_t at = 0;
  while ((at = text.find('\r', at)) != std::string::npos) {
    const size_t next = text.find('\r', at + 1);
    if (next == std::string::npos) break;
    const std::string piece = text.substr(at + 1, next - at - 1);
    if (piece.find_first_not_of(' ') != std::string::npos) {
      EXPECT_TRUE(std::regex_match(piece, drawn)) << '"' << piece << '"';
    }
    at = next;
  }
}

struct MeterCase {
  std::string label;
  std::vector<std::string> options;
  bool onTerminal;  // standard error on a terminal, else in a file
  bool shown;
};

// Where the meter is drawn, it is whole and erased at the end; where not,
// standard error stays empty. Either way standard output is the program's.
// An absent meter would be absent from the first moment, so those runs
// are short; the shown ones last several redraws (slow part: some 2 s).
TEST(Meter, ShownWhereAskedForAndErased) {
  const TempDir dir;
  const MeterCase cases[] = {
      {"terminal", {"--threads", "1"}, true, true},
      {"file, --progress", {"--threads", "2", "--progress"}, false, true},
      {"terminal, --no-progress", {"--threads", "2", "--no-progress"}, true, false},
      {"file", {"--threads", "2"}, false, false},
      {"file, --no-progress", {"--progress", "--no-progress"}, false, false},
  };
  const uint32_t nodes[2] = {300, 3000};  // absent, shown
  std::string inputs[2];
  ProcessResult own[2];
  for (int k = 0; k < 2; ++k) {
    inputs[k] = dir.path() + "/social" + std::to_string(nodes[k]) + ".txt";
    std::ofstream(inputs[k], std::ios::binary) << SocialGraph(nodes[k], 77);
    own[k] = RunProgram("anybridge", {inputs[k], "x", "100000"});
    ASSERT_EQ(0, own[k].status) << own[k].err;
  }
  for (const MeterCase& c : cases) {
    SCOPED_TRACE(c.label);
    const int k = c.shown ? 1 : 0;
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"anybridge", inputs[k], "x", "100000"});
    std::string err, out;
    int status = -1;
    if (c.onTerminal) {
      const TerminalRun r = RunOnTerminal(args, false, NoReaction);
      status = r.end.status;
      err = r.terminal;
      out = r.out;
    } else {
      const ProcessResult r = RunProgram("pathsuite", args);
      status = r.status;
      err = r.err;
      out = r.out;
    }
    EXPECT_EQ(0, status);
    EXPECT_TRUE(own[k].out == out) << "standard output differs";
    if (!c.shown) {
      EXPECT_EQ("", err);
      continue;
    }
    const std::string total = std::to_string(nodes[k]);
    EXPECT_EQ(0u, err.rfind("\ranybridge: 0 of " + total + " sources (0.0%), 0:00:00 elapsed", 0))
        << err;
    if (c.onTerminal) {
      EXPECT_GE(Count(err, "\ranybridge: "), 2u) << err;
    }
    ExpectMeterLines(err, nodes[k]);
    EXPECT_TRUE(EndsErased(err)) << err;
    EXPECT_EQ(std::vector<std::string>{""}, Screen(err));
  }
}

// A resumed run says where it took up, and times what is left from there;
// an input that takes a while to load (here a pipe fed slowly) shows its
// bytes meanwhile. Each drawing is a whole line of one form or the other.
TEST(Meter, ShowsALongLoadAndWhereAResumedRunTookUp) {
  const TempDir dir;
  const std::string graph = SocialGraph(2000, 77);
  const std::string input = dir.path() + "/social.txt";
  std::ofstream(input, std::ios::binary) << graph;
  const ProcessResult own = RunProgram("anybridge", {input, "x", "2000"});
  ASSERT_EQ(0, own.status);
  const std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  // Ten pieces over about a second.
  std::thread feeder([&] {
    std::ofstream pipe(fifo, std::ios::binary);
    const size_t piece = graph.size() / 10 + 1;
    for (size_t at = 0; at < graph.size(); at += piece) {
      pipe.write(graph.data() + at, static_cast<std::streamsize>(std::min(piece, graph.size() - at)));
      pipe.flush();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  const ProcessResult loaded =
      RunProgram("pathsuite", {"--progress", "--threads", "1", "anybridge", fifo, "x", "2000"});
  feeder.join();
  EXPECT_EQ(0, loaded.status) << loaded.err;
  EXPECT_TRUE(own.out == loaded.out) << "standard output differs";
  EXPECT_GE(Count(loaded.err, "\ranybridge: loading, "), 2u) << loaded.err;
  const std::regex form("anybridge: (loading, [0-9]+\\.[0-9] MB read|[0-9]+ of 2000 sources .*) *");
  size_t at = 0;
  while ((at = loaded.err.find('\r', at)) != std::string::npos) {
    const size_t next = loaded.err.find('\r', at + 1);
    if (next == std::string::npos) break;
    const std::string piece = loaded.err.substr(at + 1, next - at - 1);
    if (piece.find_first_not_of(' ') != std::string::npos) {
      EXPECT_TRUE(std::regex_match(piece, form)) << '"' << piece << '"';
    }
    at = next;
  }
  EXPECT_TRUE(EndsErased(loaded.err)) << loaded.err;

  // A run stopped at a half, resumed with the meter.
  const std::string ckpt = dir.path() + "/run.ckpt";
  const std::vector<std::string> saving = {"--threads", "1", "--checkpoint", ckpt,
                                           "--checkpoint-every", "0.02", "anybridge", input,
                                           "x", "2000"};
  const ProcessResult stopped = RunChild("pathsuite", saving, [&](ChildProcess& child) {
    while (SavedSources(ckpt) < 1000 && !child.Poll()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    child.Signal(SIGTERM);
  });
  ASSERT_EQ(143, stopped.status) << stopped.err;
  const int64_t saved = SavedSources(ckpt);
  const ProcessResult resumed = RunProgram("pathsuite", JoinArgs({"--progress"}, saving));
  EXPECT_EQ(0, resumed.status) << resumed.err;
  EXPECT_TRUE(own.out == resumed.out) << "standard output differs";
  char head[160];
  std::snprintf(head, sizeof head,
                "\ranybridge: %lld of 2000 sources (%.1f%%), resumed at %lld, 0:00:00 elapsed",
                static_cast<long long>(saved), 100.0 * static_cast<double>(saved) / 2000,
                static_cast<long long>(saved));
  EXPECT_EQ(0u, resumed.err.rfind(head, 0)) << resumed.err;
  const std::string resumedAt = ", resumed at " + std::to_string(saved) + ", ";
  EXPECT_EQ(Count(resumed.err, "\ranybridge: "), Count(resumed.err, resumedAt)) << resumed.err;
}

// A stopped run's message is all the terminal shows at the end.
TEST(Meter, ErasedBeforeAMessage) {
  const TempDir dir;
  const std::string input = dir.path() + "/social.txt";
  std::ofstream(input, std::ios::binary) << SocialGraph(3000, 77);
  const std::string ckpt = dir.path() + "/run.ckpt";
  bool sent = false;  // a second SIGTERM would end the process at once
  const TerminalRun r = RunOnTerminal(
      {"--threads", "1", "--checkpoint", ckpt, "anybridge", input, "x", "100000"}, false,
      [&](ChildProcess& child, const std::string& terminal) {
        if (sent || Count(terminal, "\ranybridge: ") < 2) return;
        child.Signal(SIGTERM);
        sent = true;
      });
  EXPECT_EQ(143, r.end.status);
  EXPECT_EQ("", r.out);
  const std::vector<std::string> screen = Screen(r.terminal);
  ASSERT_EQ(2u, screen.size()) << r.terminal;
  EXPECT_EQ(0u, screen[0].rfind("anybridge: stopped by SIGTERM after ", 0)) << r.terminal;
  EXPECT_EQ("", screen[1]);
}

// Output and meter on one terminal: the meter is erased before each write,
// so the screen holds the rows and nothing else.
TEST(MeterShared, ErasedBeforeEachWrite) {
  const TempFile input(SocialGraph(400, 5));
  const ProcessResult own = RunProgram("anypairs", {input.path(), "x", "1000"});
  ASSERT_EQ(0, own.status);
  const TerminalRun r =
      RunOnTerminal({"--threads", "2", "anypairs", input.path(), "x", "1000"}, true, NoReaction);
  EXPECT_EQ(0, r.end.status);
  EXPECT_GE(Count(r.terminal, "\ranypairs: "), 1u);
  EXPECT_TRUE(Screen(own.out) == Screen(r.terminal)) << "the screen shows more than the rows";
}

}  // namespace
