// --help and --version: recognised only as the first argument, printed on
// standard output with exit status 0, and their write failures reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace {

const std::vector<std::string> kPrograms = {"anybridge",  "plusbridge", "betweenness",
                                            "linkbridge", "spanpairs",  "anypairs"};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(Options, HelpAndVersionGoToStandardOutput) {
  for (const std::string& p : kPrograms) {
    SCOPED_TRACE(p);
    const ProcessResult help = RunProgram(p, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: " + p, 0), 0u) << help.out;
    EXPECT_EQ(help.out.back(), '\n');

    const ProcessResult version = RunProgram(p, {"--version", "ignored"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(version.out, p + " (pathsuite) " PATHSUITE_VERSION "\n");
  }
}

// The usage line of --help is the one a bad command line prints.
TEST(Options, HelpStartsWithTheUsageLineOfCommandLineErrors) {
  for (const std::string p : {"anybridge", "anypairs", "spanpairs"}) {
    SCOPED_TRACE(p);
    const ProcessResult error = RunProgram(p, {});
    ASSERT_EQ(error.status, 2);
    EXPECT_EQ(error.err, p + ": " + FirstLine(RunProgram(p, {"--help"}).out) + "\n");
  }
}

TEST(Options, OnlyTheFirstArgumentIsAnOption) {
  const ProcessResult plain = RunProgram("betweenness", {});
  ASSERT_EQ(plain.status, 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"x", "--help"}, {"--Help"}, {"--version=1"}, {"-h"}}) {
    SCOPED_TRACE(args[0]);
    const ProcessResult r = RunProgram("betweenness", args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == plain.out) << "not the listing";
  }

  TempFile file("a b 1\nb c 1\n");
  const ProcessResult r = RunProgram("anybridge", {file.path(), "--help", "10"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "a 0.000000\nb 2.000000\nc 0.000000\n");
}

// Help of a fixed-path program names the dataset it would read: a file
// that exists, the companion for linkbridge and the main one otherwise.
TEST(Options, FixedPathHelpNamesTheDatasetInUse) {
  auto datasetOf = [](const std::string& program) {
    const std::string out = RunProgram(program, {"--help"}).out;
    const std::string tag = "\nDataset: ";
    const size_t at = out.find(tag);
    if (at == std::string::npos) return std::string();
    const size_t begin = at + tag.size();
    return out.substr(begin, out.find('\n', begin) - begin);
  };
  const std::string main = datasetOf("betweenness");
  const std::string companion = datasetOf("linkbridge");
  EXPECT_TRUE(std::filesystem::is_regular_file(main)) << "'" << main << "'";
  EXPECT_TRUE(std::filesystem::is_regular_file(companion)) << "'" << companion << "'";
  EXPECT_NE(main, companion);
  EXPECT_EQ(datasetOf("plusbridge"), main);
  EXPECT_EQ(datasetOf("spanpairs"), main);
  EXPECT_EQ(datasetOf("anybridge"), "");
}

// The name width that --help states is the one the loader holds the input
// to: a name of that many bytes loads, one byte more is an error.
TEST(Options, HelpStatesTheNameWidthTheLoaderEnforces) {
  for (const Program& program : Program_All()) {
    SCOPED_TRACE(program.name);
    const RunSettings settings = RunSettings_For(program.id);
    const std::string help = Program_Help(program, settings);
    const std::string tag = "(at most ";
    const size_t at = help.find(tag);
    ASSERT_NE(at, std::string::npos) << help;
    const int width = std::stoi(help.substr(at + tag.size()));
    const std::vector<std::string> range = {"0", "0"};  // spanpairs' sources
    const std::string fits = "a " + std::string(static_cast<size_t>(width), 'n') + " 1\n";
    EXPECT_NO_THROW(RunOnText(program.id, fits, "10", range, TestEngine{}));
    const std::string over = "a " + std::string(static_cast<size_t>(width) + 1, 'n') + " 1\n";
    try {
      RunOnText(program.id, over, "10", range, TestEngine{});
      ADD_FAILURE() << "a name of " << width + 1 << " bytes loaded";
    } catch (const RunError& e) {
      EXPECT_EQ(e.status(), 1);
      EXPECT_NE(std::string(e.what()).find("longer than " + std::to_string(width) + " bytes"),
                std::string::npos)
          << e.what();
    }
  }
}

TEST(Options, FailedWriteOfHelpOrVersionIsReported) {
  for (const std::string option : {"--help", "--version"}) {
    SCOPED_TRACE(option);
    const ProcessResult r = RunProgram("spanpairs", {option}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "spanpairs: cannot write standard output: No space left on device\n");
  }
}

}  // namespace
