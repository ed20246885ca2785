// Betweenness on several ranks. Each rank searches its blocks of sources on
// its threads, up to three blocks ahead, and keeps each block's
// dependencies split by node segment. The running scores travel from rank
// to rank in source order, cut into segments that follow one another around
// the ring: a rank receives segment i after the blocks before its own, folds
// its block into it source by source, and passes it on, so that every score
// sees its additions in ascending source order, as a single process adds
// them. The first rank keeps the last complete state for checkpoints.
#include <chrono>
#include <csignal>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "cluster/Cluster.h"
#include "cli/Program.h"
#include "library/ScoreTasks.h"

namespace {

// Threads that search the rank's blocks in order, each into the result
// buffer it shares with every kScoreBuffers-th block, while the rank's main
// thread passes the scores around the ring. Up to kScoreBuffers blocks are
// searched or waiting for their fold at once: that slack lets the searches
// run on while the scores are held up at other ranks, whose searches take
// longer now and then, instead of stalling each rank on the slowest.
class BlockWorkers {
 public:
  BlockWorkers(const FastGraph& fast, unsigned threads, int32_t heapLimit, int32_t shift,
               const ClusterBlocks& blocks, const std::vector<int64_t>& mine,
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

  ~BlockWorkers() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
  }

  // Waits until block mine[j] is searched into buffers[j % kScoreBuffers];
  // rethrows a worker's failure. Meanwhile calls idle(), which returns
  // whether messages are on their way: then again within 50 microseconds,
  // to move them on, or else every 10 milliseconds, to notice a stop.
  // Asleep, not polling: ranks that share a machine's cores would lose
  // their searches' time and caches to a thread that wakes many thousands
  // of times a second.
  template <class Idle>
  void WaitDone(size_t j, Idle&& idle) {
    std::unique_lock lock(mutex_);
    bool moving = true;
    for (;;) {
      if (failure_) std::rethrow_exception(failure_);
      if (left_[j] == 0) return;
      const auto nap = moving ? std::chrono::microseconds(50) : std::chrono::microseconds(10000);
      if (finished_.wait_for(lock, nap) == std::cv_status::timeout) {
        lock.unlock();
        moving = idle();
        lock.lock();
      }
    }
  }

  // Block mine[j] is folded: its buffer may take the block kScoreBuffers on.
  void Release(size_t j) {
    {
      std::lock_guard lock(mutex_);
      limit_ = std::min(mine_.size(), j + 1 + buffers_.size());
    }
    changed_.notify_all();
  }

 private:
  void Work(FastWorkspace& ws) {
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

  const FastGraph& fast_;
  const int32_t shift_;
  const ClusterBlocks blocks_;
  const std::vector<int64_t>& mine_;
  std::vector<std::vector<Contributions>>& buffers_;
  std::vector<FastWorkspace> workspaces_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;   // a buffer freed, or quit
  std::condition_variable finished_;  // a block done, or a failure
  bool quit_ = false;
  size_t block_ = 0;  // the block the next source comes from
  size_t limit_ = 0;  // blocks before this one may be searched
  int64_t next_ = 0;
  std::vector<int64_t> left_;  // sources of each block not yet searched
  std::exception_ptr failure_;
};

struct Segments {
  int32_t shift;
  int32_t count;
  int32_t nodes;
  int64_t Begin(int32_t i) const { return int64_t{i} << shift; }
  int64_t Size(int32_t i) const { return std::min<int64_t>(nodes, Begin(i + 1)) - Begin(i); }
};

Segments SegmentsFor(const RunnerOptions& options, int32_t nodes, int ranks) {
  int64_t width = options.segment.value_or(0);
  if (width == 0) {
    // Enough segments for every rank to fold one while the others fold
    // theirs, each of at least 4096 nodes.
    width = 4096;
    while (width * 2 * ranks < nodes) width *= 2;
  }
  Segments s{std::countr_zero(static_cast<uint64_t>(width)), 0, nodes};
  s.count = static_cast<int32_t>((int64_t{std::max(nodes, 1)} + width - 1) / width);
  return s;
}

// The first rank's view of the run's state for checkpoints: the scores after
// the last block whose every segment came around complete, and those of the
// round coming in.
class RingState {
 public:
  RingState(const RunOptions& run, const ScoreInput* input, const std::vector<double>& start,
            int64_t sourcesDone)
      : run_(run), input_(input),
        complete_(run.checkpoint != nullptr ? start : std::vector<double>()),
        building_(complete_.size()),
        completeDone_(sourcesDone), nextSave_(Clock::now() + Every()) {}

  bool Watching() const { return run_.checkpoint != nullptr; }

  // Segment [begin, begin+size) of the state of the round coming in.
  void Arrived(const double* data, int64_t begin, int64_t size) {
    if (!Watching()) return;
    std::memcpy(building_.data() + begin, data, static_cast<size_t>(size) * sizeof(double));
  }

  // Every segment of the state after sourcesDone sources has come in.
  void RoundComplete(int64_t sourcesDone) {
    if (run_.progress != nullptr) run_.progress->Update(sourcesDone);
    if (!Watching()) return;
    complete_.swap(building_);
    completeDone_ = sourcesDone;
    if (Clock::now() < nextSave_) return;
    Save();
    nextSave_ = Clock::now() + Every();
  }

