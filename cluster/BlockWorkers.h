// A rank's thread pool for the betweenness ring: the threads search the
// rank's blocks of sources in order, each into the result buffer it shares
// with every kScoreBuffers-th block, while the rank's main thread passes the
// scores around the ring. Up to kScoreBuffers blocks are searched or
// waiting for their fold at once: that slack lets the searches run on while
// the scores are held up at other ranks, whose searches take longer now and
// then, instead of stalling each rank on the slowest.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "cluster/Cluster.h"
#include "library/ScoreTasks.h"
#include "paths/FastWorkspace.h"

class BlockWorkers {
 public:
  // Starts up to `threads` threads, one a workspace that fits; at least one
  // must, or it throws std::bad_alloc. A thread whose search runs out of
  // memory hands its source back to the others and retires; the last one
  // builds its workspace again and retries, and only when that fails does
  // WaitDone rethrow std::bad_alloc.
  BlockWorkers(const FastGraph& fast, unsigned threads, int32_t heapLimit, int32_t shift,
               const ClusterBlocks& blocks, const std::vector<int64_t>& mine,
               std::vector<std::vector<Contributions>>& buffers);
  ~BlockWorkers();
  BlockWorkers(const BlockWorkers&) = delete;
  BlockWorkers& operator=(const BlockWorkers&) = delete;

  // Waits until block mine[j] is searched into buffers[j % kScoreBuffers];
  // rethrows a worker's failure. Meanwhile calls idle(), which returns
  // whether messages are on their way: then again within 50 microseconds,
  // to move them on, or else every 10 milliseconds, to notice a stop.
  // Asleep, not polling: ranks that share a machine's cores would lose
  // their searches' time and caches to a thread that wakes many thousands
  // of times a second.
  template <class Idle>
  void WaitDone(size_t j, Idle&& idle) {
    std::unique_lock lock(mutex_);
    bool moving = true;
    for (;;) {
      if (failure_) std::rethrow_exception(failure_);
      if (left_[j] == 0) return;
      const auto nap = moving ? std::chrono::microseconds(50) : std::chrono::microseconds(10000);
      if (finished_.wait_for(lock, nap) == std::cv_status::timeout) {
        lock.unlock();
        moving = idle();
        lock.lock();
      }
    }
  }

  // Block mine[j] is folded: its buffer may take the block kScoreBuffers on.
  void Release(size_t j);

 private:
  void Work(FastWorkspace& ws);

  const FastGraph& fast_;
  const int32_t heapLimit_;
  const int32_t shift_;
  const ClusterBlocks blocks_;
  const std::vector<int64_t>& mine_;
  std::vector<std::vector<Contributions>>& buffers_;
  std::vector<FastWorkspace> workspaces_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;   // a buffer freed, or quit
  std::condition_variable finished_;  // a block done, or a failure
  bool quit_ = false;
  size_t block_ = 0;  // the block the next source comes from
  size_t limit_ = 0;  // blocks before this one may be searched
  int64_t next_ = 0;
  std::vector<int64_t> left_;  // sources of each block not yet searched
  std::vector<std::pair<size_t, int64_t>> handedBack_;  // (j, source) to search again
  size_t working_ = 0;         // threads not retired
  std::exception_ptr failure_;
};

