// Checkpoint files through the runner's executable: a resumed run takes
// the saved scores and sources; a checkpoint that does not fit the run, or a
// place where none can be made, is refused with its reason, status 1 and
// nothing printed, and what was there stays as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "graph/EdgeGraph.h"
#include "library/Checkpoint.h"
#include "tests/TestSupport.h"

namespace {

// The header: magic (16), version (4), program name (16), five 8-byte fields.
constexpr size_t kHeaderBytes = 16 + 4 + 16 + 8 * 5;

// Checkpoints made here, through the runs' own writer, for small inputs.
struct Forged {
  std::string program;
  std::string input;  // the file whose identity the checkpoint carries
  int32_t capacity;
  int64_t sourcesDone;
  std::vector<double> scores;  // empty: zeros for every name
};

std::string ForgedBytes(const Forged& f, const std::string& path) {
  const Program* program = Program_Find(f.program);
  EXPECT_NE(nullptr, program);
  RunSettings settings = SettingsWithPath(program->id, f.input);
  settings.nodeCapacity = f.capacity;
  const EdgeGraph graph = EdgeGraph_Load(settings);
  const CheckpointIdentity identity{f.program, f.capacity, graph.nameCount, graph.inputSize,
                                    graph.inputHash};
  std::vector<double> scores = f.scores;
  if (scores.empty()) scores.assign(static_cast<size_t>(graph.nameCount), 0.0);
  Checkpoint_Write(path, identity, f.sourcesDone, scores);
  const std::string bytes = ReadFileBytes(path);
  std::filesystem::remove(path);
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A resumed run takes the saved scores and goes on from the saved source:
// scores no run could make show whether each was used.
TEST(Checkpoint, ResumeTakesTheSavedScoresAndSources) {
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  WriteBytes(tri, "a b 1\nb c 1\n");
  const std::string ckpt = dir.path() + "/run.ckpt";
  struct SavedCase {
    int64_t sourcesDone;
    std::vector<double> scores;
    std::string out;
  };
  const SavedCase cases[] = {
      {0, {0, 0, 0}, "a 0.000000\nb 2.000000\nc 0.000000\n"},
      {1, {0, 0, 0}, "a 0.000000\nb 1.000000\nc 0.000000\n"},  // only c's paths through b
      {2, {10, 20, 30}, "a 10.000000\nb 21.000000\nc 30.000000\n"},
      {3, {1.5, 2.25, -3}, "a 1.500000\nb 2.250000\nc -3.000000\n"},
  };
  for (const SavedCase& c : cases) {
    for (const std::string threads : {"1", "3"}) {
      SCOPED_TRACE(std::to_string(c.sourcesDone) + " sources done, threads " + threads);
      WriteBytes(ckpt, ForgedBytes({"anybridge", tri, 10, c.sourcesDone, c.scores}, ckpt));
      const ProcessResult r = RunProgram(
          "pathsuite", {"--threads", threads, "--checkpoint", ckpt, "anybridge", tri, "x", "10"});
      EXPECT_EQ(0, r.status);
      EXPECT_EQ("", r.err);
      EXPECT_EQ(c.out, r.out);
      EXPECT_FALSE(std::filesystem::exists(ckpt));
    }
  }
  // A listing that cannot be written is no success: the checkpoint stays.
  const std::string saved = ForgedBytes({"anybridge", tri, 10, 3, {1, 2, 3}}, ckpt);
  WriteBytes(ckpt, saved);
  const ProcessResult full = RunProgram(
      "pathsuite", {"--checkpoint", ckpt, "anybridge", tri, "x", "10"}, "/dev/full");
  EXPECT_EQ(1, full.status);
  EXPECT_EQ("anybridge: cannot write standard output: No space left on device\n", full.err);
  EXPECT_EQ(saved, ReadFileBytes(ckpt));
}

// What a refused checkpoint must leave as it was.
struct Stamp {
  bool exists = false;
  std::string bytes;
  int64_t mtimeNs = 0;
  std::set<std::string> beside;  // the directory's names
};

Stamp StampOf(const std::string& path) {
  Stamp s;
  struct stat st {};
  s.exists = stat(path.c_str(), &st) == 0;
  if (s.exists) {
    s.mtimeNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode)) s.bytes = ReadFileBytes(path);
  }
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (std::filesystem::is_directory(parent, error)) s.beside = DirectoryNames(parent.string());
  return s;
}

