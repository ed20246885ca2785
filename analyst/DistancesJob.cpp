#include "analyst/DistancesJob.h"

#include "analyst/AnalystPrograms.h"
#include "graph/RunError.h"
#include "graph/formats/Formats.h"

DistancesJob Distances_Prepare(const std::vector<std::string>& args, const ReadProgress& progress) {
  DistancesJob job;
  job.options = Analyst_ReadOptions(Analyst_Programs()[1], args);
  job.options.read.progress = progress;
  job.edges = Formats_Read(job.options.read);
  const int64_t n = job.edges.NodeCount();
  job.range = {0, n - 1};
  if (const std::optional<SourceSpan> asked = job.options.sources) {
    if (asked->last >= n) {
      throw RunError(kStatusUsage,
                     "--sources " + std::to_string(asked->first) + ".." +
                         std::to_string(asked->last) + " goes beyond the nodes of " +
                         job.options.read.path + ", 0.." + std::to_string(n - 1));
    }
    job.range = {asked->first, asked->last};
  }
  return job;
}
