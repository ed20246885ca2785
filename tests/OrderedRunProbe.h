// A harness for OrderedRun's tests: a run whose produce and fold record what
// they see and check, as they go, what the run promises them (order, one
// fold at a time per lane, intact results, the window, the start barrier),
// and a watcher that checks its snapshots. Seeded short sleeps shuffle the
// order in which tasks finish, the same on every thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "paths/OrderedRun.h"

// Ends the test program when a run has not returned within a bound far
// beyond any correct run, so that a deadlocked run fails instead of hanging
// the suite.
class OrderedRunDeadline {
 public:
  explicit OrderedRunDeadline(int seconds);
  ~OrderedRunDeadline();
  OrderedRunDeadline(const OrderedRunDeadline&) = delete;
  OrderedRunDeadline& operator=(const OrderedRunDeadline&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool over_ = false;
  std::thread watch_;
};

// The thrown failure, naming the task it came from.
struct TaskFailure {
  int64_t task;
};

// Where a worker's build fails, if anywhere: a helper's (not the calling
// thread's) workspace or last result slot, or the calling thread's.
enum class BuildFault { kNone, kHelperWorkspace, kHelperResult, kCallerWorkspace, kCallerResult };

struct ProbePlan {
  int64_t count = 60;
  OrderedRunShape shape;
  uint64_t produceSeed = 0;  // sleeps in produce, 0 for none
  uint64_t foldSeed = 0;     // sleeps in fold, 0 for none
  int64_t failInProduce = -1;
  int64_t failInFold = -1;  // with failLane: where fold throws
  int32_t failLane = 0;
  // Producers emit items and, where this seed says, wait for their turn
  // and write their items out themselves; lane 0's fold writes the rest.
  uint64_t waitSeed = 0;
  bool holdFirstFold = false;   // lane 0 holds task 0 until the window is full
  bool awaitOtherLane = false;  // lane 0 holds task 0 until lane 1 has folded it
  BuildFault buildFault = BuildFault::kNone;
  int faultyHelpers = 0;         // helpers whose build fails (the first to start)
  bool faultIsBadAlloc = true;   // else the build throws std::runtime_error
  int helperBuildMicros = 0;     // a helper's workspace takes this long
  OrderedRunWatcher* watcher = nullptr;
  // Memory that runs out mid-run, in produce (std::bad_alloc): in the
  // second task of the first shortHelpers helpers; in the calling
  // thread's first; in every task from shortFrom on; in task
  // shortAfterTurn once its turn has come (with waitSeed).
  int shortHelpers = 0;
  bool callerShort = false;
  int64_t shortFrom = -1;
  int64_t shortAfterTurn = -1;
};

// Workers that start: every thread but those short of memory.
int64_t ProbePlan_Workers(const ProbePlan& plan);
int64_t ProbePlan_Slots(const ProbePlan& plan);
// Task t's items, as the waiting producers emit them.
std::vector<int64_t> ProbePlan_Items(int64_t t);

// What a run did, as its produce, fold and builds saw it.
struct Probe {
  Probe(int64_t count, int32_t lanes);

  const std::thread::id caller = std::this_thread::get_id();
  std::mutex mutex;  // guards the members that are not atomic
  std::vector<std::string> faults;  // the first few faults seen
  int64_t faultCount = 0;
  std::vector<std::vector<int64_t>> laneFolds;  // per lane: tasks in fold order
  std::vector<int64_t> produced;                // tasks in order of start
  std::vector<int64_t> output;                  // items written, in order
  std::map<int32_t, int64_t> slotTask;          // per slot: its last task
  std::set<std::thread::id> workers, producers;
  std::map<std::thread::id, int> resultsMade;
  std::map<std::thread::id, int> helperIndex;   // in order of start
  std::map<std::thread::id, int> producesBy;    // produce calls by thread
  std::vector<int64_t> shortOf;                 // tasks whose produce ran out of memory
  std::set<std::thread::id> retired;            // helpers that ran out of memory
  int rebuilds = 0;                             // workspaces built again mid-run
  int64_t heldWithStarted = -1;  // tasks started while lane 0 held task 0
  bool otherLaneFolded = false;  // lane 1 folded task 0 while lane 0 held it

  std::vector<std::atomic<int64_t>> laneDone;    // per lane: folds finished
  std::vector<std::atomic<int>> laneFolding;     // per lane: folds under way
  std::vector<std::atomic<int32_t>> lanesFolded;  // per task: lanes done
  std::vector<std::atomic<int>> slotReaders;     // per slot: folds under way
  std::vector<std::atomic<int>> slotWriters;     // per slot: produces under way
  std::atomic<bool> faulted{false};
  std::atomic<int64_t> started{0};
  std::atomic<int32_t> slotsMade{0};
  std::atomic<int> buildCallsEnded{0};
  std::atomic<int> helpersSeen{0};
};

// Records a fault and throws ProbeFault, which stops the run at once (a
// run gone wrong may otherwise never end); Probe_Run catches it.
struct ProbeFault {};
[[noreturn]] void Probe_Fault(Probe& probe, const std::string& what);
// The faults seen, one a line, for a failure message.
std::string Probe_Faults(Probe& probe);
// The smallest number of tasks any lane has folded.
int64_t Probe_LeastDone(const Probe& probe);
// Distinct result slots the tasks were produced in.
int64_t Probe_SlotsUsed(Probe& probe);

// Runs plan on OrderedRun, recording into probe; returns early, with
// faultCount > 0, after a fault.
void Probe_Run(const ProbePlan& plan, Probe& probe);

// Checks every snapshot: asked for, at a task boundary that every lane has
// reached with no fold under way, its Persist on the same thread with no
// other snapshot meanwhile. Asks from `every` tasks after the last snapshot
// until one comes.
struct WatchPlan {
  int64_t every = 5;
  int persistMicros = 0;
  // Persist waits until the other workers fold `every` more tasks: only
  // with more than one worker and no producer waiting for its turn.
  bool foldsDuringPersist = false;
  int throwInSnapshot = -1;  // which snapshot (from 0) throws, or -1
  int throwInPersist = -1;
};

struct WatcherFailure {
  std::string where;
};

class CheckingWatcher final : public OrderedRunWatcher {
 public:
  CheckingWatcher(Probe& probe, int64_t count, WatchPlan plan);
  bool Folded(int64_t tasksFolded) override;
  void Snapshot(int64_t tasksFolded) override;
  void Persist() override;

  std::vector<int64_t> Snapshots();
  int64_t Persists();
  int64_t LastFolded();

 private:
  void AwaitFoldsTo(int64_t tasks);

  Probe& probe_;
  const int64_t count_;
  const WatchPlan plan_;
  std::mutex mutex_;  // Persist runs while the others fold
  std::atomic<int> inFolded_{0};
  std::atomic<bool> persisting_{false};
  int64_t lastFolded_ = 0;
  int64_t askFrom_;
  int64_t firstAsk_ = -1;  // the first Folded that asked since the last snapshot
  std::vector<int64_t> snapshots_;
  int64_t persists_ = 0;
  bool persistDue_ = false;
  std::thread::id snapshotThread_;
};
