// scores and distances under pathsuite-mpi: for 1 to 3 ranks and alone,
// the bytes pathsuite prints, exact and estimated, the adaptive stop's
// squares travelling the ring with the sums; and a checkpoint of the local
// runner resumed on any number of ranks.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "library/Sampling.h"
#include "tests/cluster/ClusterSupport.h"

namespace {

TEST(ClusterAnalyst, EveryJobPrintsTheRunnersBytes) {
  const TempDir dir;
  const std::string csv = dir.path() + "/g.csv";
  std::string graph = SocialGraph(600, 12);
  for (char& c : graph) c = c == ' ' ? ',' : c;
  std::ofstream(csv) << "source,target,weight\n" << graph;
  const std::vector<std::vector<std::string>> runs = {
      {"scores", csv, "--exact"},
      {"scores", csv, "--sample", "77", "--seed", "9", "--exact", "--top", "20"},
      {"scores", csv, "--epsilon", "0.2", "--normalized", "--csv"},
      {"scores", csv, "--epsilon", "0.3", "--adaptive", "--exact"},
      {"distances", csv, "--sources", "5..40", "--csv", "--exact", "--length", "unit"},
  };
  const std::vector<std::vector<std::string>> jobs = {
      {"--threads", "2"}, {"--threads", "1", "--block", "7", "--segment", "64"}, {"--threads", "2"}};
  for (const std::vector<std::string>& run : runs) {
    SCOPED_TRACE(::testing::PrintToString(run));
    const ProcessResult own = RunProgram("pathsuite", run);
    ASSERT_EQ(0, own.status) << own.err;
    for (int ranks = 0; ranks <= 3; ++ranks) {
      const std::vector<std::string> line = JoinArgs(jobs[static_cast<size_t>(ranks % 3)], run);
      SCOPED_TRACE(Cluster_Describe(ranks, line));
      const ProcessResult r = Cluster_Run(ranks, line);
      EXPECT_EQ(0, r.status);
      EXPECT_EQ("", r.err);
      EXPECT_TRUE(own.out == r.out) << "standard output differs";
    }
  }
  // A fixed-path program given a file points to scores here too.
  const ProcessResult fixed = Cluster_Run(2, {"betweenness", csv});
  EXPECT_EQ(2, fixed.status);
  EXPECT_EQ("pathsuite-mpi: betweenness reads its own dataset and takes no arguments, not '" + csv +
                "': for a file of your own, run scores " + csv + "\n" + kClusterUsage,
            fixed.err);
}

// A sample's checkpoint and an adaptive run's (whose first check, at 2048
// of 5000 nodes, stands before its cap), saved by the local runner stopped
// part-way, resume on 1 to 3 ranks into the bytes of a run never stopped.
TEST(ClusterAnalyst, AnEstimatesCheckpointResumesOnAnyRanks) {
  const TempDir dir;
  const std::string input = dir.path() + "/social.txt";
  std::ofstream(input, std::ios::binary) << SocialGraph(5000, 20261210);
  const std::string ckpt = dir.path() + "/run.ckpt";
  const std::string output = dir.path() + "/scores.txt";
  ASSERT_EQ(2048, Sampling_AdaptivePlan(5000, 0.05, kSampleDelta).checkpoints.front());
  ASSERT_EQ(2u, Sampling_AdaptivePlan(5000, 0.05, kSampleDelta).checkpoints.size());
  for (const std::vector<std::string>& run :
       {std::vector<std::string>{"scores", input, "--sample", "3000", "--exact"},
        std::vector<std::string>{"scores", input, "--epsilon", "0.05", "--adaptive", "--exact"}}) {
    SCOPED_TRACE(::testing::PrintToString(run));
    const ProcessResult own = RunProgram("pathsuite", run);
    ASSERT_EQ(0, own.status) << own.err;
    const ProcessResult stopped = RunChild(
        "pathsuite",
        JoinArgs({"--threads", "1", "--checkpoint", ckpt, "--checkpoint-every", "0.05", "--output",
                  output},
                 run),
        [&](ChildProcess& child) {
          while (SavedSources(ckpt) < 300 && !child.Poll()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
          child.Signal(SIGTERM);
        });
    const int64_t saved = SavedSources(ckpt);
    ASSERT_EQ(128 + SIGTERM, stopped.status) << stopped.err;
    EXPECT_EQ(0u, stopped.err.rfind("scores: stopped by SIGTERM after " + std::to_string(saved) +
                                         " of ",
                                     0))
        << stopped.err;
    const std::string bytes = ReadFileBytes(ckpt);
    for (const int ranks : {1, 2, 3}) {
      const std::vector<std::string> line =
          JoinArgs({"--checkpoint", ckpt, "--output", output}, run);
      SCOPED_TRACE(Cluster_Describe(ranks, line));
      std::ofstream(ckpt, std::ios::binary | std::ios::trunc) << bytes;
      std::filesystem::remove(output);
      const ProcessResult r = Cluster_Run(ranks, line);
      EXPECT_EQ(0, r.status) << r.err;
      EXPECT_TRUE(own.out == ReadFileBytes(output)) << "not the bytes of a run never stopped";
      EXPECT_FALSE(std::filesystem::exists(ckpt));
    }
  }
}

}  // namespace
