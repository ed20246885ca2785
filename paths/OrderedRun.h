// Runs tasks 0 .. count-1 on several threads and folds their results in
// task order, so that the outcome is the same for any number of threads.
//
// Each result is folded in `lanes` lanes (a driver splits its results by
// node range, one lane per range, so that folding keeps up with many
// threads). Within a lane folds come strictly in task order, one at a time;
// different lanes fold at once. Results live in slots that each worker
// brings to the run and that are reused from task to task, so memory in
// flight is fixed when the run starts: a worker takes task t only once every
// lane has folded task t - slots, whose slot t then reuses.
//
// The calling thread is one of the workers. Every worker builds its
// workspace and its result slots before any task starts (the start
// barrier): a worker that cannot, for want of memory, or a thread that
// cannot be started, leaves the run with fewer workers, and nothing is
// produced or written until the workers are known. Only a calling thread
// that cannot build its own ends the run, with std::bad_alloc.
//
// Memory can also run out later, as searches grow their workspace. A
// worker whose produce throws std::bad_alloc hands its task back (another
// worker produces it again, from the start) and gives its workspace up: a
// helper then retires, and the calling thread folds only, until no other
// worker is free to produce, when it builds a workspace again. The last
// worker able to produce builds one again and retries at once. The run
// ends with std::bad_alloc only when that fails, or the same worker fails
// twice running with none to take over, or the task has already handed
// part of its result out (OrderedTurn), which cannot be taken back, or
// every worker left waits for its turn behind a task handed back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

struct OrderedRunShape {
  unsigned threads = 1;          // workers wanted, the calling thread included
  int64_t resultsPerThread = 2;  // result slots each worker brings
  int32_t lanes = 1;             // folds of each result, in separate lanes
};

// Watches an ordered run. Folded(n) hears, one call at a time, that the
// first n tasks have been folded in every lane, and returns whether a
// snapshot is wanted; Snapshot(b) then runs with every lane stopped after
// exactly b tasks (b >= n) and no fold under way, and right after it, on the
// same thread but with the lanes going again, Persist() (so that slow work
// on the snapshot holds up no fold). Either may throw to end the run.
class OrderedRunWatcher {
 public:
  virtual bool Folded(int64_t tasksFolded) = 0;
  virtual void Snapshot(int64_t tasksFolded) = 0;
  virtual void Persist() = 0;

 protected:
  ~OrderedRunWatcher() = default;
};

// Thrown out of OrderedTurn::Wait when the run stops while a producer waits;
// the run catches it.
struct OrderedRunStopped {};

// The scheduling state of a run, shared by its workers under one lock.
class OrderedRunCore {
 public:
  struct Job {
    // kRebuild: for a calling thread without a workspace, no other worker
    // is free to produce what is waiting.
    enum Kind { kFold, kSnapshot, kProduce, kTurn, kRebuild, kDone } kind;
    int64_t task;
    int32_t lane;
  };

  OrderedRunCore(int64_t count, int32_t lanes, OrderedRunWatcher* watcher)
      : count_(count), lanes_(lanes), watcher_(watcher),
        laneNext_(static_cast<size_t>(lanes), 0), laneBusy_(static_cast<size_t>(lanes), 0) {}

  // The start barrier: each helper arrives, ready or not, and then awaits
  // the start; the calling thread awaits every arrival, then starts the run
  // with the slots that were brought.
  void Arrive(bool ready);
  bool AwaitStart();  // false when the run stopped before it began
  void AwaitArrivals(int helpers);
  void Start(int64_t slots);

