// Runs tasks 0 .. count-1 on several threads and hands their results to
// consume() strictly in task order, one at a time, so the outcome is the
// same for any number of threads.
//
// Results live in `window` slots that are reused from task to task, so a
// long run allocates nothing once the slots have grown. A worker takes task
// t only once t < (next task to consume) + window; the task that used slot
// t % window before is then consumed already, so the worker fills the slot
// without waiting for it and without holding the lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// Produce: void(int64_t task, Workspace&, Result& slot), which fills a slot
// holding an earlier task's result; Consume: void(int64_t task, Result&).
// makeWorkspace() builds one workspace per thread. An exception thrown by
// produce or consume stops the run and is rethrown to the caller; a thread
// that cannot be started for want of memory is reported as std::bad_alloc.
template <class Result, class MakeWorkspace, class Produce, class Consume>
void OrderedRun(int64_t count, unsigned threads, int64_t window, MakeWorkspace makeWorkspace,
                Produce produce, Consume consume) {
  if (threads <= 1 || count <= 1) {
    auto ws = makeWorkspace();
    Result slot;
    for (int64_t t = 0; t < count; ++t) {
      produce(t, ws, slot);
      consume(t, slot);
    }
    return;
  }
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Result> slots(static_cast<size_t>(window));
  std::vector<char> ready(static_cast<size_t>(window), 0);
  int64_t nextTask = 0;
  int64_t nextConsume = 0;
  bool consuming = false;
  bool go = false;  // set once every worker has started
  bool stop = false;
  std::exception_ptr failure;

  auto fail = [&](std::exception_ptr e) {
    std::lock_guard lock(mutex);
    if (!failure) failure = e;
    stop = true;
    changed.notify_all();
  };

  auto worker = [&] {
    try {
      {
        // No output before the whole pool runs: a pool that cannot be
        // started must leave nothing half-written.
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return go || stop; });
        if (stop) return;
      }
      auto ws = makeWorkspace();
      for (;;) {
        int64_t t;
        {
          std::unique_lock lock(mutex);
          changed.wait(lock, [&] { return stop || nextTask >= count || nextTask < nextConsume + window; });
          if (stop || nextTask >= count) return;
          t = nextTask++;
        }
        const auto at = static_cast<size_t>(t % window);
        produce(t, ws, slots[at]);
        std::unique_lock lock(mutex);
        ready[at] = 1;
        // Whoever finds the next result ready consumes it, and any that follow.
        while (!consuming && !stop) {
          const auto next = static_cast<size_t>(nextConsume % window);
          if (ready[next] == 0) break;
          ready[next] = 0;
          consuming = true;
          lock.unlock();
          consume(nextConsume, slots[next]);
          lock.lock();
          consuming = false;
          nextConsume += 1;
          changed.notify_all();
        }
      }
    } catch (...) {
      fail(std::current_exception());
    }
  };

  std::vector<std::thread> pool;
  pool.reserve(threads);  // growing the vector mid-start could throw past running workers
  try {
    for (unsigned i = 0; i < threads; ++i) pool.emplace_back(worker);
    std::lock_guard lock(mutex);
    go = true;
    changed.notify_all();
  } catch (const std::system_error&) {
    fail(std::make_exception_ptr(std::bad_alloc()));
  }
  for (auto& th : pool) th.join();
  if (failure) std::rethrow_exception(failure);
}
