#include "cluster/BlockWorkers.h"

BlockWorkers::BlockWorkers(const FastGraph& fast, unsigned threads, int32_t heapLimit,
                           int32_t shift, const ClusterBlocks& blocks,
                           const std::vector<int64_t>& mine,
                           std::vector<std::vector<Contributions>>& buffers)
    : fast_(fast), heapLimit_(heapLimit), shift_(shift), blocks_(blocks), mine_(mine),
      buffers_(buffers), left_(mine.size()) {
  for (size_t j = 0; j < mine.size(); ++j) {
    left_[j] = blocks.End(mine[j]) - blocks.Begin(mine[j]);
  }
  limit_ = std::min(mine.size(), buffers.size());
  if (!mine.empty()) next_ = blocks.Begin(mine[0]);
  // A workspace that does not fit leaves the blocks to fewer threads.
  for (unsigned i = 0; i < threads; ++i) {
    try {
      FastWorkspace ws;
      FastWorkspace_Init(ws, fast);
      ws.heapLimit = heapLimit;
      workspaces_.push_back(std::move(ws));
    } catch (const std::bad_alloc&) {
      if (workspaces_.empty()) throw;
      break;
    }
  }
  std::lock_guard lock(mutex_);  // the threads wait for the count
  for (FastWorkspace& ws : workspaces_) {
    try {
      threads_.emplace_back([this, &ws] { Work(ws); });
    } catch (const std::system_error&) {
      if (threads_.empty()) throw std::bad_alloc();
      break;
    }
  }
  working_ = threads_.size();
}

BlockWorkers::~BlockWorkers() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void BlockWorkers::Release(size_t j) {
  {
    std::lock_guard lock(mutex_);
    limit_ = std::min(mine_.size(), j + 1 + buffers_.size());
  }
  changed_.notify_all();
}

void BlockWorkers::Work(FastWorkspace& ws) {
  std::unique_lock lock(mutex_);
  bool retried = false;  // built again after running short, with no source searched since
  for (;;) {
    changed_.wait(lock, [&] { return quit_ || !handedBack_.empty() || block_ < limit_; });
    if (quit_) return;
    size_t j = 0;
    int64_t s = 0;
    if (!handedBack_.empty()) {
      std::tie(j, s) = handedBack_.back();
      handedBack_.pop_back();
    } else {
      // Invariant: next_ is the first source of mine[block_] not yet taken.
      j = block_;
      s = next_++;
      if (next_ == blocks_.End(mine_[j]) && ++block_ < mine_.size()) {
        next_ = blocks_.Begin(mine_[block_]);
      }
    }
    const int64_t begin = blocks_.Begin(mine_[j]);
    Contributions& out = buffers_[j % buffers_.size()][static_cast<size_t>(s - begin)];
    lock.unlock();
    std::exception_ptr failure;
    bool shortOfMemory = false;
    try {
      ScoreTasks_Clear(out);
      ScoreTasks_AddSources(fast_, s, s + 1, ws, shift_, out, blocks_.order);
    } catch (const std::bad_alloc&) {
      shortOfMemory = !retried;
      if (retried) failure = std::current_exception();
    } catch (...) {
      failure = std::current_exception();
    }
    if (shortOfMemory) {
      // A search cut short leaves the workspace unfit, and its memory is
      // wanted: the source goes to another thread, or, from the last one,
      // to a workspace built again.
      ws = FastWorkspace{};
      lock.lock();
      handedBack_.emplace_back(j, s);
      changed_.notify_all();
      if (--working_ > 0) return;
      lock.unlock();
      try {
        FastWorkspace_Init(ws, fast_);
        ws.heapLimit = heapLimit_;
      } catch (const std::bad_alloc&) {
        failure = std::current_exception();
      }
      lock.lock();
      working_ += 1;
      retried = true;
      if (!failure) continue;
      handedBack_.pop_back();  // no one is left to search it
    } else {
      lock.lock();
    }
    if (failure) {
      if (!failure_) failure_ = failure;
      left_[j] -= 1;
      finished_.notify_one();
      continue;
    }
    retried = false;
    if (--left_[j] == 0) finished_.notify_one();
  }
}
