// A few runs of the real executables: exit status, standard output and
// standard error as a user sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/TestSupport.h"

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(Executables, AnybridgeOnASmallFile) {
  TempFile file("a b 1\nb c 1\n");
  const ProcessResult r = RunProgram("anybridge", {file.path(), "0", "10"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "a 0.000000\nb 2.000000\nc 0.000000\n");
  EXPECT_EQ(r.err, "");
}

TEST(Executables, AnybridgeWithTwoArgumentsIsAUsageError) {
  TempFile file("a b 1\n");
  const ProcessResult r = RunProgram("anybridge", {file.path(), "0"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(StartsWith(r.err, "anybridge: ")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(Executables, MissingInputFile) {
  const std::string path = "/tmp/pathsuite-no-such-input.txt";
  const ProcessResult r = RunProgram("anybridge", {path, "0", "10"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(StartsWith(r.err, "anybridge: ")) << r.err;
  EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(Executables, AnypairsCapacityThatIsNotANumber) {
  TempFile file("a b 1\n");
  const ProcessResult r = RunProgram("anypairs", {file.path(), "0", "abc"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(StartsWith(r.err, "anypairs: ")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(Executables, SpanpairsWithOneArgument) {
  const ProcessResult r = RunProgram("spanpairs", {"0"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(StartsWith(r.err, "spanpairs: ")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(Executables, MalformedLineNamesFileAndLine) {
  TempFile file("a b 1\nb c oops\n");
  const ProcessResult r = RunProgram("anypairs", {file.path(), "0", "10"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(StartsWith(r.err, "anypairs: ")) << r.err;
  EXPECT_NE(r.err.find(file.path() + ":2"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

// The bundled dataset through a fixed-path program: one line per index.
TEST(Executables, BetweennessOnTheBundledDataset) {
  const ProcessResult r = RunProgram("betweenness", {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 17039);
}

// A write that fails is a failure, not a success with lost output.
TEST(Executables, FailedWriteIsReported) {
  TempFile file("a b 1\nb c 1\n");
  const ProcessResult r = RunProgram("anybridge", {file.path(), "0", "10"}, "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(StartsWith(r.err, "anybridge: ")) << r.err;
}

}  // namespace