// An old time, so that any rewrite shows in the modification time.
void SetOldTime(const std::string& path) {
  const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

struct RefusedCase {
  std::string label;
  std::string bytes;  // the checkpoint's content
  std::vector<std::string> run;  // PROGRAM and its arguments
  std::string reason;
};

// Each case's checkpoint is refused with "PROGRAM: checkpoint PATH: REASON",
// status 1 and nothing printed, and stays as it was.
// watchBeside: whether the directory's names must stay as they were (not
// for a directory whose names change by themselves, as /proc's).
void ExpectRefused(const std::string& ckpt, const std::vector<std::string>& run,
                   const std::string& reason, bool watchBeside = true) {
  const Stamp before = StampOf(ckpt);
  const ProcessResult r = RunProgram("pathsuite", JoinArgs({"--checkpoint", ckpt}, run));
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(run[0] + ": checkpoint " + ckpt + ": " + reason + "\n", r.err);
  EXPECT_EQ("", r.out);
  const Stamp after = StampOf(ckpt);
  EXPECT_EQ(before.exists, after.exists);
  EXPECT_TRUE(before.bytes == after.bytes) << "checkpoint changed";
  EXPECT_EQ(before.mtimeNs, after.mtimeNs);
  if (watchBeside) {
    EXPECT_EQ(before.beside, after.beside);
  }
}

std::string Flip(std::string bytes, size_t at, unsigned char mask) {
  bytes.at(at) = static_cast<char>(static_cast<unsigned char>(bytes.at(at)) ^ mask);
  return bytes;
}

TEST(Checkpoint, RefusedWhenItDoesNotFitTheRun) {
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  WriteBytes(tri, "a b 1\nb c 1\n");
  const std::string sameSize = dir.path() + "/same-size.txt";
  WriteBytes(sameSize, "a b 1\nb c 2\n");
  const std::string fourNames = dir.path() + "/four.txt";
  WriteBytes(fourNames, "a b 1\nb c 1\nc d 1\n");
  const std::string dataset = std::string(SOURCE_DIR) + "/data/main.txt";
  const std::string ckpt = dir.path() + "/run.ckpt";
  // Three names: the scores take bytes 76 to 99, the checksum 100 to 107.
  const std::string good = ForgedBytes({"anybridge", tri, 10, 1, {}}, ckpt);
  ASSERT_EQ(kHeaderBytes + 3 * 8 + 8, good.size());
  const std::vector<std::string> triRun = {"anybridge", tri, "x", "10"};
  const std::string checksum = "corrupt: checksum mismatch";
  std::vector<RefusedCase> cases = {
      {"another input of the same size", good, {"anybridge", sameSize, "x", "10"},
       "made for another input file"},
      {"another input with more names", good, {"anybridge", fourNames, "x", "10"},
       "made for another input file"},
      {"another capacity", good, {"anybridge", tri, "x", "11"},
       "made with node capacity 10, not 11"},
      {"anybridge's, resumed by betweenness",
       ForgedBytes({"anybridge", dataset, 17039, 5, {}}, ckpt), {"betweenness"},
       "made by anybridge, not betweenness"},
      {"betweenness', resumed by anybridge",
       ForgedBytes({"betweenness", dataset, 17039, 5, {}}, ckpt),
       {"anybridge", dataset, "x", "17039"}, "made by betweenness, not anybridge"},
      {"plusbridge's, resumed by betweenness",
       ForgedBytes({"plusbridge", dataset, 17039, 5, {}}, ckpt), {"betweenness"},
       "made by plusbridge, not betweenness"},
      {"sources done above the names", ForgedBytes({"anybridge", tri, 10, 4, {}}, ckpt), triRun,
       "corrupt: sources done out of range"},
      {"sources done below 0", ForgedBytes({"anybridge", tri, 10, -1, {}}, ckpt), triRun,
       "corrupt: sources done out of range"},
      {"one byte more", good + '\0', triRun, "corrupt: longer than its header says"},
      {"text", "hello\n", triRun, "not a checkpoint file"},
      {"an edge list", "a b 1\nb c 1\n", triRun, "not a checkpoint file"},
      // Flipped bytes: the magic, the version's first and last byte, then
      // the name, capacity, node count, input size, hash, sources done,
      // first and last score and the checksum.
      {"flip at 0", Flip(good, 0, 0x20), triRun, "not a checkpoint file"},
      {"flip at 15", Flip(good, 15, 0x01), triRun, "not a checkpoint file"},
      {"flip at 16", Flip(good, 16, 0xff), triRun, "format version 254, not 1"},
      {"flip at 19", Flip(good, 19, 0x80), triRun, "format version 2147483649, not 1"},
      {"flip at 20", Flip(good, 20, 0x01), triRun, checksum},
      {"flip at 35", Flip(good, 35, 0x41), triRun, checksum},
      {"flip at 36", Flip(good, 36, 0x01), triRun, checksum},
      // A changed node count is corrupt, not truncated: the file is whole.
      {"node count 2", Flip(good, 44, 0x01), triRun, "corrupt: longer than its header says"},
      {"node count 4", Flip(good, 44, 0x07), triRun, "corrupt: node count 4 does not fit its length"},
      {"node count 2^56 + 3", Flip(good, 51, 0x01), triRun,
       "corrupt: node count 72057594037927939 does not fit its length"},
      {"node count negative", Flip(good, 51, 0x80), triRun, "corrupt: node count out of range"},
      {"flip at 52", Flip(good, 52, 0x01), triRun, checksum},
      {"flip at 60", Flip(good, 60, 0x10), triRun, checksum},
      {"flip at 68", Flip(good, 68, 0x02), triRun, checksum},
      {"flip at 76", Flip(good, 76, 0x01), triRun, checksum},
      {"flip at 99", Flip(good, 99, 0x80), triRun, checksum},
      {"flip at 107", Flip(good, 107, 0x01), triRun, checksum},
  };
  // Cut short, at any length, and so at one that a smaller count would fit.
  for (const size_t length : {0, 1, 10, 16, 20, 75, 76, 99, 100, 107}) {
    cases.push_back({"cut to " + std::to_string(length) + " bytes", good.substr(0, length),
                     triRun, "truncated"});
  }
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.label);
    WriteBytes(ckpt, c.bytes);
    SetOldTime(ckpt);
    ExpectRefused(ckpt, c.run, c.reason);
  }
  // The checkpoint a case leaves is still one the run takes.
  WriteBytes(ckpt, good);
  const ProcessResult r = RunProgram("pathsuite", JoinArgs({"--checkpoint", ckpt}, triRun));
  EXPECT_EQ(0, r.status) << r.err;
}

