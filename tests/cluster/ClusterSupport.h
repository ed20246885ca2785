// Helpers of the cluster tests: pathsuite-mpi as an MPI job of some ranks
// under mpirun, or alone, and the processes of a running job.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/TestSupport.h"

// The cluster runner's usage text, as its usage errors print it.
inline constexpr const char kClusterUsage[] =
    "usage: pathsuite-mpi [--threads N] [--progress | --no-progress] [--output FILE]\n"
    "                     [--checkpoint FILE [--checkpoint-every SECONDS]]\n"
    "                     [--block SOURCES] [--segment NODES] PROGRAM [ARGS...]\n"
    "       pathsuite-mpi --help | --version\n";

// mpirun's command line for a job of `ranks` ranks of pathsuite-mpi with
// args; mpirunOptions go before the job's size.
std::vector<std::string> Cluster_MpirunArgs(int ranks, const std::vector<std::string>& args,
                                            const std::vector<std::string>& mpirunOptions = {});

// Runs pathsuite-mpi with args as a job of `ranks` ranks, or alone (a
// singleton, without mpirun) when ranks is 0; as RunProgram.
ProcessResult Cluster_Run(int ranks, const std::vector<std::string>& args,
                          const std::string& stdoutPath = "");

// "mpirun -np 3 pathsuite-mpi ARGS" or "pathsuite-mpi ARGS": a job for messages.
std::string Cluster_Describe(int ranks, const std::vector<std::string>& args);

// The process of rank `rank` of the job that mpirun (its parent) runs,
// found among mpirun's children by the rank it was given; waits for it for
// at most `seconds`. -1 when there is none.
pid_t Cluster_RankPid(pid_t mpirun, int rank, double seconds);
