// What keeps a job from hanging or lying: every rank reads its own command
// line and all agree before any work, so a bad option on any rank, or ranks
// given other programs or arguments, end the job at once with that rank's
// message; under mpirun a checkpointed run writes its listing to a file,
// whose failed write is reported and keeps the checkpoint; a rank short of
// memory is named.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "graph/EdgeGraph.h"
#include "library/Checkpoint.h"
#include "tests/cluster/ClusterSupport.h"

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// One part of an MPMD job: its ranks and their command line, the program
// given by path so that a shell may start it.
struct Part {
  int ranks;
  std::vector<std::string> args;
};

std::vector<std::string> MpmdLine(const std::vector<Part>& parts) {
  std::vector<std::string> line = Cluster_MpirunArgs(parts[0].ranks, parts[0].args);
  for (size_t k = 1; k < parts.size(); ++k) {
    line = JoinArgs(line, {":", "-np", std::to_string(parts[k].ranks)});
    line = JoinArgs(line, parts[k].args.empty() || parts[k].args[0] != "sh"
                              ? JoinArgs({ProgramPath("pathsuite-mpi")}, parts[k].args)
                              : parts[k].args);
  }
  return line;
}

class ClusterOps : public ::testing::Test {
 protected:
  void SetUp() override {
    input_ = dir_.path() + "/social.txt";
    WriteBytes(input_, SocialGraph(300, 41));
  }
  std::vector<std::string> Run(const std::string& capacity = "1000") const {
    return {"anybridge", input_, "x", capacity};
  }
  TempDir dir_;
  std::string input_;
};

// Before, each of these hung forever or printed a wrong listing. The lowest
// rank whose command line is bad says so, with its rank; every rank ends
// with the usage status; nothing is printed.
TEST_F(ClusterOps, RanksAgreeOnTheCommandLineBeforeAnyWork) {
  const std::string usage = kClusterUsage;
  const std::string same = ": every rank runs the same program on the same arguments\n";
  const std::string shown = "anybridge " + input_ + " x 1000";
  const struct {
    std::string label;
    std::vector<Part> parts;
    std::string err;
  } cases[] = {
      {"a bad option on ranks 1 and 2", {{1, Run()}, {2, JoinArgs({"--bogus"}, Run())}},
       "pathsuite-mpi: rank 1: unknown option '--bogus'\n" + usage},
      {"a bad option on rank 0", {{1, JoinArgs({"--bogus"}, Run())}, {2, Run()}},
       "pathsuite-mpi: unknown option '--bogus'\n" + usage},
      {"--threads 0 on rank 1", {{1, Run()}, {1, JoinArgs({"--threads", "0"}, Run())}},
       "pathsuite-mpi: rank 1: --threads takes a whole number from 1 to 4096, not '0'\n" + usage},
      {"another capacity on rank 1", {{1, Run()}, {1, Run("1001")}},
       "pathsuite-mpi: rank 1: given 'anybridge " + input_ + " x 1001', not '" + shown +
           "' as rank 0 is" + same},
      {"another program on rank 2", {{2, Run()}, {1, {"betweenness"}}},
       "pathsuite-mpi: rank 2: given 'betweenness', not '" + shown + "' as rank 0 is" + same},
      {"--help on rank 0 only", {{1, {"--help"}}, {1, Run()}},
       "pathsuite-mpi: rank 1: given '" + shown + "', not '--help' as rank 0 is" + same},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const ProcessResult r = RunProgram(MPIEXEC, MpmdLine(c.parts));
    EXPECT_EQ(2, r.status);
    EXPECT_EQ(c.err, r.err);
    EXPECT_EQ("", r.out);
  }
}

