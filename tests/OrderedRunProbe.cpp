#include "tests/OrderedRunProbe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace {

using std::chrono::microseconds;

constexpr int kMaxSlots = 64;

// A number from a seed, a task and a lane: the same on every thread, so
// that no random generator is shared.
uint64_t Mix(uint64_t seed, int64_t a, int64_t b) {
  uint64_t z = seed ^ (static_cast<uint64_t>(a) * 0x9E3779B97F4A7C15u) ^
               (static_cast<uint64_t>(b) * 0xC2B2AE3D27D4EB4Fu);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// Sleeps up to 40 microseconds, not at all at about a third of the calls.
void Jitter(uint64_t seed, int64_t a, int64_t b) {
  if (seed == 0) return;
  const uint64_t r = Mix(seed, a, b);
  if (r % 3 == 0) return;
  std::this_thread::sleep_for(microseconds(r % 41));
}

// Polls until done(), a fault, or about a second; returns done().
template <class Done>
bool AwaitBriefly(const Probe& probe, Done done) {
  for (int i = 0; i < 10000 && !done() && !probe.faulted.load(); ++i) {
    std::this_thread::sleep_for(microseconds(100));
  }
  return done();
}

// What task t's result holds: its length and values vary with t, so a
// result left in a slot by another task cannot pass for it.
std::vector<int64_t> PayloadOf(int64_t t) {
  return std::vector<int64_t>(static_cast<size_t>(t % 4 + 1), t * 31 + 7);
}

struct TaskResult {
  int32_t slot = -1;  // which slot this is, fixed when it is made
  int64_t task = -1;
  std::vector<int64_t> payload;
  std::vector<int64_t> pending;  // items not yet written
};

struct Workspace {
  std::thread::id user;  // the one thread that may use it
};

std::string Task(int64_t t) { return "task " + std::to_string(t); }

int BuildCallsExpected(const ProbePlan& plan) {
  const auto threads = static_cast<int>(plan.shape.threads);
  const auto perThread = static_cast<int>(plan.shape.resultsPerThread);
  int calls = threads * (1 + perThread);
  // A failing last slot is still a call; a failing workspace ends the build.
  if (plan.buildFault == BuildFault::kHelperWorkspace) calls -= plan.faultyHelpers * perThread;
  return calls;
}

[[noreturn]] void ThrowBuildFault(const ProbePlan& plan) {
  if (plan.faultIsBadAlloc) throw std::bad_alloc();
  throw std::runtime_error("build failed");
}

void CheckIntact(Probe& probe, const TaskResult& r, int64_t t, const char* when) {
  if (r.task == t && r.payload == PayloadOf(t)) return;
  Probe_Fault(probe, Task(t) + " folded " + when + " with the result of " + Task(r.task));
}

void Write(Probe& probe, const std::vector<int64_t>& items) {
  std::lock_guard lock(probe.mutex);
  probe.output.insert(probe.output.end(), items.begin(), items.end());
}

void CheckProduceStart(const ProbePlan& plan, Probe& probe, int64_t t, const Workspace& ws,
                       const TaskResult& r) {
  const int64_t slots = ProbePlan_Slots(plan);
  const auto s = static_cast<size_t>(r.slot);
  if (ws.user != std::this_thread::get_id()) Probe_Fault(probe, Task(t) + ": shared workspace");
  if (probe.slotWriters[s].fetch_add(1) != 0 || probe.slotReaders[s].load() != 0) {
    Probe_Fault(probe, Task(t) + " produced into a slot in use");
  }
  for (size_t l = 0; l < probe.laneDone.size(); ++l) {
    if (probe.laneDone[l].load() < t - slots + 1) {
      Probe_Fault(probe, Task(t) + " started before lane " + std::to_string(l) + " folded " +
                             Task(t - slots));
    }
  }
  if (probe.buildCallsEnded.load() != BuildCallsExpected(plan)) {
    Probe_Fault(probe, Task(t) + " started before every worker was built");
  }
  int64_t last = -1;  // the task the slot held before
  {
    std::lock_guard lock(probe.mutex);
    probe.produced.push_back(t);
    probe.producers.insert(std::this_thread::get_id());
    const auto held = probe.slotTask.find(r.slot);
    if (held != probe.slotTask.end()) last = held->second;
    probe.slotTask[r.slot] = t;
  }
  // A task produced again (memory ran out) finds its own first attempt there.
  if (last >= 0 && last != t &&
      probe.lanesFolded[static_cast<size_t>(last)].load() != plan.shape.lanes) {
    Probe_Fault(probe, Task(t) + " reused the slot of " + Task(last) + " before every lane " +
                           "folded it");
  }
}

// Emits task t's items; where the seed says, waits for the turn and then
// writes what is pending, checking that every earlier task is folded.
void ProduceItems(const ProbePlan& plan, Probe& probe, int64_t t, TaskResult& r,
                  OrderedTurn& turn) {
  const std::vector<int64_t> items = ProbePlan_Items(t);
  for (size_t k = 0; k < items.size(); ++k) {
    r.pending.push_back(items[k]);
    if (Mix(plan.waitSeed, t, static_cast<int64_t>(k)) % 3 != 0) continue;
    turn.Wait();
    for (size_t l = 0; l < probe.laneDone.size(); ++l) {
      const int64_t done = probe.laneDone[l].load();
      if (done != t) {
        Probe_Fault(probe, Task(t) + "'s turn came with lane " + std::to_string(l) + " at " +
                               std::to_string(done));
      }
    }
    Write(probe, r.pending);
    r.pending.clear();
    Jitter(plan.produceSeed, t, 100 + static_cast<int64_t>(k));
  }
}

// Whether this produce runs out of memory as the plan says; if so, undoes
// what its start recorded, as it will run again.
bool ShortOfMemory(const ProbePlan& plan, Probe& probe, int64_t t, const TaskResult& r) {
  const std::thread::id me = std::this_thread::get_id();
  std::lock_guard lock(probe.mutex);
  const int calls = ++probe.producesBy[me];
  const bool helper = me != probe.caller;
  bool shortNow = t >= plan.shortFrom && plan.shortFrom >= 0;
  if (helper && probe.helperIndex[me] < plan.shortHelpers && calls == 2) shortNow = true;
  if (!helper && plan.callerShort && calls == 1) shortNow = true;
  if (!shortNow) return false;
  probe.shortOf.push_back(t);
  probe.produced.erase(std::find(probe.produced.rbegin(), probe.produced.rend(), t).base() - 1);
  if (helper) probe.retired.insert(me);
  probe.slotWriters[static_cast<size_t>(r.slot)].fetch_sub(1);
  return true;
}

void Produce(const ProbePlan& plan, Probe& probe, int64_t t, Workspace& ws, TaskResult& r,
             OrderedTurn& turn) {
  probe.started.fetch_add(1);
  CheckProduceStart(plan, probe, t, ws, r);
  // Cleared first, so that a fold reading the slot meanwhile would notice.
  r.task = -1;
  r.payload.clear();
  r.pending.clear();
  Jitter(plan.produceSeed, t, -1);
  if (t == plan.failInProduce) throw TaskFailure{t};
  if (ShortOfMemory(plan, probe, t, r)) throw std::bad_alloc();
  if (plan.waitSeed != 0) ProduceItems(plan, probe, t, r, turn);
  if (t == plan.shortAfterTurn) {
    probe.slotWriters[static_cast<size_t>(r.slot)].fetch_sub(1);
    throw std::bad_alloc();
  }
  r.task = t;
  r.payload = PayloadOf(t);
  probe.slotWriters[static_cast<size_t>(r.slot)].fetch_sub(1);
}

void HoldFirstFold(const ProbePlan& plan, Probe& probe) {
  if (plan.holdFirstFold) {
    const int64_t slots = ProbePlan_Slots(plan);
    AwaitBriefly(probe, [&] { return probe.started.load() >= slots; });
    std::this_thread::sleep_for(microseconds(2000));  // time for one task too many
    probe.heldWithStarted = probe.started.load();
  }
  if (plan.awaitOtherLane) {
    probe.otherLaneFolded = AwaitBriefly(probe, [&] { return probe.laneDone[1].load() > 0; });
  }
}

void Fold(const ProbePlan& plan, Probe& probe, int64_t t, int32_t lane, TaskResult& r) {
  const auto l = static_cast<size_t>(lane);
  const auto s = static_cast<size_t>(r.slot);
  if (probe.laneFolding[l].fetch_add(1) != 0) {
    Probe_Fault(probe, Task(t) + ": two folds at once in lane " + std::to_string(lane));
  }
  probe.slotReaders[s].fetch_add(1);
  if (probe.slotWriters[s].load() != 0) Probe_Fault(probe, Task(t) + " folded while produced");
  CheckIntact(probe, r, t, "as its fold starts");
  {
    std::lock_guard lock(probe.mutex);
    probe.laneFolds[l].push_back(t);
  }
  if (t == 0 && lane == 0) HoldFirstFold(plan, probe);
  if (lane == 0 && plan.waitSeed != 0) Write(probe, r.pending);
  Jitter(plan.foldSeed, t, lane);
  CheckIntact(probe, r, t, "as its fold ends");
  probe.slotReaders[s].fetch_sub(1);
  if (t == plan.failInFold && lane == plan.failLane) throw TaskFailure{t};
  probe.lanesFolded[static_cast<size_t>(t)].fetch_add(1);
  probe.laneFolding[l].fetch_sub(1);
  probe.laneDone[l].fetch_add(1);
}

Workspace MakeWorkspace(const ProbePlan& plan, Probe& probe) {
  const std::thread::id me = std::this_thread::get_id();
  if (probe.started.load() > 0) {  // built again, once memory ran out mid-run
    std::lock_guard lock(probe.mutex);
    probe.rebuilds += 1;
    return Workspace{me};
  }
  bool faulty = plan.buildFault == BuildFault::kCallerWorkspace;
  if (me != probe.caller) {
    const int helper = probe.helpersSeen.fetch_add(1);
    {
      std::lock_guard lock(probe.mutex);
      probe.helperIndex[me] = helper;
    }
    std::this_thread::sleep_for(microseconds(plan.helperBuildMicros));
    faulty = plan.buildFault == BuildFault::kHelperWorkspace && helper < plan.faultyHelpers;
  }
  probe.buildCallsEnded.fetch_add(1);
  if (faulty) ThrowBuildFault(plan);
  return Workspace{me};
}

TaskResult MakeResult(const ProbePlan& plan, Probe& probe) {
  const std::thread::id me = std::this_thread::get_id();
  bool faulty = plan.buildFault == BuildFault::kCallerResult;
  bool last = false;
  {
    std::lock_guard lock(probe.mutex);
    last = ++probe.resultsMade[me] == plan.shape.resultsPerThread;
    if (me != probe.caller) {
      faulty = plan.buildFault == BuildFault::kHelperResult &&
               probe.helperIndex[me] < plan.faultyHelpers;
    }
    if (last && !faulty) probe.workers.insert(me);
  }
  probe.buildCallsEnded.fetch_add(1);
  if (last && faulty) ThrowBuildFault(plan);
  const int32_t slot = probe.slotsMade.fetch_add(1);
  if (slot >= kMaxSlots) throw std::logic_error("more slots than the probe tracks");
  return TaskResult{slot, -1, {}, {}};
}

}  // namespace

