// The message cost of the cluster's score ring: mpirun -np 2 ring_cost NODES
// [SEGMENT] [ROUNDS] passes a vector of NODES doubles between two ranks, cut
// into segments that travel one behind the other, as the ring passes the
// running scores, and prints the time of one pass of the whole vector. A
// rank passes it once per block of sources, so the cost per source is that
// time over the block size.
#include <mpi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0, size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  if (size != 2 || argc < 2) {
    if (rank == 0) std::fprintf(stderr, "usage: mpirun -np 2 ring_cost NODES [SEGMENT] [ROUNDS]\n");
    MPI_Finalize();
    return 2;
  }
  const long nodes = std::atol(argv[1]);
  const long segment = argc > 2 ? std::atol(argv[2]) : nodes;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 200;
  std::vector<double> scores(static_cast<size_t>(nodes), 1.0);
  const int other = 1 - rank;
  MPI_Barrier(MPI_COMM_WORLD);
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    for (long at = 0; at < nodes; at += segment) {
      const int count = static_cast<int>(std::min(segment, nodes - at));
      if ((r % 2 == 0) == (rank == 0)) {
        MPI_Send(scores.data() + at, count, MPI_DOUBLE, other, 0, MPI_COMM_WORLD);
      } else {
        MPI_Recv(scores.data() + at, count, MPI_DOUBLE, other, 0, MPI_COMM_WORLD,
                 MPI_STATUS_IGNORE);
      }
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (rank == 0) {
    std::printf("%ld doubles in segments of %ld: %.1f us a pass\n", nodes, segment,
                seconds / rounds * 1e6);
  }
  MPI_Finalize();
  return 0;
}