  // On a stop signal: saves the last complete state and ends the job.
  bool StopIfAsked() {
    if (!Watching() || run_.checkpoint->stopSignal == nullptr) return false;
    const int signal = run_.checkpoint->stopSignal->load();
    if (signal == 0) return false;
    const int status = Program_Guard(input_->identity.program, run_, nullptr, [&] {
      Save();
      throw RunError(128 + signal, std::string("stopped by ") +
                                       (signal == SIGINT ? "SIGINT" : "SIGTERM") + " after " +
                                       std::to_string(completeDone_) + " of " +
                                       std::to_string(input_->identity.nodeCount) +
                                       " sources; state saved in " + run_.checkpoint->path);
    });
    Cluster_Abort(status);
  }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::duration Every() const {
    const double seconds = Watching() ? run_.checkpoint->everySeconds : 1e9;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }
  void Save() {
    Checkpoint_Write(run_.checkpoint->path, input_->identity, completeDone_, complete_);
  }

  const RunOptions& run_;
  const ScoreInput* input_;
  std::vector<double> complete_;
  std::vector<double> building_;
  int64_t completeDone_;
  Clock::time_point nextSave_;
};

}  // namespace

void ClusterScores_Run(const ClusterRank& self, const RunnerOptions& options,
                       const RunOptions& run, ScoreInput* input, int64_t sourcesDone,
                       std::vector<double> scores, const FastGraph& fast) {
  const int32_t n = fast.nodeCount;
  const int P = self.size;
  const int r = self.rank;
  const unsigned threads = std::max(1u, run.threads);
  // Ranks may differ in options (an MPMD job); the first rank's segments
  // hold for all, or they would pass other slices of the scores.
  Segments seg = SegmentsFor(options, n, P);
  Cluster_Broadcast(seg);
  const ClusterBlocks blocks{sourcesDone, n,
                             Cluster_BlockSize(options, threads, int64_t{n} * 12 + 64)};
  const int64_t count = blocks.Count();
  scores.resize(static_cast<size_t>(n), 0.0);  // the other ranks' segment storage

  std::optional<RingState> state;
  if (self.first() && (run.checkpoint != nullptr || run.progress != nullptr)) {
    state.emplace(run, input, scores, sourcesDone);
  }
  if (self.first() && run.progress != nullptr) run.progress->Begin(n, sourcesDone);
  auto stop = [&] { return state && state->StopIfAsked(); };
  auto wait = [&](MPI_Request& request) { Cluster_Wait(request, stop); };

  std::vector<int64_t> mine;
  for (int64_t b = r; b < count; b += P) mine.push_back(b);
  std::vector<MPI_Request> sends(static_cast<size_t>(seg.count), MPI_REQUEST_NULL);
  if (!mine.empty()) {
    // Room for the largest block dealt, which a --block above the sources
    // left exceeds.
    const int64_t size = std::min(blocks.block, blocks.end - blocks.first);
    std::vector<std::vector<Contributions>> results(
        std::min<size_t>(mine.size(), kScoreBuffers));
    for (auto& buffer : results) {
      for (int64_t k = 0; k < size; ++k) buffer.push_back(ScoreTasks_NewResult(seg.count, seg.shift, n, 1));
    }
    BlockWorkers workers(fast, threads, run.heapLimit.value_or(kDefaultHeapLimit), seg.shift,
                         blocks, mine, results);
    const int prev = (r + P - 1) % P;
    const int next = (r + 1) % P;
    // The coming block's receives are posted while its searches run, in
    // segment order (the messages of a segment arrive in the order sent),
    // each once its buffer's last send has left: a large message moves only
    // while both ends call into MPI, so they must not wait for the fold.
    std::vector<MPI_Request> recvs(static_cast<size_t>(seg.count), MPI_REQUEST_NULL);
    int32_t posted = 0;  // the coming block's segments received into so far
    auto Receives = [&](size_t j) { return mine[j] > 0 && prev != r; };
    auto Post = [&](int32_t i) {
      MPI_Irecv(scores.data() + seg.Begin(i), static_cast<int>(seg.Size(i)), MPI_DOUBLE, prev,
                kRingTag, MPI_COMM_WORLD, &recvs[static_cast<size_t>(i)]);
      posted = i + 1;
    };
    // Posts what it can and returns whether a send or receive is unfinished.
    auto PostAndTest = [&](size_t j) {
      bool moving = false;
      for (int32_t i = 0; i < seg.count; ++i) {
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
      const int64_t sources = blocks.End(b) - blocks.Begin(b);
      const bool last = b == count - 1;
      const int dest = last ? 0 : next;
      for (int32_t i = 0; i < seg.count; ++i) {
        double* data = scores.data() + seg.Begin(i);
        const int size32 = static_cast<int>(seg.Size(i));
        wait(sends[static_cast<size_t>(i)]);  // the segment's last trip has left
        if (Receives(j)) {
          if (posted == i) Post(i);
          wait(recvs[static_cast<size_t>(i)]);
        }
        if (state) state->Arrived(data, seg.Begin(i), seg.Size(i));
        for (int64_t k = 0; k < sources; ++k) {
          ScoreTasks_Fold(block[static_cast<size_t>(k)][static_cast<size_t>(i)], scores);
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

  if (!self.first()) return;
  // The last block's owner sends the final scores here.
  const int lastOwner = count > 0 ? static_cast<int>((count - 1) % P) : 0;
  if (lastOwner != 0) {
    for (int32_t i = 0; i < seg.count; ++i) {
      MPI_Request request;
      MPI_Irecv(scores.data() + seg.Begin(i), static_cast<int>(seg.Size(i)), MPI_DOUBLE, lastOwner,
                kFinalTag, MPI_COMM_WORLD, &request);
      wait(request);
    }
  }
  if (run.progress != nullptr) run.progress->Update(n);
  FdStreamBuf standardOutput(1);
  std::ostream out(&standardOutput);
  const int status = Program_Guard(input->identity.program, run, &standardOutput, [&] {
    Betweenness_WriteListing(*input, scores, run, out);
  });
  if (status != 0) Cluster_Abort(status);
}
