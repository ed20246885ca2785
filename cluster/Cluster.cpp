#include "cluster/Cluster.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "graph/RunError.h"
#include "library/Arguments.h"

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

void Cluster_BroadcastGraph(NameList& names, FastGraph& fast) {
  Cluster_Broadcast(names.bytes);
  Cluster_Broadcast(names.ends);
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

void Cluster_TellStopHeard() {
  MPI_Request request;
  MPI_Isend(nullptr, 0, MPI_BYTE, 0, kStopTag, MPI_COMM_WORLD, &request);
  MPI_Request_free(&request);  // the first rank may be gone by the time it would complete
}

std::string Cluster_RanksNotHeard(int size) {
  // mpirun kills the ranks a second after its SIGTERM: the first rank has
  // saved by now and leaves its message time to be written.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  std::vector<char> heard(static_cast<size_t>(size), 0);
  heard[0] = 1;
  int count = 1;
  while (count < size && std::chrono::steady_clock::now() < deadline) {
    int ready = 0;
    MPI_Status status;
    MPI_Iprobe(MPI_ANY_SOURCE, kStopTag, MPI_COMM_WORLD, &ready, &status);
    if (ready == 0) {
      Cluster_Nap();
      continue;
    }
    MPI_Recv(nullptr, 0, MPI_BYTE, status.MPI_SOURCE, kStopTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    char& mark = heard[static_cast<size_t>(status.MPI_SOURCE)];
    count += mark == 0 ? 1 : 0;
    mark = 1;
  }
  std::vector<std::string> silent;
  for (int r = 1; r < size; ++r) {
    if (heard[static_cast<size_t>(r)] == 0) silent.push_back(std::to_string(r));
  }
  if (silent.empty()) return "";
  std::string text = silent.size() == 1 ? "rank " : "ranks ";
  for (size_t k = 0; k < silent.size(); ++k) {
    text += (k == 0 ? "" : k + 1 == silent.size() ? " and " : ", ") + silent[k];
  }
  return text;
}

namespace {

// As "%d" reads it, with nothing but digits: a whole number from 1 to 2^30.
int64_t ReadCount(const std::string& option, const std::string& text, bool powerOfTwo) {
  const std::optional<int64_t> n = Arguments_ScanInteger(text);
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || !n || *n < 1 || *n > (int64_t{1} << 30) || (powerOfTwo && (*n & (*n - 1)) != 0)) {
    throw RunError(kStatusUsage, option + " takes a whole number from 1 to 2^30" +
                                     (powerOfTwo ? ", a power of two" : "") + ", not '" + text +
                                     "'");
  }
  return *n;
}

int64_t OwnBlockSize(const ClusterOptions& options, unsigned threads, int64_t bytesPerSource) {
  if (options.block) return *options.block;
  // Four sources a thread keep the threads busy between hand-overs; the
  // score blocks in memory at once stay within 512 MiB.
  constexpr int64_t kBlockBytes = (int64_t{512} << 20) / kScoreBuffers;
  const int64_t byMemory = std::max<int64_t>(1, kBlockBytes / std::max<int64_t>(bytesPerSource, 1));
  return std::clamp<int64_t>(int64_t{4} * threads, 1, byMemory);
}

}  // namespace

void ClusterOptions::Set(const std::string& name, const std::string& value) {
  if (name == "--block") {
    block = ReadCount(name, value, false);
  } else {
    segment = ReadCount(name, value, true);
  }
}

std::string ClusterOptions::Help() const {
  return "  --block N              sources a rank takes at a time\n"
         "  --segment N            nodes of a score segment (a power of two)\n";
}

int64_t Cluster_BlockSize(const ClusterOptions& options, unsigned threads, int64_t bytesPerSource) {
  int64_t size = OwnBlockSize(options, threads, bytesPerSource);
  Cluster_Broadcast(size);
  return size;
}