  // The next job for a worker (waitingFor < 0) or for a producer waiting
  // for its turn at task waitingFor (then never kProduce or kDone); blocks
  // until there is one. A worker without a workspace (canProduce false)
  // gets no kProduce, but kRebuild when it is needed. Returns kDone once
  // the run is over or stopped.
  Job Next(int64_t waitingFor, bool canProduce = true);
  void Finish(const Job& job);
  // A producer short of memory gives task back and its workspace up
  // (caller: the calling thread). Returns whether another worker with a
  // workspace is free to take the task.
  bool HandBack(int64_t task, bool caller);
  // A worker built a workspace again.
  void Rejoin(bool caller);
  // The producer of task starts (change +1) or ends (-1) waiting for its
  // turn: meanwhile it cannot take a task handed back.
  void WaitingForTurn(int64_t task, int change);
  void Fail(std::exception_ptr failure);
  void RethrowFailure();
  // Runs the watcher's Persist after a snapshot; no snapshot is taken
  // meanwhile, so Persist has the snapshot to itself.
  void Persist();
  size_t SlotOf(int64_t task) const { return static_cast<size_t>(task % slots_); }

 private:
  bool FoldableLane(int32_t& lane) const;
  bool SnapshotDue() const;
  bool ProduceReady() const;
  bool Stuck() const;
  void PauseLanes();

  std::mutex mutex_;
  std::condition_variable changed_;
  const int64_t count_;
  const int32_t lanes_;
  OrderedRunWatcher* const watcher_;
  int64_t slots_ = 0;
  int helpersArrived_ = 0;
  int producers_ = 1;       // workers with a workspace: the calling thread and ready helpers
  bool callerOut_ = false;  // the calling thread has given its workspace up
  std::multiset<int64_t> waiting_;   // tasks whose producers wait for their turn
  std::vector<int64_t> handedBack_;  // tasks to produce again, ascending
  bool started_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  int64_t nextTask_ = 0;
  int64_t foldedAll_ = 0;          // tasks folded in every lane
  std::vector<int64_t> laneNext_;  // per lane: the next task it folds
  std::vector<char> laneBusy_;
  std::vector<int64_t> slotTask_;   // per slot: the task it holds, or -1
  std::vector<int32_t> slotLanes_;  // per slot: lanes yet to fold it
  int64_t pause_ = -1;              // lanes stop here for a snapshot, or -1
  bool snapshotting_ = false;
  bool persisting_ = false;
  bool askedMeanwhile_ = false;     // a snapshot asked for while one was under way
  int32_t laneCursor_ = 0;          // where the search for a lane to fold starts
};

// A producer's place in the output order, for producers whose results
// outgrow their slot. Wait() returns once every earlier task has been
// folded in every lane: the producer may then hand out its result's head
// itself, in order. While it waits, the thread folds ready results.
class OrderedTurn {
 public:
  template <class RunShared>
  OrderedTurn(OrderedRunCore& core, int64_t task, RunShared& runShared)
      : core_(core),
        task_(task),
        runShared_(&runShared),
        call_([](void* f, const OrderedRunCore::Job& job) { (*static_cast<RunShared*>(f))(job); }) {}

  void Wait() {
    if (mine_) return;
    struct Waiting {
      OrderedRunCore& core;
      int64_t task;
      Waiting(OrderedRunCore& c, int64_t t) : core(c), task(t) { core.WaitingForTurn(task, +1); }
      ~Waiting() { core.WaitingForTurn(task, -1); }
    } waiting(core_, task_);
    while (!mine_) {
      const OrderedRunCore::Job job = core_.Next(task_);
      if (job.kind == OrderedRunCore::Job::kTurn) {
        mine_ = true;
      } else if (job.kind == OrderedRunCore::Job::kDone) {
        throw OrderedRunStopped{};
      } else {
        call_(runShared_, job);
        core_.Finish(job);
        if (job.kind == OrderedRunCore::Job::kSnapshot) core_.Persist();
      }
    }
  }
  // Whether the producer's turn came: it may have handed part of its result out.
  bool Taken() const { return mine_; }

 private:
  OrderedRunCore& core_;
  int64_t task_;
  void* runShared_;  // folds and snapshots, the jobs any thread may run
  void (*call_)(void*, const OrderedRunCore::Job&);
  bool mine_ = false;
};