// Under mpirun, standard output is mpirun's pipe: a write to it succeeds
// before the bytes reach their file, so the listing of a checkpointed run
// must go to --output, or the checkpoint could go with the listing lost.
// There, a listing that cannot be written (a disk that fills up, a real
// one where tmpfs can be mounted) fails the job and keeps the checkpoint.
TEST_F(ClusterOps, UnderMpirunACheckpointedListingGoesToAFileThatIsWrittenOrReported) {
  const std::string ckpt = dir_.path() + "/run.ckpt";
  Checkpoint_Write(ckpt, {"nobody", 1, 1, 1, 1}, 0, std::vector<double>(1, 0.0));
  const std::string saved = ReadFileBytes(ckpt);
  const ProcessResult lost =
      Cluster_Run(3, JoinArgs({"--checkpoint", ckpt}, Run()), "/dev/full");
  EXPECT_EQ(2, lost.status);
  EXPECT_EQ("pathsuite-mpi: --checkpoint needs --output under mpirun: a listing that passes "
            "through mpirun cannot be known to be written, and the checkpoint goes once it is\n" +
                std::string(kClusterUsage),
            lost.err);
  EXPECT_TRUE(saved == ReadFileBytes(ckpt)) << "the checkpoint changed";
  std::filesystem::remove(ckpt);

  // The listing as a file, on 3 ranks, for both kinds of program.
  const std::string out = dir_.path() + "/out.txt";
  for (const std::string program : {"anybridge", "anypairs"}) {
    SCOPED_TRACE(program);
    const ProcessResult own = RunProgram(program, {input_, "x", "1000"});
    ASSERT_EQ(0, own.status);
    const ProcessResult r =
        Cluster_Run(3, {"--threads", "1", "--output", out, program, input_, "x", "1000"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(own.out == ReadFileBytes(out)) << "the file is not the listing";
  }

  // Full: the fault library's disk, and tmpfs where it can be mounted.
  const std::string tmpfs = dir_.path() + "/small";
  std::filesystem::create_directory(tmpfs);
  const bool mounted = mount("tmpfs", tmpfs.c_str(), "tmpfs", 0, "size=4k") == 0;
  struct FullCase {
    std::string output;
    std::string fault;  // empty: none
  };
  std::vector<FullCase> cases = {{out, "write:.part-:ENOSPC:1000"}};
  // A checkpoint of this run, 100 sources in.
  RunSettings settings = SettingsWithPath(Deliverable::Anybridge, input_);
  settings.nodeCapacity = 1000;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  Checkpoint_Write(ckpt, {"anybridge", 1000, graph.nameCount, graph.inputSize, graph.inputHash},
                   100, std::vector<double>(static_cast<size_t>(graph.nameCount), 0.0));
  const std::string state = ReadFileBytes(ckpt);
  if (mounted) cases.push_back({tmpfs + "/out.txt", ""});
  for (const FullCase& c : cases) {
    SCOPED_TRACE(c.fault.empty() ? "tmpfs" : c.fault);
    WriteBytes(ckpt, state);
    WriteBytes(c.output, "an older listing\n");
    const std::vector<std::string> line =
        JoinArgs({"--checkpoint", ckpt, "--output", c.output}, Run());
    ProcessResult r;
    if (c.fault.empty()) {
      r = Cluster_Run(2, line);
    } else {
      const ScopedFault fault(c.fault);
      r = RunProgram(MPIEXEC, Cluster_MpirunArgs(2, line, fault.MpirunOptions()));
    }
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("anybridge: cannot write " + c.output + ": No space left on device\n", r.err);
    EXPECT_EQ("an older listing\n", ReadFileBytes(c.output));
    EXPECT_TRUE(state == ReadFileBytes(ckpt)) << "the checkpoint changed or went";
    std::filesystem::remove(c.output);
  }
  if (mounted) umount(tmpfs.c_str());
  if (!mounted) std::cout << "[ NOTE ] tmpfs could not be mounted: its case was left out\n";
}

// A rank under a memory limit, with eight threads: at each limit the job
// either prints the program's bytes (threads that did not fit, at the
// start or as their searches grew, left the work to the others), or ends
// with status 1 and the rank's own "out of memory", the first rank then
// naming it; or, where the limit is below what MPI itself needs to start,
// Open MPI fails the start (status not 0, nothing written, with -q). A
// message without the rank, or a wrong listing, is never right.
TEST_F(ClusterOps, ARankShortOfMemoryIsNamed) {
  const std::string graph = dir_.path() + "/social-2000.txt";
  WriteBytes(graph, SocialGraph(2000, 2000));
  const ProcessResult own = RunProgram("anybridge", {graph, "x", "3000"});
  ASSERT_EQ(0, own.status);
  const std::vector<std::string> run = {"anybridge", graph, "x", "3000"};
  int listed = 0, named = 0;
  for (const long limitKiB : {60000L, 90000L, 160000L, 220000L, 270000L, 340000L}) {
    SCOPED_TRACE("rank 1 under " + std::to_string(limitKiB) + " KiB");
    std::string shell = "ulimit -v " + std::to_string(limitKiB) + "; exec '" +
                        ProgramPath("pathsuite-mpi") + "' --threads 8";
    for (const std::string& a : run) shell += " '" + a + "'";
    const ProcessResult r = RunProgram(
        MPIEXEC, MpmdLine({{1, JoinArgs({"--threads", "2"}, run)}, {1, {"sh", "-c", shell}}}));
    if (r.status == 0) {
      EXPECT_EQ("", r.err);
      EXPECT_TRUE(own.out == r.out) << "not the program's bytes";
      ++listed;
      continue;
    }
    EXPECT_EQ("", r.out);
    // MPI could not start under the limit: no word of ours, at most Open MPI's.
    if (r.err.rfind("anybridge: ", 0) != 0 && r.err.find("\nanybridge: ") == std::string::npos) continue;
    const std::string first = "anybridge: rank 1: out of memory\n";
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(0u, r.err.rfind(first, 0)) << r.err;
    const std::string rest = r.err.substr(std::min(first.size(), r.err.size()));
    EXPECT_TRUE(rest.empty() || rest.rfind("anybridge: rank 1 ended, so the job stopped after ", 0) == 0)
        << r.err;
    ++named;
  }
  EXPECT_GT(listed, 0) << "no limit let the job through";
  EXPECT_GT(named, 0) << "no limit ran the rank out of memory";
}

}  // namespace
