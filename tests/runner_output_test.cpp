// The runner's --output: the listing lands in FILE whole, or FILE stays as
// it was, whatever fails on the way (a full disk, a failing fsync, close or
// rename, a stop); and the checkpoint goes only once FILE is safe on disk.
// The failures are made by the fault library (tests/FaultShim.cpp) in the
// real executables.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "graph/EdgeGraph.h"
#include "library/Checkpoint.h"
#include "tests/TestSupport.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A graph whose distance lines are long: lengths near 1e300 print some
// 300 digits, so that a task of 8 sources passes 1 MiB of text and its
// producer writes its own lines in their turn.
std::string LongLineGraph(int names) {
  std::string text;
  uint64_t state = 12345;
  auto next = [&] { return state = state * 6364136223846793005ULL + 1442695040888963407ULL; };
  for (int v = 1; v < names; ++v) {
    for (int k = 0; k < 3; ++k) {
      const int u = static_cast<int>((next() >> 33) % static_cast<uint64_t>(v));
      text += "n" + std::to_string(u) + " n" + std::to_string(v) + " " +
              std::to_string(1 + (next() >> 60)) + "e300\n";
    }
  }
  return text;
}

// The state of a checkpoint of anybridge over input after `done` sources,
// with zeros for scores.
std::string ForgedCheckpoint(const std::string& input, int32_t capacity, int64_t done,
                             const std::string& scratch) {
  RunSettings settings = SettingsWithPath(Deliverable::Anybridge, input);
  settings.nodeCapacity = capacity;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  const CheckpointIdentity identity{"anybridge", capacity, graph.nameCount, graph.inputSize,
                                    graph.inputHash};
  Checkpoint_Write(scratch, identity, done, std::vector<double>(graph.nameCount, 0.0));
  const std::string bytes = ReadFileBytes(scratch);
  std::filesystem::remove(scratch);
  return bytes;
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

mode_t Umask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// Every program's listing, to FILE through --output, is the program's own
// standard output, byte for byte; nothing goes to standard output, FILE
// replaces what was there, with the mode a new file gets, and nothing else
// is left beside it. Distance lines of over 1 MiB a task on several
// threads come out in order.
TEST(Output, TheListingLandsInTheFileWhole) {
  const TempDir dir;
  const std::string social = dir.path() + "/social.txt";
  WriteBytes(social, SocialGraph(300, 3));
  const std::string wide = dir.path() + "/wide.txt";
  WriteBytes(wide, LongLineGraph(500));
  const std::string out = dir.path() + "/out.txt";
  const std::string ckpt = dir.path() + "/run.ckpt";
  struct OutputCase {
    std::string program;
    std::vector<std::string> args;
    std::vector<std::string> options;
  };
  const std::vector<OutputCase> cases = {
      {"anybridge", {social, "x", "1000"}, {"--threads", "3"}},
      {"anybridge", {social, "x", "1000"}, {"--checkpoint", ckpt}},
      {"betweenness", {}, {"--threads", "2"}},
      {"anypairs", {wide, "x", "1000"}, {"--threads", "3"}},
      {"spanpairs", {"0", "17038"}, {}},
      {"spanpairs", {"9", "3"}, {}},  // no lines: an empty file
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.program + " " + (c.options.empty() ? "" : c.options[0] + " " + c.options[1]));
    const ProcessResult own = RunProgram(c.program, c.args);
    ASSERT_EQ(0, own.status) << own.err;
    WriteBytes(out, "an older listing\n");
    const ProcessResult r = RunProgram(
        "pathsuite", JoinArgs(JoinArgs(JoinArgs(c.options, {"--output", out}), {c.program}), c.args));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(own.out.size(), ReadFileBytes(out).size());
    EXPECT_TRUE(own.out == ReadFileBytes(out)) << "the file is not the listing";
    EXPECT_EQ(0666 & ~Umask(), ModeOf(out));
    EXPECT_EQ((std::set<std::string>{"social.txt", "wide.txt", "out.txt"}),
              DirectoryNames(dir.path()));
  }
  // The same long lines to standard output, on several threads.
  const ProcessResult own = RunProgram("anypairs", {wide, "x", "1000"});
  ASSERT_GT(own.out.size(), size_t{8} << 20);
  const ProcessResult r = RunProgram("pathsuite", {"--threads", "3", "anypairs", wide, "x", "1000"});
  EXPECT_EQ(0, r.status);
  EXPECT_TRUE(own.out == r.out) << "distance lines out of order";
}

