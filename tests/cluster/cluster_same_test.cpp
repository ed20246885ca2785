// pathsuite-mpi against the programs themselves: for 1 to 4 ranks and
// alone, 1 and 2 threads a rank, and block and segment sizes that divide no
// count here, the same standard output, standard error and status, byte
// for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/cluster/ClusterSupport.h"

namespace {

// A job: its ranks (0: a singleton) and the runner's options before PROGRAM.
struct Job {
  int ranks;
  std::vector<std::string> options;
};

// Every size of job, with blocks of 7 and 3 sources and segments of 64 and
// 128 nodes over node counts that none divides; blocks of 1000 sources on 3
// ranks leave some ranks without a block; the plain ones take the sizes the
// cluster picks itself.
const std::vector<Job> kGraphJobs = {
    {0, {"--threads", "2", "--block", "7", "--segment", "64"}},
    {1, {"--threads", "2"}},
    {2, {"--threads", "1", "--block", "7", "--segment", "64"}},
    {3, {"--threads", "2", "--block", "7", "--segment", "128"}},
    {4, {"--threads", "1", "--block", "3", "--segment", "64"}},
    {3, {"--threads", "1", "--block", "1000"}},
    {2, {"--threads", "2"}},
};

// Fewer for the bundled dataset, whose 77 names make small jobs; one
// source a block and 16-node segments make the most messages.
const std::vector<Job> kDatasetJobs = {
    {0, {"--threads", "1"}},
    {2, {"--threads", "2", "--block", "7", "--segment", "64"}},
    {3, {"--threads", "1", "--block", "1", "--segment", "16"}},
    {4, {"--threads", "2"}},
};

// The program's own run first (it must succeed), then each job's.
void ExpectJobsAsProgram(const std::string& label, const std::string& program,
                         const std::vector<std::string>& args, const std::vector<Job>& jobs) {
  SCOPED_TRACE(label + " (" + program + ")");
  const ProcessResult own = RunProgram(program, args);
  ASSERT_EQ(0, own.status) << own.err;
  ASSERT_EQ("", own.err);
  for (const Job& job : jobs) {
    const std::vector<std::string> line = JoinArgs(JoinArgs(job.options, {program}), args);
    SCOPED_TRACE(Cluster_Describe(job.ranks, line));
    const ProcessResult r = Cluster_Run(job.ranks, line);
    EXPECT_EQ(own.status, r.status);
    EXPECT_EQ(own.err, r.err);
    EXPECT_EQ(own.out.size(), r.out.size());
    EXPECT_TRUE(own.out == r.out) << "standard output differs";
  }
}

// Both kinds of program on the graph: scores and distances.
void ExpectSameOnGraph(const std::string& label, const std::string& text) {
  const TempDir dir;
  const std::string path = dir.path() + "/graph.txt";
  std::ofstream(path, std::ios::binary) << text;
  for (const std::string program : {"anybridge", "anypairs"}) {
    ExpectJobsAsProgram(label, program, {path, "x", "100000"}, kGraphJobs);
  }
}

// The graph with every name's first letter replaced: a part of its own
// when joined to the graph it came from.
std::string Renamed(std::string text, char letter) {
  for (size_t at = 0; at < text.size(); ++at) {
    if (at == 0 || text[at - 1] == '\n' || text[at - 1] == ' ') {
      if (text[at] == 'n') text[at] = letter;
    }
  }
  return text;
}

TEST(ClusterSame, TiesDuplicatesSelfLoopsAndSpecialWeights) {
  std::mt19937_64 rng(4096);
  ExpectSameOnGraph("20 names, 30% special weights", MakeGraph(rng, {20, 60, 30, false}));
}

TEST(ClusterSame, PathCountsPast2To53) {
  std::mt19937_64 rng(53);
  ExpectSameOnGraph("70 diamonds", MakeGraph(rng, {12, 25, 0, true}));
}

// With blocks of 1000 sources, one block: the other ranks have none.
TEST(ClusterSame, ThreeHundredNames) {
  std::mt19937_64 rng(300);
  ExpectSameOnGraph("300 names", MakeGraph(rng, {300, 900, 5, false}));
}

// A block of more sources than there are takes the room of the sources,
// not of the block: blocks of 2^30 fit in 1 GiB of address space.
TEST(ClusterSame, HugeBlockWithinAMemoryLimit) {
  const TempDir dir;
  const std::string path = dir.path() + "/graph.txt";
  std::mt19937_64 rng(300);
  std::ofstream(path, std::ios::binary) << MakeGraph(rng, {300, 900, 5, false});
  const ProcessResult own = RunProgram("anybridge", {path, "x", "100000"});
  ASSERT_EQ(0, own.status) << own.err;
  const std::vector<std::string> line = {"--threads", "1",    "--block", "1073741824",
                                         "anybridge", path, "x",       "100000"};
  constexpr long kLimitKiB = 1 << 20;
  for (const int ranks : {0, 3}) {
    SCOPED_TRACE(Cluster_Describe(ranks, line));
    const ProcessResult r =
        ranks == 0 ? RunProgramLimited("pathsuite-mpi", line, kLimitKiB)
                   : RunProgramLimited(MPIEXEC, Cluster_MpirunArgs(ranks, line), kLimitKiB);
    EXPECT_EQ(own.status, r.status);
    EXPECT_EQ(own.err, r.err);
    EXPECT_TRUE(own.out == r.out) << "standard output differs";
  }
}

TEST(ClusterSame, EmptyAndOneName) {
  std::mt19937_64 rng(1);
  ExpectSameOnGraph("one name", MakeGraph(rng, {1, 3, 50, false}));
  ExpectSameOnGraph("no lines", "");
}

// 1003 nodes: 143 blocks of 7 and a 2-source one, 15 segments of 64 and a
// 43-node one; 2 blocks of 1000 for 3 ranks.
TEST(ClusterSame, ThousandAndThreeNodesInTwoParts) {
  ExpectSameOnGraph("1003 nodes in two parts",
                    SocialGraph(700, 7) + Renamed(SocialGraph(303, 303), 'm'));
}

// Negative and NaN lengths take the scan path; many small parts.
TEST(ClusterSame, ScanPathOnManyParts) {
  std::mt19937_64 rng(916);
  ExpectSameOnGraph("916 names, 10% special weights", MakeGraph(rng, {1003, 1400, 10, false}));
}

// Ranks started with other thread counts, blocks and segments (an MPMD
// job, or machines of other sizes with the default threads) must cut the
// sources and the scores as the first rank does.
TEST(ClusterSame, RanksWithOtherOptions) {
  const TempDir dir;
  const std::string path = dir.path() + "/graph.txt";
  std::mt19937_64 rng(77);
  std::ofstream(path, std::ios::binary) << MakeGraph(rng, {600, 1800, 10, false});
  struct Case {
    std::string program;
    std::vector<std::string> first;   // the first rank's options
    std::vector<std::string> others;  // those of the two ranks after it
  };
  const std::vector<Case> cases = {
      {"anybridge", {"--threads", "1", "--block", "5", "--segment", "64"},
       {"--threads", "3", "--block", "2", "--segment", "128"}},
      {"betweenness", {"--threads", "1"}, {"--threads", "2"}},  // default blocks
      {"anypairs", {"--threads", "1", "--block", "5"}, {"--threads", "3", "--block", "2"}},
  };
  for (const Case& c : cases) {
    // betweenness reads its dataset: through the runners a file given to it
    // is an error that points to scores.
    const std::vector<std::string> file =
        c.program == "betweenness" ? std::vector<std::string>{}
                                   : std::vector<std::string>{path, "x", "100000"};
    const std::vector<std::string> args = JoinArgs({c.program}, file);
    const ProcessResult own = RunProgram(c.program, file);
    ASSERT_EQ(0, own.status) << own.err;
    std::vector<std::string> line = Cluster_MpirunArgs(1, JoinArgs(c.first, args));
    line = JoinArgs(line, {":", "-np", "2", ProgramPath("pathsuite-mpi")});
    line = JoinArgs(JoinArgs(line, c.others), args);
    SCOPED_TRACE(c.program + " as an MPMD job");
    const ProcessResult r = RunProgram(MPIEXEC, line);
    EXPECT_EQ(own.status, r.status);
    EXPECT_EQ(own.err, r.err);
    EXPECT_TRUE(own.out == r.out) << "standard output differs";
  }
}

TEST(ClusterSame, BetweennessOnTheBundledDataset) {
  const std::string dataset = std::string(SOURCE_DIR) + "/data/main.txt";
  ExpectJobsAsProgram("dataset", "plusbridge", {}, kDatasetJobs);
  ExpectJobsAsProgram("dataset", "betweenness", {}, kDatasetJobs);
  ExpectJobsAsProgram("dataset", "linkbridge", {}, kDatasetJobs);
  ExpectJobsAsProgram("the dataset as a file", "anybridge", {dataset, "x", "17039"},
                      kDatasetJobs);
}

TEST(ClusterSame, DistancesOnTheBundledDataset) {
  const std::string dataset = std::string(SOURCE_DIR) + "/data/main.txt";
  ExpectJobsAsProgram("whole range", "spanpairs", {"0", "17038"}, kDatasetJobs);
  ExpectJobsAsProgram("part of the range", "spanpairs", {"3", "9"}, kDatasetJobs);
  ExpectJobsAsProgram("past the names", "spanpairs", {"70", "17038"}, kDatasetJobs);
  ExpectJobsAsProgram("no source", "spanpairs", {"9", "3"}, kDatasetJobs);
  ExpectJobsAsProgram("names read as 0..0", "spanpairs", {"x", "y"}, kDatasetJobs);
  ExpectJobsAsProgram("the dataset as a file", "anypairs", {dataset, "x", "17039"},
                      kDatasetJobs);
}

}  // namespace