OrderedRunDeadline::OrderedRunDeadline(int seconds)
    : watch_([this, seconds] {
        std::unique_lock lock(mutex_);
        if (done_.wait_for(lock, std::chrono::seconds(seconds), [&] { return over_; })) return;
        std::fprintf(stderr, "an ordered run took over %d s: deadlocked\n", seconds);
        std::_Exit(1);
      }) {}

OrderedRunDeadline::~OrderedRunDeadline() {
  {
    std::lock_guard lock(mutex_);
    over_ = true;
  }
  done_.notify_all();
  watch_.join();
}

int64_t ProbePlan_Workers(const ProbePlan& plan) {
  const bool helperFault = plan.buildFault == BuildFault::kHelperWorkspace ||
                           plan.buildFault == BuildFault::kHelperResult;
  const bool helpersShort = plan.faultIsBadAlloc && helperFault;
  return static_cast<int64_t>(plan.shape.threads) - (helpersShort ? plan.faultyHelpers : 0);
}

int64_t ProbePlan_Slots(const ProbePlan& plan) {
  return ProbePlan_Workers(plan) * plan.shape.resultsPerThread;
}

std::vector<int64_t> ProbePlan_Items(int64_t t) {
  std::vector<int64_t> items;
  for (int64_t k = 0; k <= t % 4; ++k) items.push_back(t * 8 + k);
  return items;
}

