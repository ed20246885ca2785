// One run at a time on a checkpoint, and what a crash or a failing file
// system leaves: a second run given the same FILE is turned away and
// touches nothing; the files in the making that a killed save leaves are
// removed by the next run, and nothing else; a save that fails part-way
// (fsync, close, rename) or a checkpoint that cannot be read ends the run
// with the reason and keeps the last good state; a checkpoint named
// without a directory works as any other. Failures come from the fault
// library (tests/FaultShim.cpp) in the real executables.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pathsuite/pathsuite.h"
#include "tests/TestSupport.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }

std::string HostName() {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  return host;
}

class CheckpointFile : public ::testing::Test {
 protected:
  void SetUp() override {
    input_ = dir_.path() + "/social.txt";
    WriteBytes(input_, SocialGraph(2000, 77));
    const ProcessResult own = RunProgram("anybridge", Run());
    ASSERT_EQ(0, own.status);
    expected_ = own.out;
  }
  std::vector<std::string> Run() const { return {input_, "x", "2000"}; }
  std::string Checkpoint() const { return dir_.path() + "/run.ckpt"; }
  // Saving every 20 ms on one thread: a run of half a second saves often.
  std::vector<std::string> Saving(const std::string& checkpoint) const {
    return JoinArgs({"--threads", "1", "--checkpoint", checkpoint, "--checkpoint-every", "0.02",
                     "anybridge"},
                    Run());
  }
  // Resumes the checkpoint there: the bytes of a run never stopped, and no
  // file left but the input.
  void ExpectResumes(const std::string& checkpoint) {
    const ProcessResult r = RunProgram("pathsuite", Saving(checkpoint));
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(expected_ == r.out) << "not the bytes of a run never stopped";
    EXPECT_EQ(std::set<std::string>{"social.txt"}, DirectoryNames(dir_.path()));
  }

  TempDir dir_;
  std::string input_;
  std::string expected_;
};

// The first run has not saved yet when the second starts on another input
// of its own: without the lock the second would run, save over the first's
// checkpoint and remove it when done, and the first would resume from 0.
TEST_F(CheckpointFile, ASecondRunOnTheSameFileIsTurnedAway) {
  const std::string small = dir_.path() + "/small.txt";
  WriteBytes(small, SocialGraph(200, 5));
  const std::vector<std::string> first = JoinArgs({"--threads", "1", "--checkpoint", Checkpoint(),
                                                   "anybridge"},
                                                  Run());
  const ProcessResult r = RunChild("pathsuite", first, [&](ChildProcess& child) {
    while (!std::filesystem::exists(Checkpoint() + ".lock") && !child.Poll()) Pause();
    const std::set<std::string> before = DirectoryNames(dir_.path());
    const ProcessResult second = RunProgram(
        "pathsuite", {"--checkpoint", Checkpoint(), "--checkpoint-every", "0.01", "anybridge",
                      small, "x", "2000"});
    EXPECT_EQ(1, second.status);
    EXPECT_EQ("anybridge: checkpoint " + Checkpoint() + ": another run holds it (process " +
                  std::to_string(child.pid()) + " on " + HostName() + ")\n",
              second.err);
    EXPECT_EQ("", second.out);
    EXPECT_EQ(before, DirectoryNames(dir_.path()));
    child.Signal(SIGTERM);
  });
  EXPECT_EQ(128 + SIGTERM, r.status) << r.err;
  std::filesystem::remove(small);
  // The first run's own state, saved when it stopped, resumes.
  EXPECT_EQ((std::set<std::string>{"social.txt", "run.ckpt"}), DirectoryNames(dir_.path()));
  ExpectResumes(Checkpoint());
}

// A run killed while it saves leaves its file in the making; the next run
// on FILE removes it, and the others that only look alike stay.
TEST_F(CheckpointFile, TheNextRunRemovesWhatAKilledSaveLeft) {
  ProcessResult killed;
  {
    const ScopedFault crash("fsync:run.ckpt.tmp-:KILL:3");  // in the third save
    killed = RunProgram("pathsuite", Saving(Checkpoint()));
  }
  ASSERT_EQ(SIGKILL, killed.signal) << killed.status << " " << killed.err;
  std::vector<std::string> leftovers;
  for (const std::string& name : DirectoryNames(dir_.path())) {
    if (name.rfind("run.ckpt.tmp-", 0) == 0) leftovers.push_back(name);
  }
  ASSERT_EQ(1u, leftovers.size()) << "the killed save left no file in the making";
  // Made as a save makes them: an empty one and one cut after a few bytes.
  WriteBytes(dir_.path() + "/run.ckpt.tmp-AbC123", "");
  WriteBytes(dir_.path() + "/run.ckpt.tmp-x9Y8z7", "PATHSUI");
  // Not a save's: other letters, another length, another content, another
  // checkpoint's, a directory.
  const std::set<std::string> others = {"run.ckpt.tmp-AbC12", "run.ckpt.tmp-AbC12!",
                                        "run.ckpt.tmp-QQQQQQ", "other.ckpt.tmp-AbC123",
                                        "run.ckpt.tmp-DIRDIR"};
  for (const std::string& name : others) {
    if (name == "run.ckpt.tmp-DIRDIR") {
      std::filesystem::create_directory(dir_.path() + "/" + name);
    } else {
      WriteBytes(dir_.path() + "/" + name,
                 name == "run.ckpt.tmp-QQQQQQ" ? "not a checkpoint" : "PATHSUITE-CKPT");
    }
  }
  const ProcessResult r = RunProgram("pathsuite", Saving(Checkpoint()));
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_TRUE(expected_ == r.out) << "not the bytes of a run never stopped";
  std::set<std::string> left = others;
  left.insert("social.txt");
  EXPECT_EQ(left, DirectoryNames(dir_.path()));
}

