// Resumed, stopped and broken jobs. A job resumes a checkpoint from its
// saved sources and scores. A checkpoint that a job of 3 ranks wrote when
// mpirun was told to stop resumes on 1, 2 and 4 ranks and under the local
// runner; one the local runner wrote resumes alone, and one written alone
// resumes on 3 ranks; each ends in the bytes of a run never stopped. A
// rank that dies ends the job with a failure and no listing, and the first
// rank names it. Slow: some 20 s of runs on 2 cores.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "graph/EdgeGraph.h"
#include "library/Checkpoint.h"
#include "tests/cluster/ClusterSupport.h"

namespace {

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Pins the calling thread, and so the processes it starts, to the first
// CPU it may use, until the object goes.
class OneCore {
 public:
  OneCore() {
    sched_getaffinity(0, sizeof saved_, &saved_);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &saved_)) {
        CPU_SET(cpu, &one);
        break;
      }
    }
    sched_setaffinity(0, sizeof one, &one);
  }
  ~OneCore() { sched_setaffinity(0, sizeof saved_, &saved_); }
  OneCore(const OneCore&) = delete;
  OneCore& operator=(const OneCore&) = delete;

 private:
  cpu_set_t saved_;
};

// A saved state no run could reach: a job must fold on top of it, from the
// saved source on, in the local runner's order. Scores just short of
// +-2^33 and 2^34 keep their last bits in the sixth decimal, and cross a
// power of two as they grow, where the rounding of what is added changes:
// a sum in another order prints other digits.
TEST(ClusterResume, TakesTheSavedScoresAndSources) {
  const TempDir dir;
  const std::string input = dir.path() + "/social.txt";
  std::ofstream(input, std::ios::binary) << SocialGraph(300, 300);
  const std::string ckpt = dir.path() + "/run.ckpt";
  RunSettings settings = SettingsWithPath(Deliverable::Anybridge, input);
  settings.nodeCapacity = 1000;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  const CheckpointIdentity identity{"anybridge", 1000, graph.nameCount, graph.inputSize,
                                    graph.inputHash};
  std::vector<double> scores;
  const double bounds[] = {0x1p34, -0x1p33, 0x1p33, 0};
  for (int32_t i = 0; i < graph.nameCount; ++i) {
    scores.push_back(bounds[i % 4] - (i % 50) - 0.37);
  }
  Checkpoint_Write(ckpt, identity, 137, scores);
  const std::string saved = ReadFileBytes(ckpt);
  const std::string output = dir.path() + "/scores.txt";
  const std::vector<std::string> line = {"--checkpoint", ckpt,  "--output", output,
                                         "anybridge",    input, "x",        "1000"};
  const ProcessResult local = RunProgram("pathsuite", line);
  ASSERT_EQ(0, local.status) << local.err;
  const std::string expected = ReadFileBytes(output);
  const ProcessResult fresh = RunProgram("anybridge", {input, "x", "1000"});
  ASSERT_FALSE(fresh.out == expected) << "the saved state makes no difference";
  const std::vector<std::string> sizes[] = {
      {"--threads", "2"},
      {"--threads", "1", "--block", "7", "--segment", "64"},
      {"--threads", "2", "--block", "3", "--segment", "128"},
      {"--threads", "1", "--block", "1000"},
      {"--threads", "2", "--block", "1", "--segment", "32"},
  };
  for (int ranks = 0; ranks <= 4; ++ranks) {
    const std::vector<std::string> job = JoinArgs(sizes[ranks], line);
    SCOPED_TRACE(Cluster_Describe(ranks, job));
    WriteBytes(ckpt, saved);
    std::filesystem::remove(output);
    const ProcessResult r = Cluster_Run(ranks, job);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(expected == ReadFileBytes(output)) << "the listing differs";
    EXPECT_FALSE(std::filesystem::exists(ckpt));
  }
}

// About 2.5 s on one thread, as long on one core: a job of 3 ranks there
// is still running when mpirun passes a stop on, a second after it got it.
constexpr uint32_t kSocialNodes = 5000;