Probe::Probe(int64_t count, int32_t lanes)
    : laneFolds(static_cast<size_t>(lanes)),
      laneDone(static_cast<size_t>(lanes)),
      laneFolding(static_cast<size_t>(lanes)),
      lanesFolded(static_cast<size_t>(std::max<int64_t>(count, 0))),
      slotReaders(kMaxSlots),
      slotWriters(kMaxSlots) {}

void Probe_Fault(Probe& probe, const std::string& what) {
  std::lock_guard lock(probe.mutex);
  probe.faultCount += 1;
  probe.faulted.store(true);
  if (probe.faults.size() < 6) probe.faults.push_back(what);
  throw ProbeFault{};
}

std::string Probe_Faults(Probe& probe) {
  std::lock_guard lock(probe.mutex);
  std::string text = std::to_string(probe.faultCount) + " faults";
  for (const std::string& f : probe.faults) text += "\n  " + f;
  return text;
}

int64_t Probe_LeastDone(const Probe& probe) {
  int64_t least = INT64_MAX;
  for (const auto& done : probe.laneDone) least = std::min(least, done.load());
  return least;
}

int64_t Probe_SlotsUsed(Probe& probe) {
  std::lock_guard lock(probe.mutex);
  return static_cast<int64_t>(probe.slotTask.size());
}

