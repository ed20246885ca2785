#include "cluster/BlockWorkers.h"

BlockWorkers::BlockWorkers(const FastGraph& fast, unsigned threads, int32_t heapLimit,
                           int32_t shift, const ClusterBlocks& blocks,
                           const std::vector<int64_t>& mine,
                           std::vector<std::vector<Contributions>>& buffers)
    : fast_(fast), shift_(shift), blocks_(blocks), mine_(mine), buffers_(buffers),
      left_(mine.size()) {
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
  for (FastWorkspace& ws : workspaces_) {
    try {
      threads_.emplace_back([this, &ws] { Work(ws); });
    } catch (const std::system_error&) {
      if (threads_.empty()) throw std::bad_alloc();
      break;
    }
  }
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
  for (;;) {
    changed_.wait(lock, [&] { return quit_ || block_ < limit_; });
    if (quit_) return;
    // Invariant: next_ is the first source of mine[block_] not yet taken.
    const size_t j = block_;
    const int64_t begin = blocks_.Begin(mine_[j]);
    const int64_t s = next_++;
    if (next_ == blocks_.End(mine_[j]) && ++block_ < mine_.size()) {
      next_ = blocks_.Begin(mine_[block_]);
    }
    Contributions& out = buffers_[j % buffers_.size()][static_cast<size_t>(s - begin)];
    lock.unlock();
    try {
      ScoreTasks_Clear(out);
      ScoreTasks_AddSources(fast_, s, s + 1, ws, shift_, out);
    } catch (...) {
      lock.lock();
      if (!failure_) failure_ = std::current_exception();
      left_[j] -= 1;
      finished_.notify_one();
      continue;
    }
    lock.lock();
    if (--left_[j] == 0) finished_.notify_one();
  }
}
