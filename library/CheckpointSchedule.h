// When a betweenness run saves its state and how it stops when asked to:
// one schedule for the runner's threads and for the cluster's first rank.
// A run asked to stop saves the state it has folded, if it has a
// checkpoint, and then ends with pathsuite::Cancelled.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

#include "library/Checkpoint.h"
#include "pathsuite/run.h"

class CheckpointSchedule {
 public:
  // The schedule of a run with options (checkpoint and cancel flag, either
  // unset) of `sources` sources, identity.nodeCount when negative (a sampled
  // run folds fewer).
  CheckpointSchedule(const pathsuite::RunOptions& options, const CheckpointIdentity& identity,
                     int64_t sources = -1);

  bool Saving() const { return options_.checkpoint.has_value(); }
  bool StopAsked() const { return options_.cancel != nullptr && options_.cancel->load(); }
  // Whether to take a snapshot now: a save is due by the clock, or a stop
  // is asked. Never without a checkpoint.
  bool SaveDue() const { return Saving() && (StopAsked() || Clock::now() >= nextSave_); }

  // Saves the state after sourcesDone sources (the clock starts over),
  // then throws Cancelled if a stop is asked. Throws RunError when the
  // checkpoint cannot be written. Short of memory, a save not for a stop is
  // left for the next SaveDue, which is then at once; one for a stop throws
  // std::bad_alloc.
  void Save(int64_t sourcesDone, std::span<const double> scores);

  // Throws Cancelled when a stop is asked: after saving the state given,
  // with a checkpoint, or with nothing saved.
  void StopIfAsked(int64_t sourcesDone, std::span<const double> scores);

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point NextSave() const;

  const pathsuite::RunOptions& options_;
  const CheckpointIdentity& identity_;
  const int64_t sources_;
  Clock::time_point nextSave_;
};
