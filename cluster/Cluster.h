// The cluster front end, pathsuite-mpi: the runner's command line on every
// rank of an MPI job. The first rank reads and checks the input and sends
// the compressed graph to the others; the ranks take the sources in blocks,
// and every score is folded in ascending source order, so the output is the
// same bytes for any number of ranks and threads.
#pragma once

#include <mpi.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyst/AnalystOptions.h"
#include "cli/Listing.h"
#include "graph/NameList.h"
#include "library/CheckpointLock.h"
#include "library/DriverSteps.h"
#include "library/ScoreRun.h"
#include "paths/FastGraph.h"
#include "runner/Runner.h"

// Message tags, one a kind of message, so that no kind can match another's
// receives.
enum ClusterTag : int {
  kRingTag = 1,  // a segment of the running scores, to the next rank
  kFinalTag,     // a segment of the final scores, to the first rank
  kRowsTag,      // distance lines, to the first rank
  kStopTag,      // a rank heard a stop signal, to the first rank (no content)
};

// This process's place in the job.
struct ClusterRank {
  int rank = 0;
  int size = 1;
  int local = 1;  // ranks on this machine, this one included
  // Started by a launcher (mpirun): standard output is then the launcher's
  // pipe, whose writes succeed before the bytes reach their file.
  bool launched = false;
  bool first() const { return rank == 0; }
};

// The options the cluster adds to the runner's: sources a rank takes at a
// time, and nodes of a score segment (a power of two). Unset, worked out
// from the first rank's threads.
class ClusterOptions final : public RunnerExtras {
 public:
  std::optional<int64_t> block;
  std::optional<int64_t> segment;

  std::vector<std::string> Names() const override { return {"--block", "--segment"}; }
  void Set(const std::string& name, const std::string& value) override;
  std::string Usage() const override { return "[--block SOURCES] [--segment NODES]"; }
  std::string Help() const override;
};

// Sends bytes from the first rank to all, in pieces that fit MPI's int count.
void Cluster_BroadcastBytes(void* data, size_t bytes);

template <class T>
void Cluster_Broadcast(T& value) {
  Cluster_BroadcastBytes(&value, sizeof value);
}

template <class T>
void Cluster_Broadcast(std::vector<T>& values) {
  uint64_t count = values.size();
  Cluster_Broadcast(count);
  values.resize(static_cast<size_t>(count));
  Cluster_BroadcastBytes(values.data(), values.size() * sizeof(T));
}

// The names and the compressed graph, from the first rank to all.
void Cluster_BroadcastGraph(NameList& names, FastGraph& fast);

// Ends the whole job at once with status: a rank that fails mid-run cannot
// leave the others waiting for it. A job of one rank ends as the programs
// do, with no word from MPI.
[[noreturn]] void Cluster_Abort(int status);

// Waits for a request, sleeping between tests so that a rank's waiting
// thread leaves its CPUs to the searches; stop() is asked in between and
// ends the wait early when it returns true. Returns whether the request
// completed.
template <class Stop>
bool Cluster_Wait(MPI_Request& request, Stop&& stop);

// How the sources are dealt: blocks of `block` consecutive sources, block b
// to rank b mod size. Every rank must hold the same value: the first rank's.
struct ClusterBlocks {
  int64_t first = 0;  // the first source of the run
  int64_t end = 0;    // one past the last
  int64_t block = 1;
  // The source at each position, as ScoreSources::list; empty: position s
  // is source s. first and end are positions.
  std::span<const int32_t> order = {};
  int64_t Count() const { return (end - first + block - 1) / block; }
  int64_t Begin(int64_t b) const { return first + b * block; }
  int64_t End(int64_t b) const { return std::min(end, Begin(b) + block); }
};

// Score blocks a rank holds at once: the one being folded and those
// searched ahead of it.
constexpr size_t kScoreBuffers = 4;

// The block size: what options say, or a few tasks per thread, within a
// memory bound of bytesPerSource per source for score blocks. Collective:
// every rank gets the first rank's, whatever its own threads and options.
int64_t Cluster_BlockSize(const ClusterOptions& options, unsigned threads, int64_t bytesPerSource);

// What the first rank alone holds for a betweenness run: what its
// checkpoint must agree with, and the checkpoint's lock, if any.
struct FirstRankScores {
  const CheckpointIdentity& identity;
  CheckpointLock* lock;
};

// The betweenness run on every rank: the first one, which alone has input
// (the others pass nullptr and get the names only), gets the final scores;
// the others an empty vector. sources: which are folded, by position, up
// to where, and whether their squares travel too (see ScoreSources); the
// same on every rank.
std::vector<double> ClusterScores_Run(const ClusterRank& self, const ClusterOptions& cluster,
                                      const RunOptions& run, const Reporting& reporting,
                                      const FirstRankScores* first, ScoreStart start,
                                      const FastGraph& fast, const ScoreSources& sources = {});

// The distance run on every rank: the rows, in order, from the first one,
// into its listing (the others pass nullptr); in the programs' style, or
// in that of distances' options.
void ClusterRows_Run(const ClusterRank& self, const ClusterOptions& cluster, const RunOptions& run,
                     ListingOutput* listing, const NameList& names, const FastGraph& fast,
                     SourceRange range, const AnalystOptions* style = nullptr);

// A rank other than the first, having heard a stop signal, says so to the
// first, once: mpirun sends SIGTERM to every rank both when it is asked to
// stop and when a rank has ended, and only the ranks that heard it are
// still there.
void Cluster_TellStopHeard();

// On the first rank, once a stop signal came: the ranks that have not said
// they heard it within a few tenths of a second, as a message names them
// ("rank 2", "ranks 1 and 3"); empty when every rank did.
std::string Cluster_RanksNotHeard(int size);

// The whole of pathsuite-mpi on one rank; returns its exit status.
int Cluster_Main(int argc, char** argv);

// --- implementation of the template ---

void Cluster_Nap();

template <class Stop>
bool Cluster_Wait(MPI_Request& request, Stop&& stop) {
  for (;;) {
    int done = 0;
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    if (done != 0) return true;
    if (stop()) return false;
    Cluster_Nap();
  }
}