void Probe_Run(const ProbePlan& plan, Probe& probe) try {
  OrderedRun<TaskResult>(
      plan.count, plan.shape, [&] { return MakeWorkspace(plan, probe); },
      [&] { return MakeResult(plan, probe); },
      [&](int64_t t, Workspace& ws, TaskResult& r, OrderedTurn& turn) {
        Produce(plan, probe, t, ws, r, turn);
      },
      [&](int64_t t, int32_t lane, TaskResult& r) { Fold(plan, probe, t, lane, r); },
      plan.watcher);
} catch (const ProbeFault&) {
}

CheckingWatcher::CheckingWatcher(Probe& probe, int64_t count, WatchPlan plan)
    : probe_(probe), count_(count), plan_(plan), askFrom_(plan.every) {}

bool CheckingWatcher::Folded(int64_t tasksFolded) {
  if (inFolded_.fetch_add(1) != 0) Probe_Fault(probe_, "two calls of Folded at once");
  if (Probe_LeastDone(probe_) < tasksFolded) {
    Probe_Fault(probe_, "Folded(" + std::to_string(tasksFolded) + ") before every lane did");
  }
  std::lock_guard lock(mutex_);
  if (tasksFolded <= lastFolded_) {
    Probe_Fault(probe_, "Folded(" + std::to_string(tasksFolded) + ") after Folded(" +
                            std::to_string(lastFolded_) + ")");
  }
  lastFolded_ = tasksFolded;
  const bool ask = tasksFolded >= askFrom_;
  if (ask && firstAsk_ < 0) firstAsk_ = tasksFolded;
  inFolded_.fetch_sub(1);
  return ask;
}

void CheckingWatcher::Snapshot(int64_t tasksFolded) {
  const std::string at = "Snapshot(" + std::to_string(tasksFolded) + ")";
  if (persisting_.load()) Probe_Fault(probe_, at + " while Persist ran");
  for (size_t l = 0; l < probe_.laneDone.size(); ++l) {
    if (probe_.laneDone[l].load() != tasksFolded || probe_.laneFolding[l].load() != 0) {
      Probe_Fault(probe_, at + " with lane " + std::to_string(l) + " at " +
                              std::to_string(probe_.laneDone[l].load()) +
                              (probe_.laneFolding[l].load() != 0 ? ", folding" : ""));
    }
  }
  std::lock_guard lock(mutex_);
  if (firstAsk_ < 0 || tasksFolded < firstAsk_) {
    Probe_Fault(probe_, at + " but asked at " + std::to_string(firstAsk_));
  }
  snapshots_.push_back(tasksFolded);
  snapshotThread_ = std::this_thread::get_id();
  persistDue_ = true;
  askFrom_ = tasksFolded + plan_.every;
  firstAsk_ = -1;
  if (static_cast<int>(snapshots_.size()) - 1 == plan_.throwInSnapshot) {
    throw WatcherFailure{"Snapshot"};
  }
}

void CheckingWatcher::AwaitFoldsTo(int64_t tasks) {
  const bool folded = AwaitBriefly(probe_, [&] { return Probe_LeastDone(probe_) >= tasks; });
  if (!folded && !probe_.faulted.load()) {
    Probe_Fault(probe_, "no fold up to " + std::to_string(tasks) + " while Persist ran");
  }
}

void CheckingWatcher::Persist() {
  int64_t at = 0;
  int index = 0;
  {
    std::lock_guard lock(mutex_);
    if (!persistDue_ || snapshotThread_ != std::this_thread::get_id()) {
      Probe_Fault(probe_, "Persist not right after Snapshot on its thread");
    }
    persistDue_ = false;
    at = snapshots_.empty() ? 0 : snapshots_.back();
    index = static_cast<int>(persists_++);
  }
  persisting_.store(true);
  if (plan_.foldsDuringPersist && at < count_) AwaitFoldsTo(std::min(count_, at + plan_.every));
  std::this_thread::sleep_for(microseconds(plan_.persistMicros));
  persisting_.store(false);
  if (index == plan_.throwInPersist) throw WatcherFailure{"Persist"};
}

std::vector<int64_t> CheckingWatcher::Snapshots() {
  std::lock_guard lock(mutex_);
  return snapshots_;
}

int64_t CheckingWatcher::Persists() {
  std::lock_guard lock(mutex_);
  return persists_;
}

int64_t CheckingWatcher::LastFolded() {
  std::lock_guard lock(mutex_);
  return lastFolded_;
}
