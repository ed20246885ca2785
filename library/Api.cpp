// The library's public API over the engine: graphs in memory, betweenness
// and distances.
#include <climits>
#include <optional>
#include <string>

#include "graph/ByteHash.h"
#include "graph/EdgeList.h"
#include "graph/RunError.h"
#include "library/Checkpoint.h"
#include "library/CheckpointLock.h"
#include "library/RowRun.h"
#include "library/ScoreRun.h"
#include "paths/FastWorkspace.h"
#include "paths/Threads.h"
#include "pathsuite/pathsuite.h"

namespace pathsuite {

namespace {

[[noreturn]] void BadArgument(const std::string& what) { throw Error(kStatusUsage, what); }

LengthRule RuleOf(Length length) {
  switch (length) {
    case Length::Weight:
      return LENGTH_STORED;
    case Length::Unit:
      return LENGTH_UNIT;
    case Length::Inverse:
      break;
  }
  return LENGTH_RECIPROCAL;
}

const char* NameOf(Length length) {
  switch (length) {
    case Length::Weight:
      return "weight";
    case Length::Unit:
      return "unit";
    case Length::Inverse:
      break;
  }
  return "inverse";
}

// What a checkpoint of a run on this graph must agree with: the length
// rule, the node count and a hash of the graph itself, however it was made.
CheckpointIdentity IdentityOf(const EdgeList& edges, Length length) {
  ByteHash content;
  Checkpoint_HashGraph(content, edges);
  const int64_t n = edges.NodeCount();
  return {std::string("library ") + NameOf(length), n, n, content.Size(), content.Final()};
}

void CheckSameSizes(size_t first, size_t second, size_t weights) {
  if (first != second || first != weights) {
    BadArgument("edge arrays of different lengths: " + std::to_string(first) + " first ends, " +
                std::to_string(second) + " second ends, " + std::to_string(weights) + " weights");
  }
}

}  // namespace

Graph Graph::ReadEdges(const std::string& path) {
  RunSettings settings{};
  settings.programName = "pathsuite";
  settings.nameWidth = INT_MAX;
  settings.slotWidth = INT_MAX;
  settings.nodeCapacity = INT32_MAX;
  settings.inputPath = path;
  settings.lengthRule = LENGTH_RECIPROCAL;
  settings.edgeFilter = EdgeFilter::None;
  return Graph(std::make_shared<const EdgeList>(EdgeList_Read(settings)));
}

Graph Graph::FromNames(std::span<const std::string_view> first,
                       std::span<const std::string_view> second, std::span<const double> weights) {
  CheckSameSizes(first.size(), second.size(), weights.size());
  EdgeListBuilder builder;
  for (size_t e = 0; e < weights.size(); ++e) {
    const int32_t a = builder.Intern(first[e]);
    const int32_t b = builder.Intern(second[e]);
    if (a < 0 || b < 0) BadArgument("more than 2147483647 distinct names");
    builder.AddEdge(a, b, weights[e]);
  }
  return Graph(std::make_shared<const EdgeList>(builder.Finish()));
}

Graph Graph::FromIds(std::span<const int64_t> first, std::span<const int64_t> second,
                     std::span<const double> weights, int64_t nodeCount,
                     std::span<const std::string_view> names) {
  CheckSameSizes(first.size(), second.size(), weights.size());
  if (nodeCount < 0) {
    nodeCount = 0;
    for (size_t e = 0; e < weights.size(); ++e) {
      nodeCount = std::max({nodeCount, first[e] + 1, second[e] + 1});
    }
  }
  if (nodeCount > INT32_MAX) BadArgument("more than 2147483647 nodes: " + std::to_string(nodeCount));
  if (!names.empty() && static_cast<int64_t>(names.size()) != nodeCount) {
    BadArgument(std::to_string(names.size()) + " names for " + std::to_string(nodeCount) + " nodes");
  }
  auto edges = std::make_shared<EdgeList>();
  edges->ends.reserve(2 * weights.size());
  for (size_t e = 0; e < weights.size(); ++e) {
    for (const int64_t end : {first[e], second[e]}) {
      if (end < 0 || end >= nodeCount) {
        BadArgument("edge " + std::to_string(e) + " names node " + std::to_string(end) +
                    ", not one of 0.." + std::to_string(nodeCount - 1));
      }
      edges->ends.push_back(static_cast<int32_t>(end));
    }
  }
  edges->weights.assign(weights.begin(), weights.end());
  for (int64_t i = 0; i < nodeCount; ++i) {
    edges->names.Add(names.empty() ? std::to_string(i) : names[static_cast<size_t>(i)]);
  }
  return Graph(std::move(edges));
}

int32_t Graph::NodeCount() const { return edges_->NodeCount(); }
size_t Graph::EdgeCount() const { return edges_->EdgeCount(); }
std::string_view Graph::Name(int32_t i) const { return edges_->names.Name(i); }

void Betweenness::Run(const RunOptions& options) {
  const EdgeList& edges = graph_.Edges();
  const int64_t n = edges.NodeCount();
  const CheckpointIdentity identity =
      options.checkpoint ? IdentityOf(edges, length_) : CheckpointIdentity{"", n, n, 0, 0};
  std::optional<CheckpointLock> lock;
  if (options.checkpoint) lock.emplace(options.checkpoint->path);
  ScoreStart start = ScoreRun_Resume(identity, options);
  const FastGraph fast = FastGraph_FromEdges(edges, RuleOf(length_));
  CheckpointSchedule schedule(options, identity);
  scores_ = ScoreRun_Fast(fast, std::move(start), options, Threads_Resolve(options.threads),
                          schedule, kDefaultHeapLimit);
  if (options.checkpoint) Checkpoint_Remove(options.checkpoint->path);
}

void NormalizeScores(std::span<double> scores) {
  const auto n = static_cast<int64_t>(scores.size());
  if (n <= 2) return;
  const double scale = 1.0 / static_cast<double>((n - 1) * (n - 2));
  for (double& score : scores) score *= scale;
}

void Distances::Run(DistanceSink& sink, const RunOptions& options) {
  const EdgeList& edges = graph_.Edges();
  if (begin_ < 0 || begin_ > end_ || end_ > edges.NodeCount()) {
    BadArgument("sources " + std::to_string(begin_) + ".." + std::to_string(end_) +
                " do not lie in 0.." + std::to_string(edges.NodeCount()));
  }
  if (options.checkpoint) BadArgument("distance runs take no checkpoint");
  const FastGraph fast = FastGraph_FromEdges(edges, RuleOf(length_));
  RowRun_Fast(fast, begin_, end_, targets_, sink, options, Threads_Resolve(options.threads),
              kDefaultHeapLimit);
}

}  // namespace pathsuite
