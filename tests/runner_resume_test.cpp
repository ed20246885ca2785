// Checkpointed runs through the runner's executable, stopped by SIGTERM or
// SIGINT at several points (once or twice) and resumed on other thread
// counts, print the bytes of the program's own run. Slow: some 4 s of runs
// on 2 idle cores, and a stop waits on the checkpoints, not on the clock.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/TestSupport.h"

namespace {

const char* SignalName(int signal) { return signal == SIGINT ? "SIGINT" : "SIGTERM"; }

constexpr uint32_t kSocialNodes = 3000;  // about 0.8 s on one thread

struct Stop {
  int signal;
  double fraction;  // signal once a checkpoint holds this share; < 0: at once
  unsigned threads;
};

struct ResumeCase {
  std::string label;
  std::vector<Stop> stops;
  unsigned resumeThreads;
  bool meter;  // resume with --progress, to see where it starts
};

class Resume : public ::testing::Test {
 protected:
  void SetUp() override {
    input_ = dir_.path() + "/social.txt";
    std::ofstream(input_, std::ios::binary) << SocialGraph(kSocialNodes, 20261209);
    // The program's own run, never stopped, is what every resumed run prints.
    const ProcessResult own = RunProgram("anybridge", {input_, "x", "100000"});
    ASSERT_EQ(0, own.status) << own.err;
    expected_ = own.out;
  }

  // Runs until `stop` and returns the sources its checkpoint holds.
  int64_t StopAt(const Stop& stop, const std::string& ckpt, int64_t before) {
    const int64_t total = kSocialNodes;
    std::vector<std::string> args = {"--threads", std::to_string(stop.threads), "--checkpoint",
                                     ckpt};
    // At once: with the default interval (300 s) nothing is saved before the signal.
    if (stop.fraction >= 0) args = JoinArgs(args, {"--checkpoint-every", "0.1"});
    args = JoinArgs(args, {"anybridge", input_, "x", "100000"});
    const auto target = static_cast<int64_t>(stop.fraction * static_cast<double>(total));
    const ProcessResult r = RunChild("pathsuite", args, [&](ChildProcess& child) {
      ASSERT_TRUE(child.AwaitHandler(stop.signal, 20)) << "no handler installed";
      if (stop.fraction < 0) {
        EXPECT_EQ(before, SavedSources(ckpt)) << "a checkpoint written before any was due";
      } else {
        // Checkpoints, not the clock, tell how far the run got.
        while (SavedSources(ckpt) < target && !child.Poll()) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      }
      child.Signal(stop.signal);
    });
    EXPECT_EQ(0, r.signal);
    EXPECT_EQ(128 + stop.signal, r.status);
    EXPECT_EQ("", r.out);
    const int64_t saved = SavedSources(ckpt);
    EXPECT_EQ("anybridge: stopped by " + std::string(SignalName(stop.signal)) + " after " +
                  std::to_string(saved) + " of " + std::to_string(total) +
                  " sources; state saved in " + ckpt + "\n",
              r.err);
    EXPECT_GE(saved, std::max<int64_t>(target, before));
    EXPECT_GE(saved, 1);  // a stop waits for the fold's next task boundary
    EXPECT_LT(saved, total);
    EXPECT_EQ((std::set<std::string>{"social.txt", "run.ckpt"}), DirectoryNames(dir_.path()));
    return saved;
  }

  void Run(const ResumeCase& c) {
    SCOPED_TRACE(c.label);
    const std::string ckpt = dir_.path() + "/run.ckpt";
    int64_t saved = -1;
    for (const Stop& stop : c.stops) {
      saved = StopAt(stop, ckpt, saved);
      if (HasFatalFailure()) return;
    }
    std::vector<std::string> args = {"--threads", std::to_string(c.resumeThreads)};
    if (c.meter) args.push_back("--progress");
    args = JoinArgs(args, {"--checkpoint", ckpt, "anybridge", input_, "x", "100000"});
    const ProcessResult r = RunProgram("pathsuite", args);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(expected_ == r.out) << "not the bytes of a run never stopped";
    if (c.meter) {
      // The meter's first line shows where the run took up.
      const std::string head = "\ranybridge: " + std::to_string(saved) + " of " +
                               std::to_string(kSocialNodes) + " sources (";
      EXPECT_EQ(0u, r.err.rfind(head, 0)) << r.err;
    } else {
      EXPECT_EQ("", r.err);
    }
    EXPECT_EQ((std::set<std::string>{"social.txt"}), DirectoryNames(dir_.path()));
  }

  TempDir dir_;
  std::string input_;
  std::string expected_;
};

TEST_F(Resume, StoppedOnceAtSeveralPoints) {
  const ResumeCase cases[] = {
      {"SIGTERM at once", {{SIGTERM, -1, 2}}, 2, true},
      {"SIGTERM at a quarter", {{SIGTERM, 0.25, 1}}, 3, true},
      {"SIGINT at a half", {{SIGINT, 0.5, 2}}, 1, false},
  };
  for (const ResumeCase& c : cases) Run(c);
}

TEST_F(Resume, StoppedTwice) {
  Run({"SIGINT, then SIGTERM", {{SIGINT, 0.2, 3}, {SIGTERM, 0.5, 1}}, 2, true});
}

}  // namespace
