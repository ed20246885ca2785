// The first rank's view of a ring run's state, for the meter and for
// checkpoints: the scores after the last block whose every segment came
// around complete, and those of the round coming in.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/Program.h"
#include "library/CheckpointLock.h"
#include "library/CheckpointSchedule.h"

class RingState {
 public:
  // A run of `total` sources on `ranks` ranks that starts after
  // sourcesDone, with the scores start; reporting words a stop; lock, if
  // any, is let go before the job ends.
  RingState(const RunOptions& run, const Reporting& reporting, const CheckpointIdentity& identity,
            int64_t total, const std::vector<double>& start, int64_t sourcesDone, int ranks,
            CheckpointLock* lock);

  // Segment [begin, begin+size) of the state of the round coming in.
  void Arrived(const double* data, int64_t begin, int64_t size);

  // Every segment of the state after sourcesDone sources has come in: the
  // meter moves, and the state is saved when a save is due.
  void RoundComplete(int64_t sourcesDone);

  // On a stop signal: saves the last complete state and ends the job at
  // once, the others ranks with it (mpirun kills the ranks a second after
  // it passes the signal on, so nothing may wait for a search to end). The
  // message names the ranks that did not say they heard the signal: their
  // end, not a stop asked, made mpirun send it. Returns false when no stop
  // was asked.
  bool StopIfAsked();

 private:
  const RunOptions& run_;
  const Reporting& reporting_;
  const CheckpointIdentity& identity_;
  const int64_t total_;
  const int ranks_;
  CheckpointLock* const lock_;
  CheckpointSchedule schedule_;
  std::vector<double> complete_;
  std::vector<double> building_;
  int64_t completeDone_;
};
