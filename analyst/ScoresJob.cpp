#include "analyst/ScoresJob.h"

#include <algorithm>

#include "analyst/AnalystListing.h"
#include "analyst/AnalystPrograms.h"
#include "graph/ByteHash.h"
#include "graph/RunError.h"
#include "graph/formats/Formats.h"
#include "pathsuite/betweenness.h"

namespace {

// The draw of an adaptive run: the first cap sources drawn, each stage
// between two checks in ascending order, so that every stage folds as a
// sample run does and a longer stage begins where the last one ended.
std::vector<int32_t> StagedDraw(const AdaptivePlan& plan, uint64_t seed) {
  std::vector<int32_t> draw = Sampling_DrawOrder(plan.n, plan.checkpoints.back(), seed);
  int32_t from = 0;
  for (const int32_t to : plan.checkpoints) {
    std::sort(draw.begin() + from, draw.begin() + to);
    from = to;
  }
  return draw;
}

template <class T>
void Mix(ByteHash& hash, const T& value) {
  hash.Update(&value, sizeof value);
}

// The checkpoint's program name: the kind of run, so that a checkpoint
// of another kind is refused by name (at most 15 bytes).
const char* KindOf(Estimate estimate) {
  constexpr const char* kKinds[] = {"scores", "scores sample", "scores epsilon",
                                    "scores adaptive"};  // in the order of Estimate
  return kKinds[static_cast<size_t>(estimate)];
}

// A checkpoint of a scores run holds for the same graph, length and
// sources only: all of them go into its hash, and the count of positions
// into its capacity.
CheckpointIdentity IdentityOf(const ScoresJob& job) {
  ByteHash hash;
  Checkpoint_HashGraph(hash, job.edges);
  const AnalystOptions& o = job.options;
  Mix(hash, static_cast<int32_t>(o.length));
  Mix(hash, static_cast<int32_t>(o.estimate));
  Mix(hash, o.seed);
  Mix(hash, o.epsilon);
  Mix(hash, o.delta);
  if (!job.order.empty()) hash.Update(job.order.data(), job.order.size() * sizeof(int32_t));
  const int64_t n = job.edges.NodeCount();
  return {KindOf(o.estimate), job.Total(), job.Squares() ? 2 * n : n, job.edges.inputSize, hash.Final()};
}

}  // namespace

ScoresJob Scores_Prepare(const std::vector<std::string>& args, const ReadProgress& progress) {
  ScoresJob job;
  job.options = Analyst_ReadOptions(Analyst_Programs()[0], args);
  AnalystOptions& o = job.options;
  o.read.progress = progress;
  job.edges = Formats_Read(o.read);
  const int32_t n = job.edges.NodeCount();
  switch (o.estimate) {
    case Estimate::Exact:
      break;
    case Estimate::Sample:
      if (o.sample > n) {
        throw RunError(kStatusUsage, "--sample " + std::to_string(o.sample) + " is more than the " +
                                         std::to_string(n) + " nodes of " + o.read.path +
                                         " (--sample " + std::to_string(n) + " is the exact run)");
      }
      job.order = Sampling_Sources(n, static_cast<int32_t>(o.sample), o.seed);
      break;
    case Estimate::Epsilon:
      job.order = Sampling_Sources(n, Sampling_HoeffdingCount(n, o.epsilon, o.delta), o.seed);
      break;
    case Estimate::Adaptive:
      job.plan = Sampling_AdaptivePlan(n, o.epsilon, o.delta);
      job.order = StagedDraw(job.plan, o.seed);
      break;
  }
  job.identity = IdentityOf(job);
  return job;
}

ScoresResult Scores_RunHere(const ScoresJob& job, const FastGraph& fast, ScoreStart start,
                            const pathsuite::RunOptions& options, unsigned threads,
                            int32_t heapLimit) {
  CheckpointSchedule schedule(options, job.identity, job.Total());
  if (!job.Squares()) {
    ScoresResult result;
    result.state = ScoreRun_Fast(fast, std::move(start), options, threads, schedule, heapLimit,
                                 ScoreSources{job.order, -1, false});
    result.folded = job.Total();
    return result;
  }
  return Scores_Stages(
      job.plan.checkpoints, job.order, std::move(start),
      [&](ScoreStart from, const ScoreSources& stage) {
        return ScoreRun_Fast(fast, std::move(from), options, threads, schedule, heapLimit, stage);
      },
      [&](size_t check, std::span<const double> state) { return Scores_MayStop(job, check, state); });
}

bool Scores_MayStop(const ScoresJob& job, size_t check, std::span<const double> state) {
  const auto n = static_cast<size_t>(job.plan.n);
  return check + 1 == job.plan.checkpoints.size() ||
         Sampling_MayStop(job.plan, check, state.first(n), state.subspan(n));
}

void Scores_Write(const AnalystOptions& options, const NameList& names,
                  std::span<const double> state, int64_t folded, std::ostream& out) {
  const int32_t n = names.Count();
  std::vector<double> values(state.begin(), state.begin() + n);
  if (options.estimate != Estimate::Exact && folded > 0) {
    // n / K is 1 when every source was drawn: the exact scores, bit for bit.
    const double scale = static_cast<double>(n) / static_cast<double>(folded);
    for (double& value : values) value *= scale;
  }
  if (options.normalized) pathsuite::NormalizeScores(values);
  Analyst_WriteScores(names, values, options, out);
}
