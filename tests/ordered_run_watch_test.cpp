// OrderedRun's watcher and turns. Folded(n) comes one call at a time with n
// rising to the task count; a snapshot it asks for comes with every lane
// stopped at one task boundary b >= n, its Persist right after on the same
// thread while the lanes go on, and no other snapshot before Persist
// returns; a throw in either ends the run. A producer whose turn has come
// finds every earlier task folded in every lane, and may write its output
// itself, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/OrderedRunProbe.h"

namespace {

::testing::Message Where(const ProbePlan& plan) {
  return ::testing::Message() << plan.shape.threads << " threads, " << plan.shape.resultsPerThread
                              << " per thread, " << plan.shape.lanes << " lanes";
}

std::vector<int64_t> AllItems(int64_t count) {
  std::vector<int64_t> all;
  for (int64_t t = 0; t < count; ++t) {
    for (const int64_t item : ProbePlan_Items(t)) all.push_back(item);
  }
  return all;
}

void ExpectNoFault(const ProbePlan& plan, Probe& probe) {
  EXPECT_EQ(0, probe.faultCount) << Where(plan) << "\n" << Probe_Faults(probe);
}

// Snapshots every few tasks with a Persist that lasts until the other
// workers have folded more: the checks run inside the watcher.
TEST(OrderedRunWatcher, SnapshotsStopEveryLaneAtOneTaskBoundary) {
  OrderedRunDeadline deadline(60);
  uint64_t seed = 400;
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    for (const int32_t lanes : {1, 2, 5}) {
      ProbePlan plan{.count = 80, .shape = {threads, 2, lanes}};
      plan.produceSeed = ++seed;
      plan.foldSeed = ++seed;
      Probe probe(plan.count, lanes);
      const WatchPlan watch{.every = 4, .persistMicros = 300, .foldsDuringPersist = threads > 1};
      CheckingWatcher watcher(probe, plan.count, watch);
      plan.watcher = &watcher;
      Probe_Run(plan, probe);
      ExpectNoFault(plan, probe);
      const std::vector<int64_t> snapshots = watcher.Snapshots();
      EXPECT_EQ(plan.count, watcher.LastFolded()) << Where(plan);
      // The first ask comes with nothing persisting, so it is answered.
      EXPECT_FALSE(snapshots.empty()) << Where(plan);
      EXPECT_EQ(static_cast<int64_t>(snapshots.size()), watcher.Persists()) << Where(plan);
      EXPECT_EQ(snapshots.end(), std::adjacent_find(snapshots.begin(), snapshots.end(),
                                                    std::greater_equal<int64_t>()))
          << Where(plan) << ": snapshots not in rising order";
    }
  }
}

// One thread: every ask is answered at exactly the task count that asked,
// the last one included.
TEST(OrderedRunWatcher, OneThreadSnapshotsWhereAsked) {
  OrderedRunDeadline deadline(60);
  for (const int32_t lanes : {1, 3}) {
    ProbePlan plan{.count = 30, .shape = {1, 2, lanes}};
    Probe probe(plan.count, lanes);
    CheckingWatcher watcher(probe, plan.count, {.every = 5});
    plan.watcher = &watcher;
    Probe_Run(plan, probe);
    ExpectNoFault(plan, probe);
    EXPECT_EQ((std::vector<int64_t>{5, 10, 15, 20, 25, 30}), watcher.Snapshots()) << Where(plan);
    EXPECT_EQ(6, watcher.Persists()) << Where(plan);
  }
}

