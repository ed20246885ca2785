// The runner through its executable: it must print exactly what each
// program prints (standard output, standard error, status) for any thread
// count, and its own command line fails the way its usage says.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "paths/Threads.h"
#include "runner/Runner.h"
#include "tests/TestSupport.h"

namespace {

const std::string kUsage =
    "usage: pathsuite [--threads N] [--progress | --no-progress] [--output FILE]\n"
    "                 [--checkpoint FILE [--checkpoint-every SECONDS]] PROGRAM [ARGS...]\n"
    "       pathsuite --help | --version\n";

struct SameCase {
  std::string label;
  std::string program;
  std::vector<std::string> args;
  int status;             // what the program itself must end with
  std::string stdoutPath;  // empty: captured
};

// The program's own run first, so that a case that does not do what its
// label says (an error where output was meant) shows, then the runner's.
void ExpectRunnerAsProgram(const SameCase& c) {
  SCOPED_TRACE(c.label + " (" + c.program + ")");
  const ProcessResult own = RunProgram(c.program, c.args, c.stdoutPath);
  ASSERT_EQ(c.status, own.status) << own.err;
  if (c.status == 0) {
    ASSERT_EQ("", own.err);
  }
  for (const std::string threads : {"1", "2", "7"}) {
    SCOPED_TRACE("--threads " + threads);
    const ProcessResult r =
        RunProgram("pathsuite", JoinArgs({"--threads", threads, c.program}, c.args), c.stdoutPath);
    EXPECT_EQ(own.status, r.status);
    EXPECT_EQ(own.err, r.err);
    EXPECT_EQ(own.out.size(), r.out.size());
    EXPECT_TRUE(own.out == r.out) << "standard output differs";
  }
}

TEST(Runner, SameBytesOnGeneratedGraphs) {
  const TempDir dir;
  std::mt19937_64 rng(4096);
  const GraphShape shapes[] = {
      {20, 60, 30, false}, {12, 25, 0, true}, {300, 900, 5, false}, {1, 3, 50, false}};
  int k = 0;
  for (const GraphShape& shape : shapes) {
    const std::string path = dir.path() + "/g" + std::to_string(k++) + ".txt";
    std::ofstream(path, std::ios::binary) << MakeGraph(rng, shape);
    for (const std::string program : {"anybridge", "anypairs"}) {
      ExpectRunnerAsProgram({"graph " + path, program, {path, "x", "100000"}, 0, ""});
    }
  }
}

TEST(Runner, SameBytesOnTheBundledDataset) {
  const std::string dataset = std::string(SOURCE_DIR) + "/data/main.txt";
  const SameCase cases[] = {
      {"dataset", "plusbridge", {}, 0, ""},
      {"dataset", "betweenness", {}, 0, ""},
      {"dataset", "linkbridge", {}, 0, ""},
      {"whole range", "spanpairs", {"0", "17038"}, 0, ""},
      {"part of the range", "spanpairs", {"3", "9"}, 0, ""},
      {"names read as 0..0", "spanpairs", {"x", "y"}, 0, ""},
      {"the dataset as a file", "anybridge", {dataset, "x", "17039"}, 0, ""},
      {"the dataset as a file", "anypairs", {dataset, "x", "17039"}, 0, ""},
  };
  for (const SameCase& c : cases) ExpectRunnerAsProgram(c);
}

TEST(Runner, SameMessagesAndStatusOnErrors) {
  const TempDir dir;
  const std::string missing = dir.path() + "/missing.txt";
  const std::string bad = dir.path() + "/bad.txt";
  std::ofstream(bad) << "a b 1\nb c oops\n";
  const std::string tri = dir.path() + "/tri.txt";
  std::ofstream(tri) << "a b 1\nb c 1\n";
  std::vector<SameCase> cases;
  for (const std::string p : {"anybridge", "anypairs"}) {
    cases.push_back({"missing file", p, {missing, "x", "10"}, 1, ""});
    cases.push_back({"a directory", p, {dir.path(), "x", "10"}, 1, ""});
    cases.push_back({"bad line", p, {bad, "x", "10"}, 1, ""});
    cases.push_back({"more names than the capacity", p, {tri, "x", "2"}, 1, ""});
    cases.push_back({"capacity 0", p, {tri, "x", "0"}, 2, ""});
    cases.push_back({"capacity abc", p, {tri, "x", "abc"}, 2, ""});
    cases.push_back({"capacity too large", p, {tri, "x", "2147483648"}, 2, ""});
    cases.push_back({"no arguments", p, {}, 2, ""});
    cases.push_back({"one argument", p, {tri}, 2, ""});
    cases.push_back({"two arguments", p, {tri, "x"}, 2, ""});
    cases.push_back({"help", p, {"--help"}, 0, ""});
    cases.push_back({"version", p, {"--version"}, 0, ""});
    cases.push_back({"full output", p, {tri, "x", "10"}, 1, "/dev/full"});
  }
  cases.push_back({"no arguments", "spanpairs", {}, 2, ""});
  cases.push_back({"one argument", "spanpairs", {"0"}, 2, ""});
  cases.push_back({"below the range", "spanpairs", {"-1", "5"}, 2, ""});
  cases.push_back({"above the range", "spanpairs", {"0", "17039"}, 2, ""});
  cases.push_back({"full output", "spanpairs", {"0", "17038"}, 1, "/dev/full"});
  cases.push_back({"full output", "linkbridge", {}, 1, "/dev/full"});
  cases.push_back({"help", "betweenness", {"--help"}, 0, ""});
  cases.push_back({"version", "spanpairs", {"--version"}, 0, ""});
  for (const SameCase& c : cases) ExpectRunnerAsProgram(c);
}

TEST(Runner, OwnCommandLineErrors) {
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  std::ofstream(tri) << "a b 1\nb c 1\n";
  const std::vector<std::string> run = {"anybridge", tri, "x", "10"};
  const std::string names = "(one of anybridge, plusbridge, betweenness, linkbridge, spanpairs, "
                            "anypairs, scores, distances)";
  const std::string threads = "--threads takes a whole number from 1 to 4096, not ";
  const std::string every = "--checkpoint-every takes a number of seconds above 0, not ";
  const std::string ckpt = dir.path() + "/run.ckpt";
  struct UsageCase {
    std::vector<std::string> args;
    std::string message;
  };
  const UsageCase cases[] = {
      {JoinArgs({"--bogus"}, run), "unknown option '--bogus'"},
      {JoinArgs({"-t", "2"}, run), "unknown option '-t'"},
      {JoinArgs({"--threads", "0"}, run), threads + "'0'"},
      {JoinArgs({"--threads", "4097"}, run), threads + "'4097'"},
      {JoinArgs({"--threads", "x"}, run), threads + "'x'"},
      {JoinArgs({"--threads", "-2"}, run), threads + "'-2'"},
      {JoinArgs({"--threads", "1.5"}, run), threads + "'1.5'"},
      {JoinArgs({"--threads", "2 5"}, run), threads + "'2 5'"},
      {JoinArgs({"--threads", "1+1"}, run), threads + "'1+1'"},
      {JoinArgs({"--threads="}, run), threads + "''"},
      {{"--threads"}, "--threads needs a value"},
      {{"--checkpoint"}, "--checkpoint needs a value"},
      {JoinArgs({"--checkpoint="}, run), "--checkpoint needs a file name"},
      {{"--checkpoint", ckpt, "anypairs", tri, "x", "10"},
       "checkpoints are for the betweenness programs, not anypairs"},
      {{"--checkpoint", ckpt, "spanpairs", "0", "3"},
       "checkpoints are for the betweenness programs, not spanpairs"},
      {JoinArgs({"--checkpoint-every", "1"}, run), "--checkpoint-every needs --checkpoint"},
      {JoinArgs({"--checkpoint", ckpt, "--checkpoint-every", "0"}, run), every + "'0'"},
      {JoinArgs({"--checkpoint", ckpt, "--checkpoint-every", "-1"}, run), every + "'-1'"},
      {JoinArgs({"--checkpoint", ckpt, "--checkpoint-every", "abc"}, run), every + "'abc'"},
      {JoinArgs({"--checkpoint", ckpt, "--checkpoint-every=nan"}, run), every + "'nan'"},
      {{}, "no PROGRAM given " + names},
      {{"--threads", "2"}, "no PROGRAM given " + names},
      {{"--threads", "2", "--"}, "no PROGRAM given " + names},
      {{"nope", tri, "x", "10"}, "unknown program 'nope' " + names},
      {{"--", "--help"}, "unknown program '--help' " + names},
      // The six programs ignore arguments they do not use: the runner's
      // options after PROGRAM would go unheeded.
      {JoinArgs(run, {"--threads", "1"}), "'--threads' after anybridge: options go before PROGRAM"},
      {{"anybridge", "--threads=2", tri, "x", "10"},
       "'--threads=2' after anybridge: options go before PROGRAM"},
      {{"betweenness", "--progress"}, "'--progress' after betweenness: options go before PROGRAM"},
      {{"spanpairs", "0", "3", "--output", ckpt},
       "'--output' after spanpairs: options go before PROGRAM"},
      {JoinArgs(run, {"--checkpoint-every=5"}),
       "'--checkpoint-every=5' after anybridge: options go before PROGRAM"},
      // A value forgotten before PROGRAM leaves PROGRAM as the file.
      {{"--checkpoint", "anybridge", tri, "x", "10"},
       "--checkpoint takes a file name, not the program 'anybridge' (for a file of that name, "
       "give ./anybridge)"},
      {{"--output", "betweenness"},
       "--output takes a file name, not the program 'betweenness' (for a file of that name, "
       "give ./betweenness)"},
      {JoinArgs({"--output="}, run), "--output needs a file name"},
      {JoinArgs({"--output", ckpt, "--checkpoint", dir.path() + "/./run.ckpt"}, run),
       "--output and --checkpoint name one file: " + ckpt},
  };
  for (const UsageCase& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += " '" + a + "'";
    SCOPED_TRACE("pathsuite" + line);
    const ProcessResult r = RunProgram("pathsuite", c.args);
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("pathsuite: " + c.message + "\n" + kUsage, r.err);
    EXPECT_EQ("", r.out);
  }
  // A command line that fails makes no checkpoint, nor a file beside one.
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++files;
  }
  EXPECT_EQ(1u, files);
}

