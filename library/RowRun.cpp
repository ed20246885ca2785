#include "library/RowRun.h"

#include <algorithm>
#include <vector>

#include "graph/RunError.h"
#include "library/FastRun.h"
#include "library/Output.h"
#include "paths/FastEngine.h"

namespace {

// The text a task holds before it emits its own rows, and the targets of a
// row handed over at once.
constexpr size_t kRowsSlotBytes = size_t{1} << 20;
constexpr size_t kPieceTargets = 4096;

// Tells the progress callback, and stops the run when asked.
class RowsWatcher final : public OrderedRunWatcher {
 public:
  RowsWatcher(const pathsuite::RunOptions& options, int64_t perTask, int64_t sources)
      : options_(options), perTask_(perTask), sources_(sources) {}
  bool Folded(int64_t tasks) override {
    const int64_t done = std::min(tasks * perTask_, sources_);
    if (options_.progress) options_.progress(done, sources_);
    if (options_.cancel != nullptr && options_.cancel->load()) {
      throw pathsuite::Cancelled(done, sources_, false);
    }
    return false;
  }
  void Snapshot(int64_t) override {}
  void Persist() override {}

 private:
  const pathsuite::RunOptions& options_;
  const int64_t perTask_;
  const int64_t sources_;
};

}  // namespace

void RowRun_Fast(const FastGraph& fast, int64_t begin, int64_t end, pathsuite::Targets targets,
                 pathsuite::DistanceSink& sink, const pathsuite::RunOptions& options,
                 unsigned threads, int32_t heapLimit) {
  if (begin >= end) return;
  const FastRunShape shape = FastRun_Shape(FastRunKind::Rows, fast.nodeCount, threads);
  auto makeResult = [] {
    TextBuffer text;
    text.ReserveTotal(kRowsSlotBytes + 4096);
    return text;
  };
  auto produce = [&](int64_t first, int64_t last, FastWorkspace& ws, TextBuffer& text,
                     OrderedTurn& turn) {
    text.Clear();
    std::vector<double> distances;
    for (int64_t s = first; s < last; ++s) {
      const auto source = static_cast<int32_t>(s);
      Fast_Search(fast, source, SEARCH_DISTANCES, ws);
      const int32_t from = targets == pathsuite::Targets::Above ? source + 1 : 0;
      const std::vector<int32_t>& row = Fast_RowsFrom(fast, from, ws);
      for (size_t at = 0; at < row.size(); at += kPieceTargets) {
        const size_t size = std::min(kPieceTargets, row.size() - at);
        distances.resize(size);
        for (size_t k = 0; k < size; ++k) distances[k] = Fast_Distance(fast, ws, row[at + k]);
        sink.Take(text, source, {row.data() + at, size}, distances);
        if (text.Size() >= kRowsSlotBytes) {
          turn.Wait();
          sink.Emit(text);
          text.Clear();
        }
      }
    }
  };
  auto fold = [&](int32_t, TextBuffer& text) {
    sink.Emit(text);
    text.Clear();
  };
  const int64_t sources = end - begin;
  const bool watched = options.progress || options.cancel != nullptr;
  RowsWatcher watcher(options, shape.perTask, sources);
  if (options.progress) options.progress(0, sources);
  FastRun_Sources<TextBuffer>(fast, begin, sources, shape, heapLimit, makeResult, produce, fold,
                              watched ? &watcher : nullptr);
}