class ClusterStop : public ::testing::Test {
 protected:
  void SetUp() override {
    input_ = dir_.path() + "/social.txt";
    std::ofstream(input_, std::ios::binary) << SocialGraph(kSocialNodes, 20261209);
  }

  std::vector<std::string> Args() const { return {input_, "x", "100000"}; }
  std::vector<std::string> Run() const { return JoinArgs({"anybridge"}, Args()); }
  std::string Checkpoint() const { return dir_.path() + "/run.ckpt"; }
  std::string Output() const { return dir_.path() + "/scores.txt"; }
  // A checkpoint every 50 ms, so that a stop finds a recent one.
  std::vector<std::string> Saving() const {
    return JoinArgs({"--threads", "1", "--checkpoint", Checkpoint(), "--checkpoint-every", "0.05",
                     "--output", Output()},
                    Run());
  }

  std::string StoppedMessage(int64_t saved) const {
    return "anybridge: stopped by SIGTERM after " + std::to_string(saved) + " of " +
           std::to_string(kSocialNodes) + " sources; state saved in " + Checkpoint() + "\n";
  }

  // Resumes a checkpoint of these bytes, saved after `saved` sources, on
  // `ranks` ranks (0: a singleton, -1: the local runner): the meter starts
  // at the saved sources, the output is the run never stopped, and the
  // checkpoint is gone.
  void ExpectResumed(const std::string& bytes, int64_t saved, int ranks) {
    const std::vector<std::string> line =
        JoinArgs({"--progress", "--checkpoint", Checkpoint(), "--output", Output()}, Run());
    SCOPED_TRACE(ranks < 0 ? "pathsuite" : Cluster_Describe(ranks, line));
    WriteBytes(Checkpoint(), bytes);
    std::filesystem::remove(Output());
    const ProcessResult r = ranks < 0 ? RunProgram("pathsuite", line) : Cluster_Run(ranks, line);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(0u, r.err.rfind(MeterHead(saved), 0)) << r.err;
    EXPECT_EQ(std::string::npos, r.err.find('\n')) << "a message besides the meter: " << r.err;
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(expected_ == ReadFileBytes(Output())) << "not the bytes of a run never stopped";
    EXPECT_FALSE(std::filesystem::exists(Checkpoint()));
  }

  // The meter's first line on standard error for a run that starts after
  // `saved` sources.
  std::string MeterHead(int64_t saved) const {
    return "\ranybridge: " + std::to_string(saved) + " of " + std::to_string(kSocialNodes) +
           " sources (";
  }

  // Runs `program` (the local runner or a singleton) until its checkpoint
  // holds `target` sources, then stops it with SIGTERM; returns what it
  // saved. from >= 0: it resumes a checkpoint of that many sources, as its
  // meter must show.
  int64_t StopAlone(const std::string& program, int64_t from, int64_t target) {
    const std::vector<std::string> line = from < 0 ? Saving() : JoinArgs({"--progress"}, Saving());
    SCOPED_TRACE(program + " stopped after " + std::to_string(target) + " sources");
    const ProcessResult r = RunChild(program, line, [&](ChildProcess& p) {
      while (SavedSources(Checkpoint()) < target && !p.Poll()) Pause();
      p.Signal(SIGTERM);
    });
    const int64_t saved = SavedSources(Checkpoint());
    EXPECT_EQ(128 + SIGTERM, r.status);
    EXPECT_EQ("", r.out);
    const std::string message = StoppedMessage(saved);
    if (from < 0) {
      EXPECT_EQ(message, r.err);
    } else {
      EXPECT_EQ(0u, r.err.rfind(MeterHead(from), 0)) << r.err;
      EXPECT_TRUE(r.err.size() >= message.size() &&
                  r.err.compare(r.err.size() - message.size(), message.size(), message) == 0)
          << r.err;
    }
    EXPECT_GE(saved, target);
    EXPECT_LT(saved, kSocialNodes);
    return saved;
  }

  TempDir dir_;
  std::string input_;
  std::string expected_;
};