TEST(Runner, HelpVersionAndOptionForms) {
  const ProcessResult help = RunProgram("pathsuite", {"--help"});
  EXPECT_EQ(0, help.status);
  EXPECT_EQ("", help.err);
  EXPECT_EQ(0u, help.out.rfind(kUsage, 0)) << help.out;
  EXPECT_NE(std::string::npos, help.out.find("PROGRAM: anybridge, plusbridge, betweenness, "
                                             "linkbridge, spanpairs, anypairs, scores, "
                                             "distances; options go before it\n(scores and "
                                             "distances take them after it too; PROGRAM "
                                             "--help tells more).\n"));
  for (const char* option : {"--threads N", "--progress", "--no-progress", "--output FILE",
                             "--checkpoint FILE", "--checkpoint-every S"}) {
    EXPECT_NE(std::string::npos, help.out.find(std::string("  ") + option + " ")) << option;
  }
  const ProcessResult version = RunProgram("pathsuite", {"--version"});
  EXPECT_EQ(0, version.status);
  EXPECT_EQ("", version.err);
  EXPECT_EQ("pathsuite (pathsuite) " PATHSUITE_VERSION "\n", version.out);

  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  std::ofstream(tri) << "a b 1\nb c 1\nc d 2\n";
  const ProcessResult own = RunProgram("anybridge", {tri, "x", "10"});
  ASSERT_EQ(0, own.status);
  // What follows PROGRAM is the program's: its own --help, and after "--"
  // before PROGRAM even what looks like the runner's options.
  const ProcessResult ownHelp = RunProgram("anybridge", {"--help"});
  const ProcessResult ownShort = RunProgram("anybridge", {"--threads", "2"});
  ASSERT_EQ(2, ownShort.status);
  const ProcessResult ownIgnoring = RunProgram("anybridge", {tri, "--progress", "10"});
  ASSERT_EQ(0, ownIgnoring.status);
  struct FormCase {
    std::vector<std::string> args;
    const ProcessResult& expected;
  };
  const FormCase forms[] = {
      {{"--threads=2", "anybridge", tri, "x", "10"}, own},
      {{"--threads", "+3", "anybridge", tri, "x", "10"}, own},
      {{"--", "anybridge", tri, "x", "10"}, own},
      {{"--threads=2", "--", "anybridge", tri, "x", "10"}, own},
      {{"--progress", "--no-progress", "anybridge", tri, "x", "10"}, own},
      {{"anybridge", "--help"}, ownHelp},
      {{"--", "anybridge", "--threads", "2"}, ownShort},
      {{"--threads", "2", "--", "anybridge", tri, "--progress", "10"}, ownIgnoring},
      {{"--output", "./anybridge", "anybridge", "--help"}, ownHelp},
  };
  for (const FormCase& f : forms) {
    std::string line;
    for (const std::string& a : f.args) line += " " + a;
    SCOPED_TRACE("pathsuite" + line);
    const ProcessResult r = RunProgram("pathsuite", f.args);
    EXPECT_EQ(f.expected.status, r.status);
    EXPECT_EQ(f.expected.out, r.out);
    EXPECT_EQ(f.expected.err, r.err);
  }
}

