#include "paths/OrderedRun.h"

#include <algorithm>
#include <cassert>

void OrderedRunCore::Arrive(bool ready) {
  std::lock_guard lock(mutex_);
  helpersArrived_ += 1;
  if (ready) producers_ += 1;
  changed_.notify_all();
}

bool OrderedRunCore::AwaitStart() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return started_ || stop_; });
  return !stop_;
}

void OrderedRunCore::AwaitArrivals(int helpers) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return helpersArrived_ == helpers; });
}

void OrderedRunCore::Start(int64_t slots) {
  std::lock_guard lock(mutex_);
  assert(slots > 0);
  slots_ = slots;
  slotTask_.assign(static_cast<size_t>(slots), -1);
  slotLanes_.assign(static_cast<size_t>(slots), 0);
  started_ = true;
  changed_.notify_all();
}

// Lanes are tried from a moving start, so that no lane waits behind the
// others when several are ready.
bool OrderedRunCore::FoldableLane(int32_t& lane) const {
  for (int32_t i = 0; i < lanes_; ++i) {
    const int32_t l = (laneCursor_ + i) % lanes_;
    const int64_t t = laneNext_[static_cast<size_t>(l)];
    if (laneBusy_[static_cast<size_t>(l)] != 0 || t >= count_) continue;
    if (pause_ >= 0 && t >= pause_) continue;
    if (slotTask_[SlotOf(t)] != t) continue;
    lane = l;
    return true;
  }
  return false;
}

bool OrderedRunCore::SnapshotDue() const {
  if (pause_ < 0 || snapshotting_) return false;
  for (int32_t l = 0; l < lanes_; ++l) {
    if (laneBusy_[static_cast<size_t>(l)] != 0 || laneNext_[static_cast<size_t>(l)] != pause_) {
      return false;
    }
  }
  return true;
}

bool OrderedRunCore::ProduceReady() const {
  return !handedBack_.empty() || (nextTask_ < count_ && nextTask_ < foldedAll_ + slots_);
}

// Every producer waits for its turn behind a task handed back, which none
// of them can take, and the calling thread, having a workspace, is one of
// them: the run cannot go on.
bool OrderedRunCore::Stuck() const {
  return !handedBack_.empty() && !callerOut_ && !waiting_.empty() &&
         producers_ == static_cast<int>(waiting_.size()) && handedBack_.front() < *waiting_.begin();
}

OrderedRunCore::Job OrderedRunCore::Next(int64_t waitingFor, bool canProduce) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stop_) return {Job::kDone, 0, 0};
    if (waitingFor >= 0 && foldedAll_ == waitingFor) return {Job::kTurn, waitingFor, 0};
    // Folding first keeps the results in flight, and so the memory, low.
    int32_t lane = 0;
    if (FoldableLane(lane)) {
      laneBusy_[static_cast<size_t>(lane)] = 1;
      laneCursor_ = (lane + 1) % lanes_;
      return {Job::kFold, laneNext_[static_cast<size_t>(lane)], lane};
    }
    if (SnapshotDue()) {
      snapshotting_ = true;
      return {Job::kSnapshot, pause_, 0};
    }
    if (waitingFor >= 0 && Stuck()) {
      if (!failure_) failure_ = std::make_exception_ptr(std::bad_alloc());
      stop_ = true;
      changed_.notify_all();
      return {Job::kDone, 0, 0};
    }
    if (waitingFor < 0) {
      if (ProduceReady() && canProduce) {
        if (handedBack_.empty()) return {Job::kProduce, nextTask_++, 0};
        const int64_t task = handedBack_.front();
        handedBack_.erase(handedBack_.begin());
        return {Job::kProduce, task, 0};
      }
      if (ProduceReady() && producers_ == static_cast<int>(waiting_.size())) {
        return {Job::kRebuild, 0, 0};
      }
      if (foldedAll_ == count_) return {Job::kDone, 0, 0};
    }
    changed_.wait(lock);
  }
}

bool OrderedRunCore::HandBack(int64_t task, bool caller) {
  std::lock_guard lock(mutex_);
  handedBack_.insert(std::upper_bound(handedBack_.begin(), handedBack_.end(), task), task);
  producers_ -= 1;
  if (caller) callerOut_ = true;
  changed_.notify_all();
  return producers_ > static_cast<int>(waiting_.size());
}

void OrderedRunCore::Rejoin(bool caller) {
  std::lock_guard lock(mutex_);
  producers_ += 1;
  if (caller) callerOut_ = false;
  changed_.notify_all();
}

void OrderedRunCore::WaitingForTurn(int64_t task, int change) {
  std::lock_guard lock(mutex_);
  if (change > 0) {
    waiting_.insert(task);
  } else {
    waiting_.erase(waiting_.find(task));
  }
  changed_.notify_all();
}

void OrderedRunCore::Finish(const Job& job) {
  std::lock_guard lock(mutex_);
  if (job.kind == Job::kProduce) {
    slotTask_[SlotOf(job.task)] = job.task;
    slotLanes_[SlotOf(job.task)] = lanes_;
  } else if (job.kind == Job::kSnapshot) {
    snapshotting_ = false;
    persisting_ = true;
    pause_ = -1;
  } else if (job.kind == Job::kFold) {
    const auto l = static_cast<size_t>(job.lane);
    laneBusy_[l] = 0;
    laneNext_[l] += 1;
    if (--slotLanes_[SlotOf(job.task)] == 0) slotTask_[SlotOf(job.task)] = -1;
    const int64_t folded = *std::min_element(laneNext_.begin(), laneNext_.end());
    if (folded > foldedAll_) {
      foldedAll_ = folded;
      if (watcher_ != nullptr && watcher_->Folded(folded)) {
        // A pending snapshot answers the ask (its boundary is past n); one
        // asked for while another is persisted is taken after it.
        if (persisting_) {
          askedMeanwhile_ = true;
        } else if (pause_ < 0) {
          PauseLanes();
        }
      }
    }
  }
  changed_.notify_all();
}

// No lane may have passed the boundary: it lies at the furthest lane,
// counting the folds under way.
void OrderedRunCore::PauseLanes() {
  pause_ = 0;
  for (size_t k = 0; k < laneNext_.size(); ++k) {
    pause_ = std::max(pause_, laneNext_[k] + laneBusy_[k]);
  }
}

void OrderedRunCore::Persist() {
  watcher_->Persist();
  std::lock_guard lock(mutex_);
  persisting_ = false;
  if (askedMeanwhile_) {
    askedMeanwhile_ = false;
    PauseLanes();
    changed_.notify_all();
  }
}

void OrderedRunCore::Fail(std::exception_ptr failure) {
  std::lock_guard lock(mutex_);
  if (!failure_) failure_ = std::move(failure);
  stop_ = true;
  changed_.notify_all();
}

void OrderedRunCore::RethrowFailure() {
  std::lock_guard lock(mutex_);
  if (failure_) std::rethrow_exception(failure_);
}
