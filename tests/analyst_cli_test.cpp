// scores and distances through the runner's executable: the runner's
// options anywhere among the program's, GNU style; help; errors with the
// program's name and status; checkpoints for scores only; and a
// fixed-path program given a file pointed to scores, its own executable
// unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace {

class AnalystCli : public ::testing::Test {
 protected:
  void SetUp() override {
    csv_ = dir_.path() + "/social.csv";
    std::ofstream out(csv_);
    out << "source,target,weight\n";
    std::string graph = SocialGraph(400, 11);
    for (char& c : graph) c = c == ' ' ? ',' : c;
    out << graph;
  }
  TempDir dir_;
  std::string csv_;
};

// The runner's options before the name, after it, or between the
// program's own, as --name VALUE or --name=VALUE: one listing.
TEST_F(AnalystCli, RunnersOptionsGoAnywhere) {
  const std::string out = dir_.path() + "/top.txt";
  const ProcessResult before =
      RunProgram("pathsuite", {"--threads", "1", "scores", csv_, "--top", "5", "--normalized"});
  ASSERT_EQ(0, before.status) << before.err;
  EXPECT_EQ(5, std::count(before.out.begin(), before.out.end(), '\n'));
  const std::vector<std::vector<std::string>> lines = {
      {"scores", csv_, "--threads", "3", "--top", "5", "--normalized"},
      {"scores", "--normalized", "--threads=2", csv_, "--top=5", "--no-progress"},
      {"--no-progress", "scores", "--top", "5", "--output", out, csv_, "--normalized"},
  };
  for (const std::vector<std::string>& line : lines) {
    SCOPED_TRACE(::testing::PrintToString(line));
    const ProcessResult r = RunProgram("pathsuite", line);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_EQ(before.out, r.out.empty() ? ReadFileBytes(out) : r.out);
  }
  const ProcessResult rows = RunProgram("pathsuite", {"distances", csv_, "--threads", "2",
                                                      "--sources=3..9", "--digits", "2"});
  EXPECT_EQ(0, rows.status) << rows.err;
  EXPECT_EQ(rows.out, RunProgram("pathsuite", {"distances", "--digits=2", csv_, "--sources",
                                               "3..9"})
                          .out);
}

TEST_F(AnalystCli, HelpListsTheOptionsAndTheBound) {
  for (const char* ask : {"-h", "--help"}) {
    const ProcessResult r = RunProgram("pathsuite", {"scores", csv_, "--top", "3", ask});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.rfind("usage: scores EDGE_FILE [OPTIONS]\n", 0)) << r.out;
    for (const char* word : {"--format", "--columns", "--length", "--exact", "--normalized",
                             "--top K", "--sample K", "--epsilon E [--delta D]",
                             "K = ceil((n/(n-1))^2 ln(2n/D) / (2 E^2)), at most n", "--adaptive",
                             "--seed S", "--threads N"}) {
      EXPECT_NE(std::string::npos, r.out.find(word)) << word;
    }
  }
  const ProcessResult d = RunProgram("pathsuite", {"distances", "-h"});
  EXPECT_EQ(0u, d.out.rfind("usage: distances EDGE_FILE [OPTIONS]\n", 0)) << d.out;
  EXPECT_NE(std::string::npos, d.out.find("--sources FIRST..LAST"));
  const ProcessResult runner = RunProgram("pathsuite", {"--help"});
  EXPECT_NE(std::string::npos, runner.out.find("spanpairs, anypairs, scores, distances;"));
}

// Errors come as "program: message", status 1 for input, 2 for usage;
// nothing on standard output.
TEST_F(AnalystCli, ErrorsNameTheProgramAndTheLine) {
  const std::string bad = dir_.path() + "/bad.csv";
  std::ofstream(bad) << "a,b,1\nb,c\n";
  const struct {
    std::vector<std::string> line;
    int status;
    std::string err;
  } cases[] = {
      {{"scores", bad}, 1, "scores: " + bad + ":2: "},
      {{"distances", bad, "--top", "2"}, 2,
       "distances: --top is an option of scores, not distances\n"},
      {{"scores", csv_, "--sample", "0"}, 2,
       "scores: --sample takes a whole number from 1 to 2147483647, not '0'\n"},
      {{"--checkpoint", dir_.path() + "/c", "distances", csv_}, 2,
       "pathsuite: checkpoints are for the betweenness programs, not distances\n"},
      {{"scores", dir_.path() + "/none.csv"}, 1, "scores: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.line));
    const ProcessResult r = RunProgram("pathsuite", c.line);
    EXPECT_EQ(c.status, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(0u, r.err.rfind(c.err, 0)) << r.err;
  }
}

// Through the runner a fixed-path program given a file is an error that
// points to scores; its --help still answers, and the executable itself
// ignores the argument as it always has.
TEST_F(AnalystCli, AFixedPathProgramGivenAFilePointsToScores) {
  for (const char* program : {"plusbridge", "betweenness", "linkbridge"}) {
    SCOPED_TRACE(program);
    const ProcessResult r = RunProgram("pathsuite", {program, csv_});
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(0u, r.err.rfind("pathsuite: " + std::string(program) +
                                  " reads its own dataset and takes no arguments, not '" + csv_ +
                                  "': for a file of your own, run scores " + csv_ + "\n",
                              0))
        << r.err;
    EXPECT_EQ(0, RunProgram("pathsuite", {program, "--help"}).status);
    const ProcessResult own = RunProgram(program, {});
    const ProcessResult given = RunProgram(program, {csv_});
    EXPECT_EQ(0, given.status);
    EXPECT_EQ(own.out, given.out);
  }
}

// A checkpointed scores run through the runner ends with its checkpoint
// gone and the listing of a run without one.
TEST_F(AnalystCli, ACheckpointedSampleEndsClean) {
  const std::string ckpt = dir_.path() + "/s.ckpt";
  const std::vector<std::string> args = {"scores", csv_, "--sample", "120", "--seed", "7"};
  const ProcessResult plain = RunProgram("pathsuite", args);
  const ProcessResult saved =
      RunProgram("pathsuite", JoinArgs(args, {"--checkpoint", ckpt, "--checkpoint-every", "0.01"}));
  EXPECT_EQ(0, saved.status) << saved.err;
  EXPECT_EQ(plain.out, saved.out);
  EXPECT_EQ(-1, SavedSources(ckpt));
}

}  // namespace
