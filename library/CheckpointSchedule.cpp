#include "library/CheckpointSchedule.h"

#include <new>

#include "graph/RunError.h"

CheckpointSchedule::CheckpointSchedule(const pathsuite::RunOptions& options,
                                       const CheckpointIdentity& identity, int64_t sources)
    : options_(options),
      identity_(identity),
      sources_(sources < 0 ? identity.nodeCount : sources),
      nextSave_(NextSave()) {}

CheckpointSchedule::Clock::time_point CheckpointSchedule::NextSave() const {
  const double seconds = Saving() ? options_.checkpoint->everySeconds : 0;
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void CheckpointSchedule::Save(int64_t sourcesDone, std::span<const double> scores) {
  try {
    Checkpoint_Write(options_.checkpoint->path, identity_, sourcesDone, scores);
  } catch (const std::bad_alloc&) {
    // Memory ran short as the searches grew: their threads hand their work
    // back and retire, freeing it, so a periodic save is tried again at
    // the next task; the checkpoint keeps the last state saved. A stop
    // cannot wait.
    if (StopAsked()) throw;
    return;
  }
  nextSave_ = NextSave();
  if (StopAsked()) throw pathsuite::Cancelled(sourcesDone, sources_, true);
}

void CheckpointSchedule::StopIfAsked(int64_t sourcesDone, std::span<const double> scores) {
  if (!StopAsked()) return;
  if (Saving()) Save(sourcesDone, scores);
  throw pathsuite::Cancelled(sourcesDone, sources_, false);
}