// Asks for a snapshot at task 5, and once more, a single time, from a fold
// made while the first snapshot's Persist runs on the other worker.
class AskDuringPersist final : public OrderedRunWatcher {
 public:
  bool Folded(int64_t tasksFolded) override {
    if (tasksFolded == 5) return true;
    if (!persisting_.load() || askedAgain_.load() >= 0) return false;
    askedAgain_.store(tasksFolded);
    return true;
  }
  void Snapshot(int64_t tasksFolded) override {
    std::lock_guard lock(mutex_);
    snapshots_.push_back(tasksFolded);
  }
  void Persist() override {
    if (Snapshots().size() != 1) return;
    persisting_.store(true);
    for (int i = 0; i < 10000 && askedAgain_.load() < 0; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    persisting_.store(false);
  }
  std::vector<int64_t> Snapshots() {
    std::lock_guard lock(mutex_);
    return snapshots_;
  }
  int64_t AskedAgain() const { return askedAgain_.load(); }

 private:
  std::mutex mutex_;
  std::vector<int64_t> snapshots_;
  std::atomic<bool> persisting_{false};
  std::atomic<int64_t> askedAgain_{-1};
};

// Disabled: fails today. A request made while a Persist runs is dropped
// (Finish sets no pause while persisting_ and forgets the request), so a
// watcher that asks once gets no snapshot. The drivers' watcher asks again
// at every fold until its Persist, which hides it there.
TEST(OrderedRunWatcher, AskWhilePersistingIsAnswered) {
  OrderedRunDeadline deadline(60);
  ProbePlan plan{.count = 200, .shape = {2, 2, 1}};
  plan.produceSeed = 800;
  Probe probe(plan.count, 1);
  AskDuringPersist watcher;
  plan.watcher = &watcher;
  Probe_Run(plan, probe);
  ExpectNoFault(plan, probe);
  ASSERT_GE(watcher.AskedAgain(), 0) << "no fold while Persist ran";
  const std::vector<int64_t> snapshots = watcher.Snapshots();
  ASSERT_EQ(2u, snapshots.size()) << "the ask at " << watcher.AskedAgain() << " was dropped";
  EXPECT_GE(snapshots[1], watcher.AskedAgain());
}

// A throw in the first or third Snapshot or Persist reaches the caller;
// no snapshot follows it, nor a Persist after a failed Snapshot. With one
// thread nothing is folded after it either.
TEST(OrderedRunWatcher, FailureInSnapshotOrPersistEndsTheRun) {
  OrderedRunDeadline deadline(60);
  uint64_t seed = 500;
  for (const bool inSnapshot : {true, false}) {
    for (const int which : {0, 2}) {
      for (const unsigned threads : {1u, 2u, 8u}) {
        for (const int32_t lanes : {1, 2}) {
          ProbePlan plan{.count = 60, .shape = {threads, 2, lanes}};
          plan.produceSeed = ++seed;
          Probe probe(plan.count, lanes);
          WatchPlan watch{.every = 6};
          (inSnapshot ? watch.throwInSnapshot : watch.throwInPersist) = which;
          CheckingWatcher watcher(probe, plan.count, watch);
          plan.watcher = &watcher;
          const auto where = Where(plan) << ", throw in " << (inSnapshot ? "Snapshot " : "Persist ")
                                         << which;
          try {
            Probe_Run(plan, probe);
            ADD_FAILURE() << "no exception reached the caller; " << where;
          } catch (const WatcherFailure& e) {
            EXPECT_EQ(inSnapshot ? "Snapshot" : "Persist", e.where) << where;
          }
          ExpectNoFault(plan, probe);
          const std::vector<int64_t> snapshots = watcher.Snapshots();
          EXPECT_EQ(which + 1, static_cast<int64_t>(snapshots.size())) << where;
          EXPECT_EQ(inSnapshot ? which : which + 1, watcher.Persists()) << where;
          if (threads == 1 && !snapshots.empty()) {
            EXPECT_EQ(snapshots.back(), Probe_LeastDone(probe)) << where;
            for (const auto& folds : probe.laneFolds) {
              EXPECT_EQ(snapshots.back(), static_cast<int64_t>(folds.size())) << where;
            }
          }
        }
      }
    }
  }
}

// Producers wait for their turn at random points and write what they hold
// so far; lane 0's fold writes the rest. The checks that every lane has
// folded every earlier task when the turn comes run inside produce; the
// output must come out whole and in order. With and without snapshots.
TEST(OrderedTurn, WaitingProducersWriteTheirOutputInOrder) {
  OrderedRunDeadline deadline(60);
  uint64_t seed = 600;
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    for (const int32_t lanes : {1, 2}) {
      for (const int64_t perThread : {1, 2}) {
        for (const bool watched : {false, true}) {
          ProbePlan plan{.count = 60, .shape = {threads, perThread, lanes}};
          plan.produceSeed = ++seed;
          plan.foldSeed = ++seed;
          plan.waitSeed = ++seed;
          Probe probe(plan.count, lanes);
          CheckingWatcher watcher(probe, plan.count, {.every = 3, .persistMicros = 50});
          if (watched) plan.watcher = &watcher;
          Probe_Run(plan, probe);
          ExpectNoFault(plan, probe);
          EXPECT_EQ(AllItems(plan.count), probe.output) << Where(plan);
          if (watched) {
            EXPECT_FALSE(watcher.Snapshots().empty()) << Where(plan);
          }
        }
      }
    }
  }
}

// A produce that throws while others wait for their turn: the waiting ones
// are released, the failure reaches the caller, and what was written is an
// in-order prefix of the output.
TEST(OrderedTurn, FailureWhileProducersWaitReachesTheCaller) {
  OrderedRunDeadline deadline(60);
  uint64_t seed = 700;
  for (const unsigned threads : {2u, 3u, 8u}) {
    for (const int64_t failing : {1, 9, 40}) {
      ProbePlan plan{.count = 60, .shape = {threads, 2, 1}};
      plan.produceSeed = ++seed;
      plan.waitSeed = ++seed;
      plan.failInProduce = failing;
      Probe probe(plan.count, 1);
      try {
        Probe_Run(plan, probe);
        ADD_FAILURE() << "no exception reached the caller; " << Where(plan);
      } catch (const TaskFailure& e) {
        EXPECT_EQ(failing, e.task) << Where(plan);
      }
      ExpectNoFault(plan, probe);
      const std::vector<int64_t> all = AllItems(failing);
      ASSERT_LE(probe.output.size(), all.size()) << Where(plan);
      EXPECT_TRUE(std::equal(probe.output.begin(), probe.output.end(), all.begin()))
          << Where(plan);
    }
  }
}

}  // namespace
