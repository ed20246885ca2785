// Betweenness on several ranks. Each rank searches its blocks of sources on
// its threads, up to three blocks ahead, and keeps each block's
// dependencies split by node segment. The running scores travel from rank
// to rank in source order, cut into segments that follow one another around
// the ring: a rank receives segment i after the blocks before its own, folds
// its block into it source by source, and passes it on, so that every score
// sees its additions in ascending source order, as a single process adds
// them. The first rank keeps the last complete state for checkpoints.
#include <optional>

#include "cluster/BlockWorkers.h"
#include "cluster/Cluster.h"
#include "cluster/RingState.h"
#include "cluster/Segments.h"
#include "library/ScoreTasks.h"
#include "paths/FastWorkspace.h"

std::vector<double> ClusterScores_Run(const ClusterRank& self, const ClusterOptions& cluster,
                                      const RunOptions& run, const Reporting& reporting,
                                      const FirstRankScores* first, ScoreStart start,
                                      const FastGraph& fast, const ScoreSources& sources) {
  const int64_t sourcesDone = start.sourcesDone;
  std::vector<double>& scores = start.scores;
  const int32_t n = fast.nodeCount;
  const int P = self.size;
  const int r = self.rank;
  const unsigned threads = run.threads;
  // Ranks may differ in options (an MPMD job); the first rank's segments
  // hold for all, or they would pass other slices of the scores.
  Segments seg = SegmentsFor(cluster, n, P);
  Cluster_Broadcast(seg);
  const int64_t total =
      sources.list.empty() ? n : static_cast<int64_t>(sources.list.size());
  const int64_t end = sources.end < 0 ? total : sources.end;
  const ClusterBlocks blocks{sourcesDone, end,
                             Cluster_BlockSize(cluster, threads, ScoreTasks_BytesPerSource(n)),
                             sources.list};
  const int64_t count = blocks.Count();
  // The state travels as units: the segments of the sums and, with
  // squares, then those of the squares, which lie n values on.
  const int32_t parts = sources.squares ? 2 : 1;
  const int32_t units = seg.count * parts;
  auto segmentOf = [&](int32_t u) { return u % seg.count; };
  auto beginOf = [&](int32_t u) { return int64_t{u / seg.count} * n + seg.Begin(segmentOf(u)); };
  auto sizeOf = [&](int32_t u) { return static_cast<int>(seg.Size(segmentOf(u))); };
  scores.resize(static_cast<size_t>(n) * parts, 0.0);  // the other ranks' segment storage
  const std::span<double> squares =
      std::span<double>(scores).subspan(sources.squares ? static_cast<size_t>(n) : scores.size());

  std::optional<RingState> state;
  if (self.first()) {
    state.emplace(run, reporting, first->identity, total, scores, sourcesDone, P, first->lock);
  }
  if (self.first() && run.progress) run.progress(sourcesDone, total);
  // A stop signal is the first rank's to act on; the others say they heard
  // it (see Cluster_TellStopHeard).
  bool told = false;
  auto stop = [&] {
    if (state) return state->StopIfAsked();
    if (!told && RunnerSetup::StopSignal() != 0) {
      Cluster_TellStopHeard();
      told = true;
    }
    return false;
  };
  auto wait = [&](MPI_Request& request) { Cluster_Wait(request, stop); };

  std::vector<int64_t> mine;
  for (int64_t b = r; b < count; b += P) mine.push_back(b);
  std::vector<MPI_Request> sends(static_cast<size_t>(units), MPI_REQUEST_NULL);
  if (!mine.empty()) {
    // Room for the largest block dealt, which a --block above the sources
    // left exceeds.
    const int64_t size = std::min(blocks.block, blocks.end - blocks.first);
    std::vector<std::vector<Contributions>> results(
        std::min<size_t>(mine.size(), kScoreBuffers));
    for (auto& buffer : results) {
      for (int64_t k = 0; k < size; ++k) buffer.push_back(ScoreTasks_NewResult(seg.count, seg.shift, n, 1));
    }
    BlockWorkers workers(fast, threads, kDefaultHeapLimit, seg.shift, blocks, mine, results);
    const int prev = (r + P - 1) % P;
    const int next = (r + 1) % P;
    // The coming block's receives are posted while its searches run, in
    // segment order (the messages of a segment arrive in the order sent),
    // each once its buffer's last send has left: a large message moves only
    // while both ends call into MPI, so they must not wait for the fold.
    std::vector<MPI_Request> recvs(static_cast<size_t>(units), MPI_REQUEST_NULL);
    int32_t posted = 0;  // the coming block's units received into so far
    auto Receives = [&](size_t j) { return mine[j] > 0 && prev != r; };
    auto Post = [&](int32_t i) {
      MPI_Irecv(scores.data() + beginOf(i), sizeOf(i), MPI_DOUBLE, prev, kRingTag, MPI_COMM_WORLD,
                &recvs[static_cast<size_t>(i)]);
      posted = i + 1;
    };
    // Posts what it can and returns whether a send or receive is unfinished.
    auto PostAndTest = [&](size_t j) {
      bool moving = false;
      for (int32_t i = 0; i < units; ++i) {
        int done = 0;
        MPI_Test(&sends[static_cast<size_t>(i)], &done, MPI_STATUS_IGNORE);
        if (done == 0) moving = true;
        if (Receives(j) && posted == i && done != 0) Post(i);
        if (i < posted) {
          MPI_Test(&recvs[static_cast<size_t>(i)], &done, MPI_STATUS_IGNORE);
          if (done == 0) moving = true;
        }
      }
      return moving;
    };
    for (size_t j = 0; j < mine.size(); ++j) {
      const int64_t b = mine[j];
      workers.WaitDone(j, [&] {
        stop();
        return PostAndTest(j);
      });
      const std::vector<Contributions>& block = results[j % results.size()];
      const int64_t folded = blocks.End(b) - blocks.Begin(b);
      const bool last = b == count - 1;
      const int dest = last ? 0 : next;
      for (int32_t i = 0; i < units; ++i) {
        double* data = scores.data() + beginOf(i);
        const int size32 = sizeOf(i);
        wait(sends[static_cast<size_t>(i)]);  // the segment's last trip has left
        if (Receives(j)) {
          if (posted == i) Post(i);
          wait(recvs[static_cast<size_t>(i)]);
        }
        if (state) state->Arrived(data, beginOf(i), size32);
        const auto lane = static_cast<size_t>(segmentOf(i));
        for (int64_t k = 0; k < folded; ++k) {
          const LaneValues& values = block[static_cast<size_t>(k)][lane];
          if (i < seg.count) {
            ScoreTasks_Fold(values, scores);
          } else {
            ScoreTasks_FoldSquares(values, squares);
          }
        }
        if (dest != r) {
          MPI_Isend(data, size32, MPI_DOUBLE, dest, last ? kFinalTag : kRingTag, MPI_COMM_WORLD,
                    &sends[static_cast<size_t>(i)]);
        }
      }
      workers.Release(j);
      posted = 0;
      if (state) state->RoundComplete(blocks.Begin(b));
    }
  }
  for (MPI_Request& request : sends) wait(request);

  if (!self.first()) return {};
  // The last block's owner sends the final scores here.
  const int lastOwner = count > 0 ? static_cast<int>((count - 1) % P) : 0;
  if (lastOwner != 0) {
    for (int32_t i = 0; i < units; ++i) {
      MPI_Request request;
      MPI_Irecv(scores.data() + beginOf(i), sizeOf(i), MPI_DOUBLE, lastOwner, kFinalTag,
                MPI_COMM_WORLD, &request);
      wait(request);
    }
  }
  if (run.progress) run.progress(end, total);
  state->StopIfAsked();
  return std::move(scores);
}