TEST_F(ClusterStop, CheckpointsMoveBetweenJobsAndTheLocalRunner) {
  const ProcessResult own = RunProgram("anybridge", Args());
  ASSERT_EQ(0, own.status) << own.err;
  expected_ = own.out;
  {
    SCOPED_TRACE("3 ranks on one core, stopped through mpirun");
    // mpirun passes SIGTERM on to the ranks after a grace of a second (the
    // tests' default is none), and SIGKILL a second later: the first rank
    // saves and ends the job in between. On one core the grace costs the
    // resumed runs less work.
    const std::vector<std::string> job =
        Cluster_MpirunArgs(3, Saving(), {"--mca", "odls_base_sigkill_timeout", "1"});
    std::optional<OneCore> pinned(std::in_place);
    const ProcessResult r = RunChild(MPIEXEC, job, [&](ChildProcess& mpirun) {
      pinned.reset();  // the job keeps its core
      while (SavedSources(Checkpoint()) < 1 && !mpirun.Poll()) Pause();
      mpirun.Signal(SIGTERM);
    });
    const int64_t saved = SavedSources(Checkpoint());
    ASSERT_GT(saved, 0) << "the job ended before the stop reached it: " << r.status << " "
                        << r.err;
    EXPECT_LT(saved, kSocialNodes);
    // A stopped mpirun ends with status 1, whatever its ranks end with.
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(StoppedMessage(saved), r.err);
    const std::string bytes = ReadFileBytes(Checkpoint());
    for (const int ranks : {1, 2, 4, -1}) ExpectResumed(bytes, saved, ranks);
  }
  {
    SCOPED_TRACE("the local runner stopped at a third, a singleton at two thirds");
    const int64_t first = StopAlone("pathsuite", -1, kSocialNodes / 3);
    const int64_t second = StopAlone("pathsuite-mpi", first, kSocialNodes * 2 / 3);
    ExpectResumed(ReadFileBytes(Checkpoint()), second, 3);
  }
}

// A rank killed once the ring is under way: mpirun ends the job, with the
// signal in its status, and sends SIGTERM to the ranks left. The first rank
// saves the last complete state and says which rank ended, not that a stop
// was asked; the state resumes.
TEST_F(ClusterStop, RankKilledMidRunIsNamed) {
  const ProcessResult own = RunProgram("anybridge", Args());
  ASSERT_EQ(0, own.status) << own.err;
  expected_ = own.out;
  const struct {
    int ranks;
    int killed;
  } cases[] = {{3, 2}, {2, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("rank " + std::to_string(c.killed) + " of " + std::to_string(c.ranks));
    std::filesystem::remove(Checkpoint());
    const std::vector<std::string> job =
        Cluster_MpirunArgs(c.ranks, Saving(), {"--mca", "odls_base_sigkill_timeout", "1",
                                               // no single-copy reads from the killed rank,
                                               // which Open MPI reports on standard error
                                               "--mca", "btl_vader_single_copy_mechanism", "none"});
    const ProcessResult r = RunChild(MPIEXEC, job, [&](ChildProcess& mpirun) {
      while (SavedSources(Checkpoint()) < 1 && !mpirun.Poll()) Pause();
      const pid_t rank = Cluster_RankPid(mpirun.pid(), c.killed, 10);
      ASSERT_GT(rank, 0) << "no such rank among mpirun's children";
      ASSERT_EQ(0, kill(rank, SIGKILL));
    });
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ(128 + SIGKILL, r.status);
    EXPECT_EQ("", r.out);
    const int64_t saved = SavedSources(Checkpoint());
    EXPECT_EQ("anybridge: rank " + std::to_string(c.killed) + " ended, so the job stopped after " +
                  std::to_string(saved) + " of " + std::to_string(kSocialNodes) +
                  " sources; state saved in " + Checkpoint() + "\n",
              r.err);
    EXPECT_EQ((std::set<std::string>{"social.txt", "run.ckpt"}), DirectoryNames(dir_.path()));
  }
  ExpectResumed(ReadFileBytes(Checkpoint()), SavedSources(Checkpoint()), 0);
}

}  // namespace