// A listing that cannot be made whole leaves FILE as it was, no file in
// the making, and the checkpoint: a full disk part-way, a failing fsync, a
// close that reports a write lost (as a network file system does), a
// rename that fails. A directory not synced after the rename leaves the
// listing in FILE but not known to be safe: the run fails and keeps the
// checkpoint too.
TEST(Output, AListingThatCannotBeMadeWholeLeavesTheFileAndTheCheckpoint) {
  const TempDir dir;
  const std::string social = dir.path() + "/social.txt";
  WriteBytes(social, SocialGraph(300, 5));
  const std::string out = dir.path() + "/out.txt";
  const std::string ckpt = dir.path() + "/run.ckpt";
  const std::string saved = ForgedCheckpoint(social, 1000, 120, ckpt);
  // The listing a run resumed from it prints.
  WriteBytes(ckpt, saved);
  const ProcessResult resumed =
      RunProgram("pathsuite", {"--checkpoint", ckpt, "anybridge", social, "x", "1000"});
  ASSERT_EQ(0, resumed.status) << resumed.err;
  struct FaultCase {
    std::string fault;
    std::string reason;
    bool listingInPlace;  // FILE holds the new listing after all
  };
  const FaultCase cases[] = {
      {"write:.part-:ENOSPC:2000", "No space left on device", false},
      {"write:.part-:ENOSPC:0", "No space left on device", false},
      {"fsync:.part-:EIO", "Input/output error", false},
      {"close:.part-:EIO", "Input/output error", false},
      {"rename:.part-:EXDEV", "Invalid cross-device link", false},
      {"fsyncdir:" + dir.path() + ":EIO", "Input/output error", true},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.fault);
    WriteBytes(out, "an older listing\n");
    WriteBytes(ckpt, saved);
    ProcessResult r;
    {
      const ScopedFault fault(c.fault);
      r = RunProgram("pathsuite", {"--checkpoint", ckpt, "--output", out, "anybridge", social, "x",
                                   "1000"});
    }
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("anybridge: cannot write " + out + ": " + c.reason + "\n", r.err);
    EXPECT_EQ("", r.out);
    EXPECT_TRUE((c.listingInPlace ? resumed.out : "an older listing\n") == ReadFileBytes(out))
        << "the file holds neither the old listing nor the new";
    EXPECT_TRUE(saved == ReadFileBytes(ckpt)) << "the checkpoint changed or went";
    EXPECT_EQ((std::set<std::string>{"social.txt", "out.txt", "run.ckpt"}),
              DirectoryNames(dir.path()));
  }
  // Where no listing can go, the run says so before it starts.
  const ProcessResult device = RunProgram("pathsuite", {"--checkpoint", ckpt, "--output",
                                                        "/dev/null", "anybridge", social, "x",
                                                        "1000"});
  EXPECT_EQ(1, device.status);
  EXPECT_EQ("anybridge: cannot write /dev/null: not a regular file\n", device.err);
  const std::string missing = dir.path() + "/none/out.txt";
  const ProcessResult nowhere = RunProgram("pathsuite", {"--output", missing, "anybridge", social,
                                                         "x", "1000"});
  EXPECT_EQ(1, nowhere.status);
  EXPECT_EQ("anybridge: cannot write " + missing + ": No such file or directory\n", nowhere.err);
  EXPECT_TRUE(saved == ReadFileBytes(ckpt));
}

// SIGINT or SIGTERM is caught with or without a checkpoint: the run ends
// with 128 + the signal and a line that says what was kept, and a file
// listing is not written.
TEST(Output, AStopLeavesNoListingAndSaysWhatWasSaved) {
  const TempDir dir;
  const std::string social = dir.path() + "/social.txt";
  WriteBytes(social, SocialGraph(3000, 9));
  const std::string out = dir.path() + "/out.txt";
  struct StopCase {
    int signal;
    std::vector<std::string> line;
    std::string tail;  // the message after "after K of N sources"
  };
  const StopCase cases[] = {
      {SIGINT, {"--threads", "1", "anybridge", social, "x", "3000"},
       "; nothing saved (--checkpoint FILE makes a run resumable)"},
      {SIGTERM, {"--threads", "1", "--output", out, "anybridge", social, "x", "3000"},
       "; nothing saved (--checkpoint FILE makes a run resumable)"},
      {SIGTERM, {"--threads", "2", "--output", out, "anypairs", social, "x", "3000"},
       "; " + out + " not written"},
      {SIGINT, {"--threads", "1", "--", "anypairs", social, "x", "3000"},
       "; the listing is cut short"},
  };
  for (const StopCase& c : cases) {
    const std::string name = c.signal == SIGINT ? "SIGINT" : "SIGTERM";
    const std::string program = c.line[c.line.size() - 4];
    SCOPED_TRACE(name + " to " + program);
    const ProcessResult r = RunChild("pathsuite", c.line, [&](ChildProcess& child) {
      ASSERT_TRUE(child.AwaitHandler(c.signal, 20)) << "the signal is not caught";
      child.Signal(c.signal);
    });
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ(128 + c.signal, r.status);
    const std::string head = program + ": stopped by " + name + " after ";
    const std::string total = " of 3000 sources" + c.tail + "\n";
    EXPECT_EQ(0u, r.err.rfind(head, 0)) << r.err;
    EXPECT_TRUE(r.err.size() > head.size() + total.size() &&
                r.err.compare(r.err.size() - total.size(), total.size(), total) == 0)
        << r.err;
    if (program == "anybridge") {
      EXPECT_EQ("", r.out);
    }
    EXPECT_EQ(std::set<std::string>{"social.txt"}, DirectoryNames(dir.path()));
  }
}

}  // namespace