TEST(Checkpoint, RefusedWhereNoFileCanBeMade) {
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  WriteBytes(tri, "a b 1\nb c 1\n");
  const std::vector<std::string> run = {"anybridge", tri, "x", "10"};
  const std::string inDir = dir.path() + "/sub";
  std::filesystem::create_directory(inDir);
  SetOldTime(inDir);
  {
    SCOPED_TRACE("a directory");
    ExpectRefused(inDir, run, "Is a directory");
  }
  {
    // A FIFO would block an open for reading until a writer came.
    SCOPED_TRACE("a FIFO");
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const ProcessResult r = RunProgram("pathsuite", JoinArgs({"--checkpoint", fifo}, run));
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("anybridge: checkpoint " + fifo + ": not a regular file\n", r.err);
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  }
  const std::string missingDir = dir.path() + "/none/run.ckpt";
  for (const std::string& path : {missingDir, std::string("/proc/run.ckpt")}) {
    SCOPED_TRACE(path);
    ExpectRefused(path, run, "cannot create a file beside it: No such file or directory",
                  path == missingDir);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/none"));
  // sysfs takes no new files, not even from root; mounted read-only, it says so.
  const ProcessResult sys =
      RunProgram("pathsuite", JoinArgs({"--checkpoint", "/sys/run.ckpt"}, run));
  EXPECT_EQ(1, sys.status);
  const std::string head = "anybridge: checkpoint /sys/run.ckpt: cannot create a file beside it: ";
  EXPECT_TRUE(sys.err == head + "Permission denied\n" ||
              sys.err == head + "Read-only file system\n")
      << sys.err;
}

// Permissions stop no one running as root, as CI does.
TEST(Checkpoint, RefusedInAReadOnlyDirectory) {
  if (geteuid() == 0) GTEST_SKIP() << "root passes every permission check";
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  WriteBytes(tri, "a b 1\nb c 1\n");
  const std::vector<std::string> run = {"anybridge", tri, "x", "10"};
  const std::string locked = dir.path() + "/locked";
  std::filesystem::create_directory(locked);
  const std::string ckpt = locked + "/run.ckpt";
  WriteBytes(ckpt, ForgedBytes({"anybridge", tri, 10, 1, {}}, dir.path() + "/forge.ckpt"));
  SetOldTime(ckpt);
  chmod(locked.c_str(), 0555);
  {
    SCOPED_TRACE("a good checkpoint in a read-only directory");
    ExpectRefused(ckpt, run, "cannot create a file beside it: Permission denied");
  }
  chmod(locked.c_str(), 0755);
  chmod(ckpt.c_str(), 0);
  {
    SCOPED_TRACE("a checkpoint that cannot be read");
    ExpectRefused(ckpt, run, "Permission denied");
  }
  chmod(ckpt.c_str(), 0600);
}

}  // namespace