// Names and arguments that a message echoes keep it on one line: control
// characters are written out, UTF-8 is kept.
TEST(Runner, MessagesEscapeControlCharacters) {
  const TempDir dir;
  const std::string tri = dir.path() + "/tri.txt";
  std::ofstream(tri) << "a b 1\nb c 1\n";
  const std::string badPath = dir.path() + "/bad\nname\xc3\xa9.txt";
  std::ofstream(badPath) << "a b 1\nb c oops\n";
  const std::string missing = dir.path() + "/mi\nss\t\xc3\xa9\x01.txt";
  const std::string shownMissing = dir.path() + "/mi\\nss\\t\xc3\xa9\\x01.txt";
  const std::string capacity = "node capacity must be an integer from 1 to 2147483647, not ";
  struct EscapeCase {
    std::string program;
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const EscapeCase cases[] = {
      {"anybridge", {tri, "x", "abc\ndef"}, 2, "anybridge: " + capacity + "'abc\\ndef'\n"},
      {"anypairs", {tri, "x", "a\tb\x01\x1b[31m\x7f\xc3\xa9"}, 2,
       "anypairs: " + capacity + "'a\\tb\\x01\\x1b[31m\\x7f\xc3\xa9'\n"},
      {"anybridge", {missing, "x", "10"}, 1,
       "anybridge: cannot open " + shownMissing + ": No such file or directory\n"},
      {"anypairs", {badPath, "x", "10"}, 1,
       "anypairs: " + dir.path() + "/bad\\nname\xc3\xa9.txt:2: expected two names and a weight\n"},
      {"spanpairs", {"-1\nx", "5\t"}, 2,
       "spanpairs: source indices must lie in 0..17038, not -1\\nx..5\\t\n"},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.program + " " + c.err);
    const ProcessResult own = RunProgram(c.program, c.args);
    EXPECT_EQ(c.status, own.status);
    EXPECT_EQ(c.err, own.err);
    EXPECT_EQ("", own.out);
    const ProcessResult viaRunner = RunProgram("pathsuite", JoinArgs({c.program}, c.args));
    EXPECT_EQ(c.status, viaRunner.status);
    EXPECT_EQ(c.err, viaRunner.err);
    EXPECT_EQ("", viaRunner.out);
  }
  // The runner's own messages, and a checkpoint path in the program's.
  const ProcessResult option = RunProgram("pathsuite", {"--a\nb\x02", "anybridge"});
  EXPECT_EQ(2, option.status);
  EXPECT_EQ("pathsuite: unknown option '--a\\nb\\x02'\n" + kUsage, option.err);
  const ProcessResult program = RunProgram("pathsuite", {"any\tbridge\xc3\xa9"});
  EXPECT_EQ(2, program.status);
  EXPECT_EQ(0u, program.err.rfind("pathsuite: unknown program 'any\\tbridge\xc3\xa9' (", 0))
      << program.err;
  const std::string ckpt = dir.path() + "/no\ndir/ck";
  const ProcessResult checkpoint =
      RunProgram("pathsuite", {"--checkpoint", ckpt, "anybridge", tri, "x", "10"});
  EXPECT_EQ(1, checkpoint.status);
  EXPECT_EQ("anybridge: checkpoint " + dir.path() +
                "/no\\ndir/ck: cannot create a file beside it: No such file or directory\n",
            checkpoint.err);
  EXPECT_EQ("", checkpoint.out);
}

