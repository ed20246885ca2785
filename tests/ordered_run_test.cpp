// OrderedRun's contract: every lane folds the results strictly in task
// order, one at a time, each the one produced for its task and intact until
// every lane has folded it, for any thread count, slots and lanes; a task
// starts only once every lane folded the task a window of slots before it;
// workers short of memory leave the run to the others; a failure stops the
// run and reaches the caller. The harness checks most of it as the run goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "tests/OrderedRunProbe.h"

namespace {

const unsigned kThreads[] = {1, 2, 3, 8};
const int32_t kLanes[] = {1, 2, 5};

std::vector<int64_t> Iota(int64_t n) {
  std::vector<int64_t> v;
  for (int64_t t = 0; t < n; ++t) v.push_back(t);
  return v;
}

std::vector<int64_t> Sorted(std::vector<int64_t> v) {
  std::sort(v.begin(), v.end());
  return v;
}

::testing::Message Where(const ProbePlan& plan) {
  return ::testing::Message() << plan.shape.threads << " threads, " << plan.shape.resultsPerThread
                              << " per thread, " << plan.shape.lanes << " lanes, " << plan.count
                              << " tasks";
}

// Every lane folded every task in order, and each task was produced once.
void ExpectCompleteRun(const ProbePlan& plan, Probe& probe) {
  EXPECT_EQ(0, probe.faultCount) << Where(plan) << "\n" << Probe_Faults(probe);
  for (const auto& folds : probe.laneFolds) EXPECT_EQ(Iota(plan.count), folds) << Where(plan);
  EXPECT_EQ(Iota(plan.count), Sorted(probe.produced)) << Where(plan);
}

TEST(OrderedRun, EveryLaneFoldsEveryResultInTaskOrder) {
  OrderedRunDeadline deadline(60);
  uint64_t seed = 1;
  for (const unsigned threads : kThreads) {
    for (const int32_t lanes : kLanes) {
      for (const int64_t perThread : {1, 2}) {
        for (const bool slowFold : {false, true}) {
          ProbePlan plan;
          plan.shape = {threads, perThread, lanes};
          plan.produceSeed = ++seed;
          plan.foldSeed = slowFold ? ++seed : 0;
          Probe probe(plan.count, lanes);
          Probe_Run(plan, probe);
          ExpectCompleteRun(plan, probe);
          EXPECT_EQ(ProbePlan_Slots(plan), Probe_SlotsUsed(probe)) << Where(plan);
        }
      }
    }
  }
}

// Lane 0 holds task 0 while the other workers go on: exactly the window of
// threads x resultsPerThread tasks starts, and no more until it is folded.
TEST(OrderedRun, WindowIsEverySlotTheWorkersBrought) {
  OrderedRunDeadline deadline(60);
  for (const unsigned threads : {2u, 3u, 8u}) {
    for (const int64_t perThread : {1, 2, 3}) {
      for (const int32_t lanes : {1, 3}) {
        ProbePlan plan;
        plan.count = 40;
        plan.shape = {threads, perThread, lanes};
        plan.holdFirstFold = true;
        Probe probe(plan.count, lanes);
        Probe_Run(plan, probe);
        ExpectCompleteRun(plan, probe);
        EXPECT_EQ(threads * perThread, probe.heldWithStarted) << Where(plan);
      }
    }
  }
}

// Lane 0 holds task 0 until lane 1 has folded it, which only a run that
// folds lanes at once survives.
TEST(OrderedRun, LanesFoldAtOnce) {
  OrderedRunDeadline deadline(60);
  for (const unsigned threads : {2u, 8u}) {
    for (const int32_t lanes : {2, 5}) {
      ProbePlan plan;
      plan.count = 20;
      plan.shape = {threads, 2, lanes};
      plan.awaitOtherLane = true;
      Probe probe(plan.count, lanes);
      Probe_Run(plan, probe);
      ExpectCompleteRun(plan, probe);
      EXPECT_TRUE(probe.otherLaneFolded) << Where(plan);
    }
  }
}

TEST(OrderedRun, BuildsNothingForNoTaskAndRunsOneTaskOnce) {
  OrderedRunDeadline deadline(60);
  for (const unsigned threads : kThreads) {
    for (const int64_t count : {-1, 0, 1}) {
      ProbePlan plan;
      plan.count = count;
      plan.shape = {threads, 2, 2};
      Probe probe(count, 2);
      Probe_Run(plan, probe);
      const int64_t tasks = std::max<int64_t>(count, 0);
      ExpectCompleteRun({.count = tasks, .shape = plan.shape}, probe);
      if (count <= 0) {
        EXPECT_EQ(0, probe.buildCallsEnded.load()) << Where(plan);
      }
    }
  }
}

// Runs plan, which must fail at task `failing`.
void ExpectFailureAt(const ProbePlan& plan, int64_t failing, Probe& probe) {
  try {
    Probe_Run(plan, probe);
    ADD_FAILURE() << "no exception reached the caller; " << Where(plan);
  } catch (const TaskFailure& e) {
    EXPECT_EQ(failing, e.task) << Where(plan);
  }
}

// What a lane folded is an in-order prefix of the tasks.
void ExpectPrefix(const std::vector<int64_t>& folds, int64_t most, const ProbePlan& plan) {
  EXPECT_LE(static_cast<int64_t>(folds.size()), most) << Where(plan);
  EXPECT_EQ(Iota(static_cast<int64_t>(folds.size())), folds) << Where(plan);
}

// A throwing produce: each lane folded an in-order prefix of the tasks
// before it (results already made may be dropped) and no task started past
// the window the failure left open. With one thread, every lane folded
// exactly the tasks before it.
TEST(OrderedRun, FailureInProduceStopsTheRunAndReachesTheCaller) {
  OrderedRunDeadline deadline(60);
  const int64_t count = 60;
  uint64_t seed = 100;
  for (const unsigned threads : kThreads) {
    for (const int64_t perThread : {1, 3}) {
      for (const int32_t lanes : {1, 3}) {
        for (const int64_t failing : {int64_t{0}, int64_t{1}, int64_t{9}, count - 1}) {
          ProbePlan plan{.count = count, .shape = {threads, perThread, lanes}};
          plan.produceSeed = ++seed;
          plan.failInProduce = failing;
          Probe probe(count, lanes);
          ExpectFailureAt(plan, failing, probe);
          EXPECT_EQ(0, probe.faultCount) << Where(plan) << "\n" << Probe_Faults(probe);
          for (const auto& folds : probe.laneFolds) {
            ExpectPrefix(folds, failing, plan);
            if (threads == 1) {
              EXPECT_EQ(Iota(failing), folds) << Where(plan);
            }
          }
          for (const int64_t t : probe.produced) {
            EXPECT_LT(t, failing + ProbePlan_Slots(plan)) << Where(plan);
          }
        }
      }
    }
  }
}

// A throwing fold: its lane folded exactly the tasks up to it, in order,
// and no more; the other lanes an in-order prefix within the window.
TEST(OrderedRun, FailureInFoldStopsTheRunAndReachesTheCaller) {
  OrderedRunDeadline deadline(60);
  const int64_t count = 60;
  uint64_t seed = 200;
  for (const unsigned threads : kThreads) {
    for (const int32_t lanes : {1, 3}) {
      for (const int64_t failing : {int64_t{0}, int64_t{9}, count - 1}) {
        ProbePlan plan{.count = count, .shape = {threads, 2, lanes}};
        plan.produceSeed = ++seed;
        plan.foldSeed = ++seed;
        plan.failInFold = failing;
        plan.failLane = lanes - 1;
        Probe probe(count, lanes);
        ExpectFailureAt(plan, failing, probe);
        EXPECT_EQ(0, probe.faultCount) << Where(plan) << "\n" << Probe_Faults(probe);
        const int64_t slots = ProbePlan_Slots(plan);
        for (int32_t l = 0; l < lanes; ++l) {
          const auto& folds = probe.laneFolds[static_cast<size_t>(l)];
          if (l == plan.failLane) {
            EXPECT_EQ(Iota(failing + 1), folds) << Where(plan);
          } else {
            ExpectPrefix(folds, failing + slots, plan);
          }
        }
        for (const int64_t t : probe.produced) EXPECT_LT(t, failing + slots) << Where(plan);
      }
    }
  }
}

struct ShortHelpers {
  BuildFault fault;
  unsigned threads;
  int64_t perThread;
  int faultyHelpers;
};

// Helpers (never the calling thread) short of memory for their workspace
// or their last slot: the run waits for every build, goes on with the
// workers left and their slots only, and completes. Slow helper builds
// would show a task started before the barrier.
TEST(OrderedRun, HelpersShortOfMemoryLeaveTheRunToTheOthers) {
  OrderedRunDeadline deadline(60);
  const ShortHelpers cases[] = {
      {BuildFault::kHelperWorkspace, 2, 2, 1}, {BuildFault::kHelperWorkspace, 4, 2, 1},
      {BuildFault::kHelperWorkspace, 4, 1, 3}, {BuildFault::kHelperResult, 3, 1, 1},
      {BuildFault::kHelperResult, 4, 2, 2},    {BuildFault::kHelperResult, 8, 3, 7},
  };
  for (const ShortHelpers& c : cases) {
    for (const bool hold : {false, true}) {
      ProbePlan plan{.count = 50, .shape = {c.threads, c.perThread, 2}};
      plan.buildFault = c.fault;
      plan.faultyHelpers = c.faultyHelpers;
      plan.helperBuildMicros = 1000;
      plan.produceSeed = 300 + c.threads;
      const int64_t workers = ProbePlan_Workers(plan);
      plan.holdFirstFold = hold && workers > 1;
      Probe probe(plan.count, 2);
      Probe_Run(plan, probe);
      const auto where = Where(plan) << ", " << c.faultyHelpers << " helpers short";
      ExpectCompleteRun(plan, probe);
      EXPECT_EQ(workers, static_cast<int64_t>(probe.workers.size())) << where;
      EXPECT_TRUE(std::includes(probe.workers.begin(), probe.workers.end(),
                                probe.producers.begin(), probe.producers.end()))
          << where << ": a task ran on a thread that was left out";
      EXPECT_EQ(workers * c.perThread, Probe_SlotsUsed(probe)) << where;
      if (plan.holdFirstFold) {
        EXPECT_EQ(workers * c.perThread, probe.heldWithStarted) << where;
      }
    }
  }
}

// The calling thread short of memory for its own workspace or slots: the
// run throws std::bad_alloc and does nothing.
TEST(OrderedRun, CallerShortOfMemoryEndsTheRunWithNothingDone) {
  OrderedRunDeadline deadline(60);
  for (const BuildFault fault : {BuildFault::kCallerWorkspace, BuildFault::kCallerResult}) {
    for (const unsigned threads : {1u, 4u}) {
      ProbePlan plan{.count = 20, .shape = {threads, 2, 2}};
      plan.buildFault = fault;
      Probe probe(plan.count, 2);
      EXPECT_THROW(Probe_Run(plan, probe), std::bad_alloc) << Where(plan);
      EXPECT_EQ(0, probe.started.load()) << Where(plan);
      for (const auto& folds : probe.laneFolds) EXPECT_TRUE(folds.empty()) << Where(plan);
    }
  }
}

// Any other failure while a worker builds, a helper's or the calling
// thread's, stops the run before any task and reaches the caller.
TEST(OrderedRun, OtherBuildFailureStopsTheRunBeforeAnyTask) {
  OrderedRunDeadline deadline(60);
  const BuildFault faults[] = {BuildFault::kHelperWorkspace, BuildFault::kHelperResult,
                               BuildFault::kCallerWorkspace, BuildFault::kCallerResult};
  for (const BuildFault fault : faults) {
    for (const int faultyHelpers : {1, 3}) {
      ProbePlan plan{.count = 20, .shape = {4, 2, 2}};
      plan.buildFault = fault;
      plan.faultyHelpers = faultyHelpers;
      plan.faultIsBadAlloc = false;
      plan.helperBuildMicros = 500;
      Probe probe(plan.count, 2);
      EXPECT_THROW(Probe_Run(plan, probe), std::runtime_error) << Where(plan);
      EXPECT_EQ(0, probe.started.load()) << Where(plan);
      for (const auto& folds : probe.laneFolds) EXPECT_TRUE(folds.empty()) << Where(plan);
    }
  }
}

struct ShortMidRun {
  unsigned threads;
  int32_t lanes;
  int shortHelpers;
  bool callerShort;
};

// Memory that runs out in produce, mid-run: the task goes to another
// worker, from the start; a helper retires, the calling thread folds until
// it is needed, and the last worker able to produce builds again and
// retries. The run completes, every task produced once and folded in
// order, and the helpers short of memory produce nothing more while
// others can.
TEST(OrderedRun, WorkersShortOfMemoryMidRunHandTheirTasksBack) {
  OrderedRunDeadline deadline(60);
  const ShortMidRun cases[] = {
      {1, 1, 0, true},  {2, 1, 1, false}, {2, 2, 1, true}, {4, 2, 1, false},
      {4, 1, 3, false}, {4, 2, 3, true},  {8, 5, 7, true}, {3, 2, 0, true},
  };
  for (const ShortMidRun& c : cases) {
    // Seeded sleeps spread the tasks, so that every helper gets a second.
    for (const uint64_t seed : {uint64_t{77}, uint64_t{78}}) {
      ProbePlan plan{.count = 60, .shape = {c.threads, 2, c.lanes}};
      plan.produceSeed = seed;
      plan.shortHelpers = c.shortHelpers;
      plan.callerShort = c.callerShort;
      Probe probe(plan.count, c.lanes);
      Probe_Run(plan, probe);
      const auto where = Where(plan) << ", " << c.shortHelpers << " helpers short"
                                     << (c.callerShort ? ", the caller too" : "");
      ExpectCompleteRun(plan, probe);
      const size_t shorts = static_cast<size_t>(c.shortHelpers) + (c.callerShort ? 1 : 0);
      EXPECT_EQ(shorts, probe.shortOf.size()) << where;
      // Each task short of memory was produced again, and folded once.
      for (const int64_t t : probe.shortOf) {
        EXPECT_EQ(1, std::count(probe.produced.begin(), probe.produced.end(), t)) << where;
      }
      // A workspace is built again only once no other worker can take
      // over: never while a helper is left; at least once when every
      // helper and the caller ran short.
      const bool allHelpersShort = c.shortHelpers == static_cast<int>(c.threads) - 1;
      if (!allHelpersShort) {
        EXPECT_EQ(0, probe.rebuilds) << where;
      }
      if (allHelpersShort && c.callerShort) {
        EXPECT_GE(probe.rebuilds, 1) << where;
      }
    }
  }
}

// When no worker can go on (every produce from task 20 runs out), or a
// task runs out once it has written part of its result in its turn, the
// run ends with std::bad_alloc, having folded in order what it produced.
TEST(OrderedRun, MemoryThatRunsOutForGoodEndsTheRun) {
  OrderedRunDeadline deadline(60);
  for (const unsigned threads : {1u, 3u}) {
    for (const bool afterTurn : {false, true}) {
      ProbePlan plan{.count = 60, .shape = {threads, 2, 2}};
      if (afterTurn) {
        plan.waitSeed = 5;
        plan.shortAfterTurn = 20;
      } else {
        plan.shortFrom = 20;
      }
      Probe probe(plan.count, 2);
      EXPECT_THROW(Probe_Run(plan, probe), std::bad_alloc) << Where(plan);
      EXPECT_EQ(0, probe.faultCount) << Where(plan) << "\n" << Probe_Faults(probe);
      for (const auto& folds : probe.laneFolds) {
        EXPECT_LE(folds.size(), 20u) << Where(plan);
        EXPECT_EQ(Iota(static_cast<int64_t>(folds.size())), folds) << Where(plan);
      }
    }
  }
}

}  // namespace
