#include "tests/cluster/ClusterSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Open MPI's settings for every job the tests start; the children inherit
// them from this process.
constexpr const char* kJobSettings[][2] = {
    // CI runs as root, which mpirun refuses unless told twice.
    {"OMPI_ALLOW_RUN_AS_ROOT", "1"},
    {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"},
    // Up to 4 ranks on a 2-core machine, unbound, as other tests run there
    // too; a rank that waits yields its core.
    {"OMPI_MCA_rmaps_base_oversubscribe", "1"},
    {"OMPI_MCA_hwloc_base_binding_policy", "none"},
    {"OMPI_MCA_mpi_yield_when_idle", "1"},
    // Shared memory between local ranks only: half the start-up time, and
    // no TCP sockets.
    {"OMPI_MCA_pml", "ob1"},
    {"OMPI_MCA_btl", "self,vader"},
    // A job with a failing rank ends at once, not after mpirun's 1 to 2 s
    // grace for the others; the stop tests ask for the grace themselves.
    {"OMPI_MCA_odls_base_sigkill_timeout", "0"},
};

class JobSettings : public ::testing::Environment {
 public:
  void SetUp() override {
    for (const auto& setting : kJobSettings) setenv(setting[0], setting[1], 1);
  }
};

[[maybe_unused]] const ::testing::Environment* const kJobEnvironment =
    ::testing::AddGlobalTestEnvironment(new JobSettings);

// The children of a process: every thread's list, since a child belongs to
// the thread that forked it.
std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  const std::string tasks = "/proc/" + std::to_string(parent) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (dir == nullptr) return children;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream in(tasks + "/" + entry->d_name + "/children");
    for (pid_t child; in >> child;) children.push_back(child);
  }
  closedir(dir);
  return children;
}

// The rank Open MPI gave a process in its environment, or -1.
int RankOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  const std::string key = "OMPI_COMM_WORLD_RANK=";
  for (std::string entry; std::getline(in, entry, '\0');) {
    if (entry.rfind(key, 0) == 0) return std::atoi(entry.c_str() + key.size());
  }
  return -1;
}

}  // namespace

std::vector<std::string> Cluster_MpirunArgs(int ranks, const std::vector<std::string>& args,
                                            const std::vector<std::string>& mpirunOptions) {
  // -q: none of mpirun's own boxed messages, so that standard error holds
  // what the ranks wrote and nothing else. A job that hangs fails after a
  // minute (status 110) instead of holding the tests up.
  std::vector<std::string> line = JoinArgs({"-q", "--timeout", "60"}, mpirunOptions);
  line = JoinArgs(line, {"-np", std::to_string(ranks), ProgramPath("pathsuite-mpi")});
  return JoinArgs(line, args);
}

ProcessResult Cluster_Run(int ranks, const std::vector<std::string>& args,
                          const std::string& stdoutPath) {
  if (ranks == 0) return RunProgram("pathsuite-mpi", args, stdoutPath);
  return RunProgram(MPIEXEC, Cluster_MpirunArgs(ranks, args), stdoutPath);
}

std::string Cluster_Describe(int ranks, const std::vector<std::string>& args) {
  std::ostringstream text;
  if (ranks > 0) text << "mpirun -np " << ranks << " ";
  text << "pathsuite-mpi";
  for (const std::string& a : args) text << " " << a;
  return text.str();
}

pid_t Cluster_RankPid(pid_t mpirun, int rank, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  do {
    for (const pid_t child : ChildrenOf(mpirun)) {
      if (RankOf(child) == rank) return child;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < deadline);
  return -1;
}
