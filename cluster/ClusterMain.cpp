#include <csignal>
#include <cstring>

#include "cluster/Cluster.h"
#include "paths/Threads.h"

namespace {

const char kName[] = "pathsuite-mpi";

ClusterRank WhoAmI() {
  ClusterRank self;
  MPI_Comm_rank(MPI_COMM_WORLD, &self.rank);
  MPI_Comm_size(MPI_COMM_WORLD, &self.size);
  MPI_Comm local;
  MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, self.rank, MPI_INFO_NULL, &local);
  MPI_Comm_size(local, &self.local);
  MPI_Comm_free(&local);
  return self;
}

// The first rank's outcome, for every rank: a failure that it reported
// ends every rank with its status, the others silent.
int Agree(int status) {
  MPI_Bcast(&status, 1, MPI_INT, 0, MPI_COMM_WORLD);
  return status;
}

// The first rank loads; every rank gets the graph and its starting point.
int RunScores(const ClusterRank& self, const RunnerOptions& options, const ClusterOptions& cluster,
              const RunnerSetup& setup) {
  const Program& program = *options.program;
  const RunOptions& run = setup.run();
  std::optional<ScoreInput> input;
  NameList names;
  FastGraph fast;
  ScoreStart start;
  if (self.first()) {
    const int status = Program_Guard(program.name, setup.reporting(), [&] {
      const RunSettings settings = RunSettings_For(program.id);
      input.emplace(Betweenness_Load(settings, options.args));
      start = ScoreRun_Resume(input->identity, run);
      fast = FastGraph_FromEdges(input->edges, settings.lengthRule);
      EdgeList_DropEdges(input->edges);
      names = std::move(input->edges.names);
    });
    if (Agree(status) != 0) return status;
  } else if (const int status = Agree(0); status != 0) {
    return status;
  }
  Cluster_BroadcastGraph(names, fast);
  Cluster_Broadcast(start.sourcesDone);
  const int status = Program_Guard(program.name, setup.reporting(), [&] {
    ClusterScores_Run(self, cluster, run, setup.reporting(), self.first() ? &*input : nullptr,
                      names, std::move(start), fast);
  });
  if (status != 0) Cluster_Abort(status);
  return 0;
}

int RunRows(const ClusterRank& self, const RunnerOptions& options, const ClusterOptions& cluster,
            const RunnerSetup& setup) {
  const Program& program = *options.program;
  NameList names;
  FastGraph fast;
  SourceRange range{0, -1};
  if (self.first()) {
    const int status = Program_Guard(program.name, setup.reporting(), [&] {
      const RunSettings settings = RunSettings_For(program.id);
      RowsInput input = Pairs_Load(settings, options.args);
      range = input.range;
      if (range.first <= range.last) fast = FastGraph_FromEdges(input.edges, settings.lengthRule);
      names = std::move(input.edges.names);
    });
    if (Agree(status) != 0) return status;
  } else if (const int status = Agree(0); status != 0) {
    return status;
  }
  Cluster_BroadcastGraph(names, fast);
  Cluster_Broadcast(range);
  const int status = Program_Guard(program.name, setup.reporting(), [&] {
    ClusterRows_Run(self, program, cluster, setup.run(), setup.reporting(), names, fast, range);
  });
  if (status != 0) Cluster_Abort(status);
  return 0;
}

int Run(const ClusterRank& self, const std::vector<std::string>& argv) {
  RunnerOptions options;
  ClusterOptions cluster;
  if (std::optional<int> status = Runner_Start(kName, argv, &cluster, self.first(), options)) {
    return *status;
  }
  const Program& program = *options.program;
  // The program's own --help and --version, from the first rank.
  if (!options.args.empty() && (options.args[0] == "--help" || options.args[0] == "--version")) {
    return self.first() ? Program_Execute(program, options.args, RunOptions{}) : 0;
  }
  // Ranks that share a machine share its CPUs.
  const unsigned threads = Threads_Resolve(options.threads, static_cast<unsigned>(self.local));
  if (!self.first()) {
    // A stop signal is the first rank's to act on: it saves the state and
    // ends the job, so the others must not end first.
    options.checkpoint.clear();
    options.checkpointEvery.reset();
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
  }
  const RunnerSetup setup(options, threads, self.first());
  return Program_IsBetweenness(program) ? RunScores(self, options, cluster, setup)
                                        : RunRows(self, options, cluster, setup);
}

}  // namespace

int Cluster_Main(int argc, char** argv) {
  int provided = 0;
  // Threads of a rank send one at a time (the distance rows), never at once.
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  const ClusterRank self = WhoAmI();
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = Run(self, args);
  MPI_Finalize();
  return status;
}
