// The drivers of scores and distances on one process.
#include "analyst/AnalystListing.h"
#include "analyst/AnalystPrograms.h"
#include "analyst/DistancesJob.h"
#include "analyst/ScoresJob.h"
#include "library/RowRun.h"
#include "paths/FastWorkspace.h"
#include "paths/Threads.h"

void Scores_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
                const RunOptions& options, const EngineChoice& engine) {
  ScoresJob job = Scores_Prepare(args, settings.onRead);
  ScoreStart start = ScoreRun_Resume(job.identity, options);
  const FastGraph fast = FastGraph_FromEdges(job.edges, job.options.length);
  EdgeList_DropEdges(job.edges);
  const ScoresResult result =
      Scores_RunHere(job, fast, std::move(start), options, Threads_Resolve(options.threads),
                     engine.heapLimit.value_or(kDefaultHeapLimit));
  Scores_Write(job.options, job.edges.names, result.state, result.folded, out);
}

void Distances_Run(RunSettings settings, const std::vector<std::string>& args, std::ostream& out,
                   const RunOptions& options, const EngineChoice& engine) {
  DistancesJob job = Distances_Prepare(args, settings.onRead);
  Analyst_WriteRowsHeader(job.options, out);
  if (job.range.first > job.range.last) return;
  const FastGraph fast = FastGraph_FromEdges(job.edges, job.options.length);
  EdgeList_DropEdges(job.edges);
  AnalystRowsSink sink(job.edges.names, job.options, out);
  RowRun_Fast(fast, job.range.first, job.range.last + 1, pathsuite::Targets::Above, sink, options,
              Threads_Resolve(options.threads), engine.heapLimit.value_or(kDefaultHeapLimit));
}
