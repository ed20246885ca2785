#include <cstdlib>

#include "analyst/AnalystListing.h"
#include "analyst/DistancesJob.h"
#include "analyst/ScoresJob.h"
#include "cluster/Cluster.h"
#include "paths/Threads.h"

namespace {

const char kName[] = "pathsuite-mpi";

// Whether a launcher started this process, as the environment it sets
// says (Open MPI's mpirun, PMIx and PMI launchers such as srun); read
// before MPI_Init, which a singleton's may change.
bool Launched() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"}) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

ClusterRank WhoAmI(bool launched) {
  ClusterRank self;
  MPI_Comm_rank(MPI_COMM_WORLD, &self.rank);
  MPI_Comm_size(MPI_COMM_WORLD, &self.size);
  MPI_Comm local;
  MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, self.rank, MPI_INFO_NULL, &local);
  MPI_Comm_size(local, &self.local);
  MPI_Comm_free(&local);
  self.launched = launched || self.size > 1;
  return self;
}

// The first rank's outcome, for every rank: a failure that it reported
// ends every rank with its status, the others silent.
int Agree(int status) {
  MPI_Bcast(&status, 1, MPI_INT, 0, MPI_COMM_WORLD);
  return status;
}

// The lowest rank for which mine holds, or the job's size when none: every
// rank learns it.
int FirstRankWith(const ClusterRank& self, bool mine) {
  int rank = mine ? self.rank : self.size;
  MPI_Allreduce(MPI_IN_PLACE, &rank, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  return rank;
}

std::string Prefixed(const ClusterRank& self, const std::string& message) {
  return self.first() ? message : "rank " + std::to_string(self.rank) + ": " + message;
}

// What a rank runs: the runner's --help or --version, or the program and
// its arguments, one after another, each ended by a NUL.
std::vector<char> WhatRuns(const RunnerOptions& options) {
  std::vector<std::string> words;
  if (options.help || options.version) {
    words.push_back(options.help ? "--help" : "--version");
  } else {
    words.push_back(options.program->name);
    words.insert(words.end(), options.args.begin(), options.args.end());
  }
  std::vector<char> text;
  for (const std::string& w : words) {
    text.insert(text.end(), w.begin(), w.end());
    text.push_back('\0');
  }
  return text;
}

std::string Shown(const std::vector<char>& what) {
  std::string text(what.begin(), what.end());
  if (!text.empty()) text.pop_back();
  for (char& c : text) c = c == '\0' ? ' ' : c;
  return text;
}

// Every rank reads its own command line, and then all agree before any
// work: when one is bad, the lowest such rank reports it and every rank
// ends with the usage status; so does a job whose ranks were not all given
// what the first one was. Returns the status to end with, or nothing when
// the program is to run.
std::optional<int> ReadAndAgree(const ClusterRank& self, const std::vector<std::string>& argv,
                                RunnerOptions& options, ClusterOptions& cluster) {
  std::string failure;
  try {
    options = Runner_ReadOptions(argv, &cluster);
    if (self.launched && !options.checkpoint.empty() && options.output.empty() && !options.help &&
        !options.version) {
      failure = "--checkpoint needs --output under mpirun: a listing that passes through mpirun "
                "cannot be known to be written, and the checkpoint goes once it is";
    }
  } catch (const RunError& e) {
    failure = e.what();
  }
  const int bad = FirstRankWith(self, !failure.empty());
  if (bad < self.size) {
    if (bad == self.rank) Runner_ReportUsage(kName, Prefixed(self, failure), &cluster);
    return kStatusUsage;
  }
  const std::vector<char> mine = WhatRuns(options);
  std::vector<char> firsts = mine;
  Cluster_Broadcast(firsts);
  const int other = FirstRankWith(self, firsts != mine);
  if (other < self.size) {
    if (other == self.rank) {
      Program_Report(kName, Prefixed(self, "given '" + Shown(mine) + "', not '" + Shown(firsts) +
                                               "' as rank 0 is: every rank runs the same " +
                                               "program on the same arguments"));
    }
    return kStatusUsage;
  }
  if (options.help || options.version) {
    return self.first() ? Runner_Answer(kName, options, &cluster) : 0;
  }
  return std::nullopt;
}

// The first rank takes the checkpoint's lock and loads; every rank gets the
// graph and its starting point.
int RunScores(const ClusterRank& self, const RunnerOptions& options, const ClusterOptions& cluster,
              const RunOptions& run, Reporting reporting) {
  const Program& program = *options.program;
  std::optional<CheckpointLock> lock;
  ListingOutput listing(reporting.output, reporting.meter);
  if (self.first()) reporting.standardOutput = &listing.buffer();
  // A program of the table's six, or scores (any file, maybe a sample).
  const bool anyFile = program.dataset == Dataset::AnyFile;
  std::optional<ScoreInput> input;
  std::optional<ScoresJob> job;
  CheckpointIdentity identity;
  std::vector<int32_t> order;
  std::vector<int32_t> checks;  // the adaptive stop's, if it is one
  NameList names;
  FastGraph fast;
  ScoreStart start;
  if (self.first()) {
    const int status = Program_Guard(program.name, reporting, [&] {
      RunSettings settings = RunSettings_For(program);
      if (reporting.meter != nullptr) settings.onRead = reporting.meter->LoadingCallback();
      if (run.checkpoint) lock.emplace(run.checkpoint->path);
      listing.Check();
      EdgeList* edges = nullptr;
      LengthRule rule = settings.lengthRule;
      if (anyFile) {
        job.emplace(Scores_Prepare(options.args, settings.onRead));
        identity = job->identity;
        order = job->order;
        if (job->Squares()) checks = job->plan.checkpoints;
        edges = &job->edges;
        rule = job->options.length;
      } else {
        input.emplace(Betweenness_Load(settings, options.args));
        identity = input->identity;
        edges = &input->edges;
      }
      start = ScoreRun_Resume(identity, run);
      fast = FastGraph_FromEdges(*edges, rule);
      EdgeList_DropEdges(*edges);
      names = std::move(edges->names);
    });
    if (Agree(status) != 0) return status;
  } else if (const int status = Agree(0); status != 0) {
    return status;
  }
  std::optional<FirstRankScores> first;
  if (self.first()) first.emplace(FirstRankScores{identity, lock ? &*lock : nullptr});
  std::vector<double> scores;
  int64_t folded = 0;
  const int status = Program_Guard(program.name, reporting, [&] {
    Cluster_BroadcastGraph(names, fast);
    Cluster_Broadcast(start.sourcesDone);
    Cluster_Broadcast(order);
    Cluster_Broadcast(checks);
    auto runStage = [&](ScoreStart from, const ScoreSources& sources) {
      return ClusterScores_Run(self, cluster, run, reporting, first ? &*first : nullptr,
                               std::move(from), fast, sources);
    };
    if (checks.empty()) {
      scores = runStage(std::move(start), ScoreSources{order, -1, false});
      folded = static_cast<int64_t>(order.size());
      return;
    }
    // The first rank alone holds the state at a check: its word holds for all.
    auto mayStop = [&](size_t check, std::span<const double> state) {
      int stop = self.first() && Scores_MayStop(*job, check, state) ? 1 : 0;
      MPI_Bcast(&stop, 1, MPI_INT, 0, MPI_COMM_WORLD);
      return stop != 0;
    };
    ScoresResult result = Scores_Stages(checks, order, std::move(start), runStage, mayStop);
    scores = std::move(result.state);
    folded = result.folded;
  });
  if (status != 0) {
    // Cluster_Abort ends the process without unwinding.
    if (lock) lock->Release();
    Cluster_Abort(status);
  }
  if (!self.first()) return 0;
  // Every other rank is done: a listing that cannot be written ends this
  // rank alone, and the job with its status, without an abort.
  return Program_Guard(program.name, reporting, [&] {
    if (job) {
      Scores_Write(job->options, names, scores, folded, listing.stream());
    } else {
      Betweenness_WriteListing(names, input->range, scores, listing.stream());
    }
    listing.Commit();
    if (run.checkpoint) Checkpoint_Remove(run.checkpoint->path);
  });
}

int RunRows(const ClusterRank& self, const RunnerOptions& options, const ClusterOptions& cluster,
            const RunOptions& run, Reporting reporting) {
  const Program& program = *options.program;
  ListingOutput listing(reporting.output, reporting.meter);
  if (self.first()) reporting.standardOutput = &listing.buffer();
  NameList names;
  FastGraph fast;
  SourceRange range{0, -1};
  // distances: its options, which every rank reads from the same arguments
  // to format its rows.
  std::optional<AnalystOptions> style;
  if (self.first()) {
    const int status = Program_Guard(program.name, reporting, [&] {
      RunSettings settings = RunSettings_For(program);
      if (reporting.meter != nullptr) settings.onRead = reporting.meter->LoadingCallback();
      listing.Check();
      if (program.dataset == Dataset::AnyFile) {
        DistancesJob job = Distances_Prepare(options.args, settings.onRead);
        style = job.options;
        range = job.range;
        if (range.first <= range.last) fast = FastGraph_FromEdges(job.edges, job.options.length);
        names = std::move(job.edges.names);
        Analyst_WriteRowsHeader(*style, listing.stream());
        return;
      }
      RowsInput input = Pairs_Load(settings, options.args);
      range = input.range;
      if (range.first <= range.last) fast = FastGraph_FromEdges(input.edges, settings.lengthRule);
      names = std::move(input.edges.names);
    });
    if (Agree(status) != 0) return status;
  } else if (const int status = Agree(0); status != 0) {
    return status;
  } else if (program.dataset == Dataset::AnyFile) {
    style = Analyst_ReadOptions(program, options.args);  // read well on the first rank
  }
  const int status = Program_Guard(program.name, reporting, [&] {
    Cluster_BroadcastGraph(names, fast);
    Cluster_Broadcast(range);
    ClusterRows_Run(self, cluster, run, self.first() ? &listing : nullptr, names, fast, range,
                    style ? &*style : nullptr);
  });
  if (status != 0) {
    listing.Discard();  // Cluster_Abort ends the process without unwinding
    Cluster_Abort(status);
  }
  // Every rank is done: a listing that cannot be made whole ends this rank
  // alone, and the job with its status, without an abort.
  return self.first() ? Program_Guard(program.name, reporting, [&] { listing.Commit(); }) : 0;
}

int Run(const ClusterRank& self, const std::vector<std::string>& argv) {
  RunnerOptions options;
  ClusterOptions cluster;
  if (const std::optional<int> status = ReadAndAgree(self, argv, options, cluster)) return *status;
  const Program& program = *options.program;
  // The program's own --help and --version, from the first rank.
  if (!Program_Asks(program, options.args).empty()) {
    return self.first() ? Program_Execute(program, options.args, RunOptions{}) : 0;
  }
  // Ranks that share a machine share its CPUs.
  const unsigned threads = Threads_Resolve(options.threads, static_cast<unsigned>(self.local));
  if (!self.first()) {
    // The listing and the checkpoint are the first rank's.
    options.checkpoint.clear();
    options.checkpointEvery.reset();
    options.output.clear();
  }
  const RunnerSetup setup(options, threads, self.first());
  Reporting reporting = setup.reporting();
  if (!self.first()) reporting.rank = "rank " + std::to_string(self.rank);
  return Program_IsBetweenness(program) ? RunScores(self, options, cluster, setup.run(), reporting)
                                        : RunRows(self, options, cluster, setup.run(), reporting);
}

}  // namespace

int Cluster_Main(int argc, char** argv) {
  const bool launched = Launched();
  int provided = 0;
  // Threads of a rank send one at a time (the distance rows), never at once.
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  const ClusterRank self = WhoAmI(launched);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = Run(self, args);
  MPI_Finalize();
  return status;
}
