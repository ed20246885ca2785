// Distances on several ranks. The sources are dealt in blocks; each rank
// writes its blocks' rows, in order, as messages to the first rank, which
// writes them out block after block. Every message is a synchronous send,
// so a rank runs at most one message ahead of the writer: memory stays
// bounded however slowly standard output is read.
#include <optional>

#include "analyst/AnalystListing.h"
#include "cluster/Cluster.h"
#include "library/RowRun.h"
#include "paths/FastWorkspace.h"

namespace {

// A stream whose every write goes to the first rank as one message; an
// empty message ends a block.
class RowsToFirstRank : public std::streambuf {
 public:
  void EndBlock() { Send(nullptr, 0); }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    // Pieces of at most 1 GiB, as MPI counts are ints; never an empty one,
    // which would end the block.
    for (std::streamsize done = 0; done < n;) {
      const auto piece = static_cast<int>(std::min<std::streamsize>(n - done, 1 << 30));
      Send(s + done, piece);
      done += piece;
    }
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    Send(&ch, 1);
    return c;
  }

 private:
  static void Send(const char* data, int size) {
    MPI_Request request;
    MPI_Issend(data, size, MPI_BYTE, 0, kRowsTag, MPI_COMM_WORLD, &request);
    Cluster_Wait(request, [] { return false; });
  }
};

// Writes one block of another rank's rows, message by message; stop() is
// asked while none has come.
template <class Stop>
void CopyBlock(int from, std::ostream& out, std::vector<char>& buffer, Stop&& stop) {
  for (;;) {
    int ready = 0;
    MPI_Status status;
    while (MPI_Iprobe(from, kRowsTag, MPI_COMM_WORLD, &ready, &status), ready == 0) {
      stop();
      Cluster_Nap();
    }
    int size = 0;
    MPI_Get_count(&status, MPI_BYTE, &size);
    buffer.resize(static_cast<size_t>(std::max(size, 1)));
    MPI_Recv(buffer.data(), size, MPI_BYTE, from, kRowsTag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    if (size == 0) return;
    Output_Write(out, std::string_view(buffer.data(), static_cast<size_t>(size)));
  }
}

}  // namespace

void ClusterRows_Run(const ClusterRank& self, const ClusterOptions& cluster, const RunOptions& run,
                     ListingOutput* listing, const NameList& names, const FastGraph& fast,
                     SourceRange range, const AnalystOptions* style) {
  const unsigned threads = run.threads;
  const ClusterBlocks blocks{range.first, range.last + 1, Cluster_BlockSize(cluster, threads * 2, 0)};
  const int64_t count = std::max<int64_t>(blocks.Count(), 0);
  const int64_t sources = range.last - range.first + 1;
  RunOptions quiet;  // the meter counts blocks, not a block's tasks
  quiet.threads = threads;
  quiet.cancel = run.cancel;
  auto writeBlock = [&](int64_t b, std::ostream& out) {
    PairsSink pairs(names, out);
    std::optional<AnalystRowsSink> analyst;
    if (style != nullptr) analyst.emplace(names, *style, out);
    pathsuite::DistanceSink& sink = analyst ? static_cast<pathsuite::DistanceSink&>(*analyst) : pairs;
    try {
      RowRun_Fast(fast, blocks.Begin(b), blocks.End(b), pathsuite::Targets::Above, sink, quiet,
                  threads, kDefaultHeapLimit);
    } catch (const pathsuite::Cancelled& stop) {
      throw pathsuite::Cancelled(blocks.Begin(b) - range.first + stop.sourcesDone(), sources, false);
    }
  };
  if (!self.first()) {
    RowsToFirstRank toFirst;
    std::ostream out(&toFirst);
    for (int64_t b = self.rank; b < count; b += self.size) {
      writeBlock(b, out);
      toFirst.EndBlock();
    }
    return;
  }
  std::vector<char> buffer;
  if (run.progress) run.progress(0, sources);
  for (int64_t b = 0; b < count; ++b) {
    const int owner = static_cast<int>(b % self.size);
    if (owner == 0) {
      writeBlock(b, listing->stream());
    } else {
      CopyBlock(owner, listing->stream(), buffer, [&] {
        if (run.cancel != nullptr && run.cancel->load()) {
          throw pathsuite::Cancelled(blocks.Begin(b) - range.first, sources, false);
        }
      });
    }
    if (run.progress) run.progress(blocks.End(b) - range.first, sources);
  }
}
