#include "cluster/RingState.h"

#include <cstring>

#include "cluster/Cluster.h"

RingState::RingState(const RunOptions& run, const Reporting& reporting,
                     const CheckpointIdentity& identity, int64_t total,
                     const std::vector<double>& start, int64_t sourcesDone, int ranks,
                     CheckpointLock* lock)
    : run_(run), reporting_(reporting), identity_(identity), total_(total), ranks_(ranks),
      lock_(lock), schedule_(run, identity, total),
      complete_(schedule_.Saving() ? start : std::vector<double>()),
      building_(complete_.size()), completeDone_(sourcesDone) {}

void RingState::Arrived(const double* data, int64_t begin, int64_t size) {
  if (!schedule_.Saving()) return;
  std::memcpy(building_.data() + begin, data, static_cast<size_t>(size) * sizeof(double));
}

void RingState::RoundComplete(int64_t sourcesDone) {
  if (run_.progress) run_.progress(sourcesDone, total_);
  if (!schedule_.Saving()) return;
  complete_.swap(building_);
  completeDone_ = sourcesDone;
  // A stop is StopIfAsked's to act on, which ends the job.
  if (schedule_.SaveDue() && !schedule_.StopAsked()) schedule_.Save(completeDone_, complete_);
}

bool RingState::StopIfAsked() {
  if (!schedule_.StopAsked()) return false;
  Reporting reporting = reporting_;
  const int status = Program_Guard(identity_.program, reporting, [&] {
    try {
      schedule_.StopIfAsked(completeDone_, complete_);
    } catch (const pathsuite::Cancelled&) {
      reporting.ended = Cluster_RanksNotHeard(ranks_);  // the state is safe first
      throw;
    }
  });
  if (lock_ != nullptr) lock_->Release();
  Cluster_Abort(status);
}
