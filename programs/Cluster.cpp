#include "programs/Cluster.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

void Cluster_BroadcastBytes(void* data, size_t bytes) {
  // MPI counts are ints: a large array goes in pieces of 1 GiB.
  constexpr size_t kPiece = size_t{1} << 30;
  auto* at = static_cast<char*>(data);
  while (bytes > 0) {
    const size_t piece = std::min(bytes, kPiece);
    MPI_Bcast(at, static_cast<int>(piece), MPI_BYTE, 0, MPI_COMM_WORLD);
    at += piece;
    bytes -= piece;
  }
}

void Cluster_BroadcastGraph(EdgeGraph& names, FastGraph& fast) {
  Cluster_Broadcast(names.nameCount);
  Cluster_Broadcast(names.nodeCapacity);
  Cluster_Broadcast(names.names.slotWidth);
  Cluster_Broadcast(names.names.slots);
  Cluster_Broadcast(names.names.lengths);
  Cluster_Broadcast(fast.nodeCount);
  Cluster_Broadcast(fast.heapOrderSafe);
  Cluster_Broadcast(fast.offsets);
  Cluster_Broadcast(fast.cells);
  Cluster_Broadcast(fast.cellShape);
  Cluster_Broadcast(fast.nameOf);
  Cluster_Broadcast(fast.nodeOf);
}

void Cluster_Abort(int status) {
  int ranks = 1;
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  if (ranks == 1) {
    // No other rank waits, and MPI_Abort would add Open MPI's own notice
    // to the one message the programs print: end as a program does.
    MPI_Finalize();
    std::_Exit(status);
  }
  MPI_Abort(MPI_COMM_WORLD, status);
  std::_Exit(status);  // MPI_Abort does not return; this keeps the promise if it did
}

void Cluster_Nap() { std::this_thread::sleep_for(std::chrono::microseconds(50)); }

namespace {

int64_t OwnBlockSize(const RunnerOptions& options, unsigned threads, int64_t bytesPerSource) {
  if (options.block) return *options.block;
  // Four sources a thread keep the threads busy between hand-overs; the
  // score blocks in memory at once stay within 512 MiB.
  constexpr int64_t kBlockBytes = (int64_t{512} << 20) / kScoreBuffers;
  const int64_t byMemory = std::max<int64_t>(1, kBlockBytes / std::max<int64_t>(bytesPerSource, 1));
  return std::clamp<int64_t>(int64_t{4} * threads, 1, byMemory);
}

}  // namespace

int64_t Cluster_BlockSize(const RunnerOptions& options, unsigned threads, int64_t bytesPerSource) {
  int64_t size = OwnBlockSize(options, threads, bytesPerSource);
  Cluster_Broadcast(size);
  return size;
}