// Runs the tasks. makeWorkspace() builds a worker's workspace and
// makeResult() one result slot; produce(task, workspace, result, turn)
// fills a slot that holds an earlier task's result, or part of this one's
// from an attempt that ran out of memory; fold(task, lane, result) folds
// one lane of it. An exception from any of them stops the run and is
// rethrown to the caller, except std::bad_alloc while a helper builds,
// which only keeps that helper out, and std::bad_alloc in produce, which
// hands the task to another worker when one can take it (see above).
template <class Result, class MakeWorkspace, class MakeResult, class Produce, class Fold>
void OrderedRun(int64_t count, const OrderedRunShape& shape, MakeWorkspace makeWorkspace,
                MakeResult makeResult, Produce produce, Fold fold,
                OrderedRunWatcher* watcher = nullptr) {
  using Job = OrderedRunCore::Job;
  using Workspace = decltype(makeWorkspace());
  if (count <= 0) return;
  OrderedRunCore core(count, shape.lanes, watcher);
  std::vector<Result> results;  // filled before the start, then fixed
  std::mutex resultsMutex;
  auto build = [&] {
    auto ws = makeWorkspace();
    std::vector<Result> mine;
    for (int64_t i = 0; i < shape.resultsPerThread; ++i) mine.push_back(makeResult());
    std::lock_guard lock(resultsMutex);
    for (Result& r : mine) results.push_back(std::move(r));
    return ws;
  };
  auto runShared = [&](const Job& job) {
    if (job.kind == Job::kFold) {
      fold(job.task, job.lane, results[core.SlotOf(job.task)]);
    } else {
      watcher->Snapshot(job.task);
    }
  };
  // caller: the calling thread, which never retires.
  auto work = [&](std::optional<Workspace>& ws, bool caller) {
    bool retried = false;  // built again after a failure, with no task produced since
    try {
      for (;;) {
        const Job job = core.Next(-1, ws.has_value());
        if (job.kind == Job::kDone) return;
        if (job.kind == Job::kRebuild) {
          ws.emplace(makeWorkspace());
          core.Rejoin(caller);
          continue;
        }
        if (job.kind == Job::kProduce) {
          OrderedTurn turn(core, job.task, runShared);
          try {
            produce(job.task, *ws, results[core.SlotOf(job.task)], turn);
          } catch (const std::bad_alloc&) {
            if (turn.Taken() || retried) throw;
            ws.reset();  // a search cut short leaves it unfit, and its memory is wanted
            if (!core.HandBack(job.task, caller)) {
              ws.emplace(makeWorkspace());  // no one else can: try once more
              core.Rejoin(caller);
              retried = true;
            } else if (!caller) {
              return;
            }
            continue;
          }
          retried = false;
        } else {
          runShared(job);
        }
        core.Finish(job);
        if (job.kind == Job::kSnapshot) core.Persist();
      }
    } catch (const OrderedRunStopped&) {
    } catch (...) {
      core.Fail(std::current_exception());
    }
  };
  auto helper = [&] {
    std::optional<Workspace> ws;
    try {
      ws.emplace(build());
      core.Arrive(true);
    } catch (const std::bad_alloc&) {
      core.Arrive(false);  // leaves the run to the others
      return;
    } catch (...) {
      core.Fail(std::current_exception());
      core.Arrive(false);
      return;
    }
    if (core.AwaitStart()) work(ws, false);
  };

  std::optional<Workspace> ws(build());  // without the calling thread's own, nothing can run
  std::vector<std::thread> helpers;
  helpers.reserve(shape.threads > 1 ? shape.threads - 1 : 0);
  try {
    for (unsigned i = 1; i < shape.threads; ++i) helpers.emplace_back(helper);
  } catch (const std::system_error&) {
    // No more threads can be started: the run goes on with those that were.
  }
  core.AwaitArrivals(static_cast<int>(helpers.size()));
  core.Start(static_cast<int64_t>(results.size()));
  work(ws, true);
  for (auto& th : helpers) th.join();
  core.RethrowFailure();
}