// A program whose row says so takes the runner's options anywhere after
// its name, mixed with its own; "--" ends them. The six programs' rows do
// not: there the runner's options after the name are an error.
TEST(Runner, ARowCanTakeTheRunnersOptionsAfterItsName) {
  Program people = Program_Of(Deliverable::Anybridge);
  people.name = "people";
  people.runnerOptionsAfterName = true;
  const Program table[] = {Program_Of(Deliverable::Anybridge), people};
  const RunnerOptions o = Runner_ReadOptions(
      {"--progress", "people", "g.txt", "--threads", "4", "--top", "10", "--output=o.txt", "--",
       "--threads", "2"},
      nullptr, table);
  ASSERT_EQ(&table[1], o.program);
  EXPECT_EQ(4u, o.threads);
  EXPECT_EQ(std::optional<bool>(true), o.progress);
  EXPECT_EQ("o.txt", o.output);
  EXPECT_EQ((std::vector<std::string>{"g.txt", "--top", "10", "--threads", "2"}), o.args);
  EXPECT_THROW(Runner_ReadOptions({"people", "--threads", "0"}, nullptr, table), RunError);
  try {
    Runner_ReadOptions({"anybridge", "g.txt", "--threads", "4"}, nullptr, table);
    ADD_FAILURE() << "an option after anybridge was taken";
  } catch (const RunError& e) {
    EXPECT_EQ(kStatusUsage, e.status());
    EXPECT_STREQ("'--threads' after anybridge: options go before PROGRAM", e.what());
  }
}

// The default thread count follows a cgroup's cpu.max "QUOTA PERIOD".
TEST(Threads, QuotaLimitReadsCpuMax) {
  const struct {
    const char* line;
    unsigned cpus;
  } cases[] = {
      {"max 100000", 0},    {"200000 100000", 2}, {"150000 100000", 2}, {"50000 100000", 1},
      {"100000 100000", 1}, {"", 0},              {"abc", 0},           {"100000 0", 0},
      {"0 100000", 0},      {"-1 100000", 0},     {"100000", 0},        {"max", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.cpus, Threads_QuotaLimit(c.line)) << '"' << c.line << '"';
}

}  // namespace
