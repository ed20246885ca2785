// The runner at its limits: many threads, whose fold then runs in several
// lanes, and the most threads it takes; memory that runs out as the
// searches grow, mid-run, which leaves the run to fewer threads instead of
// failing it. Each run prints the bytes of the program's own.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace {

// The graph's names with their first letter replaced: a part of its own.
std::string Renamed(std::string text, char letter) {
  for (size_t at = 0; at < text.size(); ++at) {
    if ((at == 0 || text[at - 1] == '\n' || text[at - 1] == ' ') && text[at] == 'n') text[at] = letter;
  }
  return text;
}

// 33 threads or more fold in several lanes on 8192 names or more. Here
// 8600 names: one part of 600 whose names stand first and last in index
// order, so that its sources add to both lanes, and 4000 separate edges
// between them. And the most threads the runner takes, on a small graph.
TEST(Limits, ManyLanesAndTheMostThreadsPrintTheSameBytes) {
  const TempDir dir;
  std::string text = Renamed(SocialGraph(300, 31), 'a');
  for (int k = 0; k < 4000; ++k) {
    text += "p" + std::to_string(2 * k) + " p" + std::to_string(2 * k + 1) + " 1\n";
  }
  text += Renamed(SocialGraph(300, 32), 'b') + "a0 b0 1\n";
  const std::string input = dir.path() + "/lanes.txt";
  std::ofstream(input, std::ios::binary) << text;
  const ProcessResult own = RunProgram("anybridge", {input, "x", "10000"});
  ASSERT_EQ(0, own.status) << own.err;
  const std::string dataset = std::string(SOURCE_DIR) + "/data/main.txt";
  const ProcessResult ownSmall = RunProgram("anybridge", {dataset, "x", "100"});
  ASSERT_EQ(0, ownSmall.status);
  const struct {
    std::string threads;
    std::string input;
    const ProcessResult& expected;
  } cases[] = {
      {"1", input, own}, {"33", input, own}, {"4096", dataset, ownSmall},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("--threads " + c.threads);
    // Thousands of threads cost the address sanitizer some 20 s.
    if (kSanitized && c.threads == "4096") continue;
    const ProcessResult r =
        RunProgram("pathsuite", {"--threads", c.threads, "anybridge", c.input, "x", "10000"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_TRUE(c.expected.out == r.out) << "not the program's bytes";
  }
}

// Sixteen threads under limits that one fits in: threads whose searches
// outgrow the memory hand their sources back and retire, and the run
// completes, checkpointed or not.
TEST(Limits, ThreadsShortOfMemoryMidRunLeaveTheRunToTheOthers) {
  if (kSanitized) GTEST_SKIP() << "virtual memory limits do not apply under the address sanitizer";
  const TempDir dir;
  const std::string input = dir.path() + "/social.txt";
  std::ofstream(input, std::ios::binary) << SocialGraph(2000, 2000);
  const ProcessResult own = RunProgram("anybridge", {input, "x", "20000"});
  ASSERT_EQ(0, own.status) << own.err;
  const std::string ckpt = dir.path() + "/run.ckpt";
  for (const long limitKiB : {60000L, 100000L, 200000L, 300000L}) {
    for (const bool saving : {false, true}) {
      SCOPED_TRACE(std::to_string(limitKiB) + " KiB" + (saving ? ", checkpointed" : ""));
      std::vector<std::string> line = {"--threads", "16", "anybridge", input, "x", "20000"};
      if (saving) line = JoinArgs({"--checkpoint", ckpt, "--checkpoint-every", "0.05"}, line);
      const ProcessResult r = RunProgramLimited("pathsuite", line, limitKiB);
      EXPECT_EQ(0, r.status) << r.err;
      EXPECT_EQ("", r.err);
      EXPECT_TRUE(own.out == r.out) << "not the program's bytes";
    }
  }
}

}  // namespace
