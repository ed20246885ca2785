// How a run is asked for: the length of an edge, and the run's threads,
// progress, cancellation and checkpoint.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pathsuite {

// The length of an edge of weight w: Inverse 1/(1+w), so that a heavier
// edge is shorter (the programs' rule); Weight w itself; Unit 1, so that
// distances count edges.
enum class Length { Inverse, Weight, Unit };

// Where a betweenness run saves its state, and how often. A run given a
// checkpoint that exists resumes from it, after checking that it was made
// for the same graph and length; it saves every everySeconds and when it is
// cancelled. One run at a time: a run locks path.lock, beside path, while
// it lasts.
struct CheckpointOptions {
  std::string path;
  double everySeconds = 300;
};

struct RunOptions {
  // Threads searching at once; 0: every CPU this process may use (its
  // affinity mask, capped by its cgroup's CPU quota). The results are the
  // same bits for any count.
  unsigned threads = 0;
  // Told (done, total) sources as the run goes: first when it starts (done
  // > 0 for a resumed run), then as sources are folded, from one thread at
  // a time, in order. It must not throw.
  std::function<void(int64_t done, int64_t total)> progress;
  // Set it (from any thread, or a signal handler) to stop the run soon:
  // the run then throws Cancelled, its checkpoint, if any, holding the
  // last state folded.
  const std::atomic<bool>* cancel = nullptr;
  std::optional<CheckpointOptions> checkpoint;  // betweenness only
};

}  // namespace pathsuite