// A save that fails part-way ends the run with the reason; the checkpoint
// holds the last save that succeeded, and resumes.
TEST_F(CheckpointFile, ASaveThatFailsPartWayKeepsTheLastGoodState) {
  const struct {
    std::string fault;
    std::string reason;
  } cases[] = {
      {"fsync:run.ckpt.tmp-:EIO:3", "Input/output error"},
      {"close:run.ckpt.tmp-:EIO:3", "Input/output error"},
      {"rename:run.ckpt.tmp-:EXDEV:3", "Invalid cross-device link"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    ProcessResult r;
    {
      const ScopedFault fault(c.fault);
      r = RunProgram("pathsuite", Saving(Checkpoint()));
    }
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("anybridge: checkpoint " + Checkpoint() + ": cannot write: " + c.reason + "\n",
              r.err);
    EXPECT_EQ("", r.out);
    EXPECT_GT(SavedSources(Checkpoint()), 0) << "no save went through before the failing one";
    EXPECT_EQ((std::set<std::string>{"social.txt", "run.ckpt"}), DirectoryNames(dir_.path()));
    ExpectResumes(Checkpoint());
  }
}

// A checkpoint there that cannot be read (an I/O error) is refused with the
// reason, and stays.
TEST_F(CheckpointFile, ACheckpointThatCannotBeReadStays) {
  WriteBytes(Checkpoint(), "PATHSUITE-CKPT");
  ProcessResult r;
  {
    const ScopedFault fault("read:" + Checkpoint() + ":EIO");
    r = RunProgram("pathsuite", Saving(Checkpoint()));
  }
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("anybridge: checkpoint " + Checkpoint() + ": Input/output error\n", r.err);
  EXPECT_EQ("PATHSUITE-CKPT", ReadFileBytes(Checkpoint()));
  EXPECT_EQ((std::set<std::string>{"social.txt", "run.ckpt"}), DirectoryNames(dir_.path()));
}

// --checkpoint run.ckpt: beside it is the working directory.
TEST_F(CheckpointFile, NamedWithoutADirectory) {
  const ScopedWorkingDirectory here(dir_.path());
  const ProcessResult r = RunChild("pathsuite", Saving("run.ckpt"), [&](ChildProcess& child) {
    while (SavedSources("run.ckpt") < 300 && !child.Poll()) Pause();
    child.Signal(SIGINT);
  });
  EXPECT_EQ(128 + SIGINT, r.status);
  EXPECT_EQ("anybridge: stopped by SIGINT after " + std::to_string(SavedSources("run.ckpt")) +
                " of 2000 sources; state saved in run.ckpt\n",
            r.err);
  EXPECT_EQ((std::set<std::string>{"social.txt", "run.ckpt"}), DirectoryNames(dir_.path()));
  ExpectResumes("run.ckpt");
}

}  // namespace

namespace {

// A stop that comes after the last source is folded, before the listing
// (here the scores) is handed over: the whole run is saved, and a run
// resumed from it only hands the scores over.
TEST(CheckpointApi, AStopAfterTheLastSourceSavesTheWholeRun) {
  const TempDir dir;
  const std::string input = dir.path() + "/social.txt";
  WriteBytes(input, SocialGraph(400, 11));
  const pathsuite::Graph graph = pathsuite::Graph::ReadEdges(input);
  pathsuite::Betweenness fresh(graph);
  fresh.Run();
  const std::string ckpt = dir.path() + "/run.ckpt";
  std::atomic<bool> cancel{false};
  pathsuite::RunOptions options;
  options.threads = 2;
  options.cancel = &cancel;
  options.checkpoint = pathsuite::CheckpointOptions{ckpt, 300};
  options.progress = [&](int64_t done, int64_t total) {
    if (done == total) cancel.store(true);
  };
  pathsuite::Betweenness stopped(graph);
  try {
    stopped.Run(options);
    ADD_FAILURE() << "the run was not stopped";
  } catch (const pathsuite::Cancelled& stop) {
    EXPECT_TRUE(stop.saved());
    EXPECT_EQ(400, stop.sourcesDone());
    EXPECT_EQ(400, stop.total());
  }
  EXPECT_EQ(400, SavedSources(ckpt));
  cancel.store(false);
  options.progress = nullptr;
  pathsuite::Betweenness resumed(graph);
  resumed.Run(options);
  EXPECT_TRUE(fresh.Scores() == resumed.Scores()) << "not the scores of a run never stopped";
  EXPECT_EQ(std::set<std::string>{"social.txt"}, DirectoryNames(dir.path()));
}

}  // namespace
