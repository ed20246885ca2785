// pathsuite-mpi's failures: every error is reported once, by the first
// rank, with the message and status that the programs and the local runner
// give, whatever the number of ranks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "library/Checkpoint.h"
#include "tests/cluster/ClusterSupport.h"

namespace {

// The job sizes the cases take in turn: a singleton and 1 to 4 ranks.
constexpr int kRanks[] = {0, 1, 2, 3, 4};

int RanksOfCase(size_t k) { return kRanks[k % std::size(kRanks)]; }

TEST(ClusterErrors, OwnCommandLine) {
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  std::ofstream(tri) << "a b 1\nb c 1\n";
  const std::vector<std::string> run = {"anybridge", tri, "x", "10"};
  const std::string names = "(one of anybridge, plusbridge, betweenness, linkbridge, spanpairs, "
                            "anypairs, scores, distances)";
  const std::string threads = "--threads takes a whole number from 1 to 4096, not ";
  const std::string block = "--block takes a whole number from 1 to 2^30, not ";
  const std::string segment = "--segment takes a whole number from 1 to 2^30, a power of two, not ";
  const std::string ckpt = dir.path() + "/run.ckpt";
  struct UsageCase {
    std::vector<std::string> args;
    std::string message;
  };
  const UsageCase cases[] = {
      {JoinArgs({"--bogus"}, run), "unknown option '--bogus'"},
      {JoinArgs({"--threads", "0"}, run), threads + "'0'"},
      {JoinArgs({"--threads", "x"}, run), threads + "'x'"},
      {JoinArgs({"--block", "0"}, run), block + "'0'"},
      {JoinArgs({"--block", "7x"}, run), block + "'7x'"},
      {JoinArgs({"--block=-1"}, run), block + "'-1'"},
      {JoinArgs({"--block", "1073741825"}, run), block + "'1073741825'"},
      {{"--block"}, "--block needs a value"},
      {JoinArgs({"--segment", "96"}, run), segment + "'96'"},
      {JoinArgs({"--segment=0"}, run), segment + "'0'"},
      {JoinArgs({"--segment", "2147483648"}, run), segment + "'2147483648'"},
      {{"--checkpoint", ckpt, "anypairs", tri, "x", "10"},
       "checkpoints are for the betweenness programs, not anypairs"},
      {{"--checkpoint", ckpt, "spanpairs", "0", "3"},
       "checkpoints are for the betweenness programs, not spanpairs"},
      {JoinArgs({"--checkpoint-every", "1"}, run), "--checkpoint-every needs --checkpoint"},
      {{}, "no PROGRAM given " + names},
      {{"--threads", "2", "--"}, "no PROGRAM given " + names},
      {{"nope", tri, "x", "10"}, "unknown program 'nope' " + names},
  };
  for (size_t k = 0; k < std::size(cases); ++k) {
    const UsageCase& c = cases[k];
    SCOPED_TRACE(Cluster_Describe(RanksOfCase(k), c.args));
    const ProcessResult r = Cluster_Run(RanksOfCase(k), c.args);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("pathsuite-mpi: " + c.message + "\n" + kClusterUsage, r.err);
    EXPECT_EQ("", r.out);
  }
  // The local runner knows no cluster sizes.
  const ProcessResult local = RunProgram("pathsuite", JoinArgs({"--block", "7"}, run));
  EXPECT_EQ(2, local.status);
  EXPECT_EQ(0u, local.err.rfind("pathsuite: unknown option '--block'\n", 0)) << local.err;
  // A command line that fails makes no checkpoint.
  EXPECT_EQ(std::set<std::string>{"tri.txt"}, DirectoryNames(dir.path()));
}

// The runner's own --help and --version, once: a job prints what a
// singleton prints.
TEST(ClusterErrors, HelpAndVersion) {
  const ProcessResult help = Cluster_Run(0, {"--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_EQ("", help.err);
  EXPECT_EQ(0u, help.out.rfind(kClusterUsage, 0)) << help.out;
  EXPECT_NE(std::string::npos, help.out.find("\n  --block N "));
  EXPECT_NE(std::string::npos, help.out.find("\n  --segment N "));
  const ProcessResult version = Cluster_Run(0, {"--version"});
  EXPECT_EQ(0, version.status);
  EXPECT_EQ("", version.err);
  EXPECT_EQ("pathsuite-mpi (pathsuite) " PATHSUITE_VERSION "\n", version.out);
  for (const int ranks : {1, 3}) {
    SCOPED_TRACE(ranks);
    const ProcessResult jobHelp = Cluster_Run(ranks, {"--help"});
    EXPECT_EQ(0, jobHelp.status);
    EXPECT_EQ("", jobHelp.err);
    EXPECT_EQ(help.out, jobHelp.out);
    const ProcessResult jobVersion = Cluster_Run(ranks, {"--version"});
    EXPECT_EQ(0, jobVersion.status);
    EXPECT_EQ("", jobVersion.err);
    EXPECT_EQ(version.out, jobVersion.out);
  }
}

struct SameCase {
  std::string label;
  std::string program;
  std::vector<std::string> args;
  int status;              // what the program itself must end with
  std::string stdoutPath;  // empty: captured
};

// The program's own run, then the job's: the same bytes and status.
void ExpectJobAsProgram(int ranks, const SameCase& c) {
  const std::vector<std::string> line = JoinArgs({"--threads", "2", c.program}, c.args);
  SCOPED_TRACE(c.label + ": " + Cluster_Describe(ranks, line));
  const ProcessResult own = RunProgram(c.program, c.args, c.stdoutPath);
  ASSERT_EQ(c.status, own.status) << own.err;
  const ProcessResult r = Cluster_Run(ranks, line, c.stdoutPath);
  EXPECT_EQ(own.status, r.status);
  EXPECT_EQ(own.err, r.err);
  EXPECT_TRUE(own.out == r.out) << "standard output differs";
}

TEST(ClusterErrors, ProgramsFailAsThemselves) {
  const TempDir dir;
  const std::string missing = dir.path() + "/missing.txt";
  const std::string bad = dir.path() + "/bad.txt";
  std::ofstream(bad) << "a b 1\nb c oops\n";
  const std::string tri = dir.path() + "/tri.txt";
  std::ofstream(tri) << "a b 1\nb c 1\n";
  const SameCase cases[] = {
      {"missing file", "anybridge", {missing, "x", "10"}, 1, ""},
      {"missing file", "anypairs", {missing, "x", "10"}, 1, ""},
      {"a directory", "anybridge", {dir.path(), "x", "10"}, 1, ""},
      {"bad line", "anybridge", {bad, "x", "10"}, 1, ""},
      {"bad line", "anypairs", {bad, "x", "10"}, 1, ""},
      {"more names than the capacity", "anybridge", {tri, "x", "2"}, 1, ""},
      {"more names than the capacity", "anypairs", {tri, "x", "2"}, 1, ""},
      {"capacity 0", "anybridge", {tri, "x", "0"}, 2, ""},
      {"capacity abc", "anypairs", {tri, "x", "abc"}, 2, ""},
      {"no arguments", "anybridge", {}, 2, ""},
      {"one argument", "spanpairs", {"0"}, 2, ""},
      {"below the range", "spanpairs", {"-1", "5"}, 2, ""},
      {"above the range", "spanpairs", {"0", "17039"}, 2, ""},
      {"help", "betweenness", {"--help"}, 0, ""},
      {"version", "anypairs", {"--version"}, 0, ""},
  };
  for (size_t k = 0; k < std::size(cases); ++k) ExpectJobAsProgram(RanksOfCase(k + 2), cases[k]);
}

// Alone only: under mpirun the ranks write to mpirun through pipes, and
// mpirun drops the errors of its own writes (Open MPI 4.1: status 0, no
// message), so a job cannot learn that its output was lost.
TEST(ClusterErrors, FullOutputAlone) {
  const TempDir dir;
  const std::string social = dir.path() + "/social.txt";
  std::ofstream(social) << SocialGraph(400, 400);
  const std::vector<std::string> socialRun = {social, "x", "1000"};
  const SameCase cases[] = {
      {"full output", "anybridge", socialRun, 1, "/dev/full"},
      {"full output", "anypairs", socialRun, 1, "/dev/full"},
      {"full output", "spanpairs", {"0", "17038"}, 1, "/dev/full"},
      {"full output", "linkbridge", {}, 1, "/dev/full"},
  };
  for (const SameCase& c : cases) ExpectJobAsProgram(0, c);
}

// A checkpoint the run cannot take or make: the local runner's message.
TEST(ClusterErrors, CheckpointsRefusedAsByTheLocalRunner) {
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  std::ofstream(tri) << "a b 1\nb c 1\n";
  const std::string text = dir.path() + "/text.ckpt";
  std::ofstream(text) << "hello\n";
  // A checkpoint of another input of the same names.
  const std::string other = dir.path() + "/other.ckpt";
  Checkpoint_Write(other, {"anybridge", 10, 3, 12, 1}, 1, std::vector<double>(3, 0.0));
  const std::string otherBytes = ReadFileBytes(other);
  const std::vector<std::string> paths = {text, other, dir.path(), dir.path() + "/none/run.ckpt"};
  const std::string output = dir.path() + "/out.txt";
  for (size_t k = 0; k < paths.size(); ++k) {
    const std::vector<std::string> line = {"--checkpoint", paths[k], "--output", output,
                                           "anybridge",    tri,      "x",        "10"};
    const int ranks = RanksOfCase(k + 1);
    SCOPED_TRACE(Cluster_Describe(ranks, line));
    const ProcessResult local = RunProgram("pathsuite", line);
    ASSERT_EQ(1, local.status);
    const ProcessResult r = Cluster_Run(ranks, line);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(local.err, r.err);
    EXPECT_EQ("", r.out);
  }
  EXPECT_EQ("hello\n", ReadFileBytes(text));
  EXPECT_TRUE(otherBytes == ReadFileBytes(other)) << "a refused checkpoint changed";
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/none"));
  EXPECT_FALSE(std::filesystem::exists(output));
}

}  // namespace
