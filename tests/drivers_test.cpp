// The six programs through their driver functions: listings worked out by
// hand, the fixed-capacity tails, command lines and their errors, and the
// "%f" formatting of every kind of double. Each listing is checked with the
// reference search and accumulation and with the fast engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "library/Output.h"
#include "tests/TestSupport.h"

namespace {

const TestEngine kEngines[] = {{true, 1}, {false, 1}, {false, 2}};

std::string EngineName(const TestEngine& e) {
  return e.reference ? "reference" : "fast, " + std::to_string(e.threads) + " threads";
}

std::string Repeat(const std::string& line, int times) {
  std::string text;
  text.reserve(line.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) text += line;
  return text;
}

// The line of an index that no name holds.
const std::string kUnnamed = " 0.000000\n";

// Equal listings, or the first line where they part (a full diff of
// 17039-line listings would take long to print).
::testing::AssertionResult SameListing(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const size_t lineStart = expected.rfind('\n', at == 0 ? 0 : at - 1);
  const size_t from = lineStart == std::string::npos || at == 0 ? 0 : lineStart + 1;
  const auto lineAt = [from](const std::string& s) {
    return from >= s.size() ? std::string("(end)") : s.substr(from, s.find('\n', from) - from);
  };
  return ::testing::AssertionFailure()
         << "listings part at line " << std::count(expected.begin(), expected.begin() + from, '\n') + 1
         << ": expected '" << lineAt(expected) << "', got '" << lineAt(actual) << "' (sizes "
         << expected.size() << " and " << actual.size() << ")";
}

// Output of a program over text with every engine; they must agree with
// expected.
void ExpectListing(Deliverable which, const std::string& text, const std::string& capacity,
                   const std::vector<std::string>& extraArgs, const std::string& expected) {
  for (const auto& engine : kEngines) {
    SCOPED_TRACE(EngineName(engine));
    EXPECT_TRUE(SameListing(expected, RunOnText(which, text, capacity, extraArgs, engine)));
  }
}

// The error a run ends with, or status -1 when it ends normally.
struct Outcome {
  int status = -1;
  std::string message;
  std::string out;
};

Outcome RunDriver(Deliverable which, const RunSettings& settings, const std::vector<std::string>& args) {
  Outcome outcome;
  std::ostringstream out;
  try {
    if (which == Deliverable::Spanpairs || which == Deliverable::Anypairs) {
      RunDriver(Pairs_Run, settings, args, out, TestEngine{true, 1});
    } else {
      RunDriver(Betweenness_Run, settings, args, out, TestEngine{true, 1});
    }
  } catch (const RunError& e) {
    outcome.status = e.status();
    outcome.message = e.what();
  }
  outcome.out = out.str();
  return outcome;
}

// ---- betweenness programs ----

TEST(BetweennessDriver, PathOfThree) {
  const std::string text = "a b 1\nb c 1\n";
  const std::string three = "a 0.000000\nb 2.000000\nc 0.000000\n";
  ExpectListing(Deliverable::Anybridge, text, "3", {}, three);
  ExpectListing(Deliverable::Betweenness, text, "", {}, three + Repeat(kUnnamed, 17036));
  ExpectListing(Deliverable::Linkbridge, text, "", {}, three + Repeat(kUnnamed, 17036));
  ExpectListing(Deliverable::Plusbridge, text, "", {}, three + Repeat(kUnnamed, 17036));
}

// Each of the three leaf pairs, in both directions, passes through h.
TEST(BetweennessDriver, Star) {
  ExpectListing(Deliverable::Anybridge, "h x 1\nh y 1\nh z 1\n", "4", {},
                "h 6.000000\nx 0.000000\ny 0.000000\nz 0.000000\n");
}

// Opposite nodes have two shortest paths, one through each middle node:
// half of each direction, twice.
TEST(BetweennessDriver, FourCycle) {
  ExpectListing(Deliverable::Anybridge, "a b 1\nb d 1\nd c 1\nc a 1\n", "4", {},
                "a 1.000000\nb 1.000000\nd 1.000000\nc 1.000000\n");
}

TEST(BetweennessDriver, DuplicateLinesChangeNothing) {
  ExpectListing(Deliverable::Anybridge, "a b 1\na b 1\nb c 1\nb c 1\nb c 1\n", "3", {},
                "a 0.000000\nb 2.000000\nc 0.000000\n");
}

TEST(BetweennessDriver, PlusbridgeIgnoresNonPositiveLines) {
  const std::string text = "a b 1\nb c 0\n";
  ExpectListing(Deliverable::Plusbridge, text, "", {},
                "a 0.000000\nb 0.000000\n" + Repeat(kUnnamed, 17037));
  ExpectListing(Deliverable::Betweenness, text, "", {},
                "a 0.000000\nb 2.000000\nc 0.000000\n" + Repeat(kUnnamed, 17036));
}

TEST(BetweennessDriver, EmptyFile) {
  ExpectListing(Deliverable::Anybridge, "", "5", {}, "");
  for (const Deliverable which :
       {Deliverable::Plusbridge, Deliverable::Betweenness, Deliverable::Linkbridge}) {
    SCOPED_TRACE(static_cast<int>(which));
    ExpectListing(which, "", "", {}, Repeat(kUnnamed, 17039));
  }
}

TEST(BetweennessDriver, FixedProgramsIgnoreArguments) {
  ExpectListing(Deliverable::Betweenness, "a b 1\nb c 1\n", "", {"x", "y", "z"},
                "a 0.000000\nb 2.000000\nc 0.000000\n" + Repeat(kUnnamed, 17036));
}

TEST(BetweennessDriver, SecondArgumentAndLargeCapacityChangeNothing) {
  TempFile file("a b 1\nb c 1\n");
  const std::string expected = "a 0.000000\nb 2.000000\nc 0.000000\n";
  const RunSettings settings = RunSettings_For(Deliverable::Anybridge);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {file.path(), "7", "3"},
           {file.path(), "word", "3"},
           {file.path(), "", "3"},
           {file.path(), "7", "2000000000"},
           {file.path(), "7", "2147483647", "extra", "arguments"}}) {
    SCOPED_TRACE(args[1] + " " + args[2]);
    const Outcome outcome = RunDriver(Deliverable::Anybridge, settings, args);
    EXPECT_EQ(outcome.status, -1) << outcome.message;
    EXPECT_EQ(outcome.out, expected);
  }
}

// ---- distance programs ----

TEST(PairsDriver, AnypairsExamples) {
  const std::string text = "a b 0.5\nb c 0.25\n";
  const std::string expected = "a b 0.500000\na c 0.750000\nb c 0.250000\n";
  ExpectListing(Deliverable::Anypairs, text, "3", {}, expected);
  ExpectListing(Deliverable::Anypairs, text, "5", {}, expected);
  ExpectListing(Deliverable::Anypairs, text, "2000000000", {}, expected);
  ExpectListing(Deliverable::Anypairs, "a b 1\nc d 1\n", "4", {},
                "a b 1.000000\nc d 1.000000\n");
}

// From a, b sits at the sentinel and is never settled; from b and c the
// pair b-c is reached normally, and nothing above c is reached from c.
TEST(PairsDriver, AnypairsSentinelDistanceIsNotPrinted) {
  ExpectListing(Deliverable::Anypairs, "a b -100\nb c 1\n", "3", {}, "b c 1.000000\n");
}

TEST(PairsDriver, AnypairsInfiniteDistances) {
  ExpectListing(Deliverable::Anypairs, "a b inf\nc d -inf\n", "4", {}, "a b inf\nc d -inf\n");
}

TEST(PairsDriver, SpanpairsExamples) {
  const std::string text = "a b 1\nb c 3\n";  // lengths 0.5 and 0.25
  ExpectListing(Deliverable::Spanpairs, text, "", {"0", "2"},
                "a b 0.500000\na c 0.750000\nb c 0.250000\n");
  ExpectListing(Deliverable::Spanpairs, text, "", {"1", "1"}, "b c 0.250000\n");
  ExpectListing(Deliverable::Spanpairs, text, "", {"2", "1"}, "");
  ExpectListing(Deliverable::Spanpairs, text, "", {"abc", "2"},
                "a b 0.500000\na c 0.750000\nb c 0.250000\n");
  ExpectListing(Deliverable::Spanpairs, text, "", {"1", "1junk"}, "b c 0.250000\n");
  ExpectListing(Deliverable::Spanpairs, text, "", {" +1", "17038", "extra"}, "b c 0.250000\n");
}

// A connected graph of 30 names: every unordered pair once, and the lines of
// consecutive ranges add up to those of their union.
TEST(PairsDriver, SpanpairsSplitRangesMatchOneRun) {
  std::string text;
  for (int i = 0; i < 30; ++i) {
    text += "v" + std::to_string(i) + " v" + std::to_string((i + 1) % 30) + " " +
            std::to_string(1 + i % 4) + "\n";
    if (i % 3 == 0) {
      text += "v" + std::to_string(i) + " v" + std::to_string((i * 7 + 5) % 30) + " 0.5\n";
    }
  }
  for (const auto& engine : kEngines) {
    SCOPED_TRACE(EngineName(engine));
    const std::string whole = RunOnText(Deliverable::Spanpairs, text, "", {"0", "17038"}, engine);
    const std::string head = RunOnText(Deliverable::Spanpairs, text, "", {"0", "5"}, engine);
    const std::string tail = RunOnText(Deliverable::Spanpairs, text, "", {"6", "17038"}, engine);
    EXPECT_TRUE(SameListing(whole, head + tail));
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 30 * 29 / 2);
    EXPECT_FALSE(head.empty());
    EXPECT_FALSE(tail.empty());
  }
}

// ---- command lines ----

TEST(CommandLine, ShortCommandLinesAreUsageErrors) {
  for (const Deliverable which : {Deliverable::Anybridge, Deliverable::Anypairs}) {
    const RunSettings settings = RunSettings_For(which);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"/no/such/file"}, {"/no/such/file", "1"}}) {
      SCOPED_TRACE(std::to_string(args.size()) + " arguments");
      const Outcome outcome = RunDriver(which, settings, args);
      EXPECT_EQ(outcome.status, 2);
      EXPECT_EQ(outcome.out, "");
    }
  }
}

TEST(CommandLine, CapacityMustBeAnIntegerFromOne) {
  TempFile file("a b 1\nb c 1\n");
  for (const Deliverable which : {Deliverable::Anybridge, Deliverable::Anypairs}) {
    const RunSettings settings = RunSettings_For(which);
    for (const char* capacity : {"abc", "", " ", "-", "+", "0", "-1", "-0", "99999999999",
                                 "2147483648", "x12"}) {
      SCOPED_TRACE(std::string("capacity '") + capacity + "'");
      const Outcome outcome = RunDriver(which, settings, {file.path(), "1", capacity});
      EXPECT_EQ(outcome.status, 2);
      EXPECT_EQ(outcome.out, "");
    }
  }
}

// Only the digits at the start count: "12abc" is 12, and "2abc" is 2, too
// few for three names (a load error, not a usage error).
TEST(CommandLine, CapacityIsReadUpToTheFirstNonDigit) {
  TempFile file("a b 0.5\nb c 0.25\n");
  const RunSettings settings = RunSettings_For(Deliverable::Anypairs);
  for (const char* capacity : {"12abc", " 12", "+12", "3.9"}) {
    SCOPED_TRACE(capacity);
    const Outcome outcome = RunDriver(Deliverable::Anypairs, settings, {file.path(), "1", capacity});
    EXPECT_EQ(outcome.status, -1) << outcome.message;
    EXPECT_EQ(outcome.out, "a b 0.500000\na c 0.750000\nb c 0.250000\n");
  }
  const Outcome tooSmall = RunDriver(Deliverable::Anypairs, settings, {file.path(), "1", "2abc"});
  EXPECT_EQ(tooSmall.status, 1);
}

TEST(CommandLine, SpanpairsChecksItsArgumentCountBeforeLoading) {
  const RunSettings settings = SettingsWithPath(Deliverable::Spanpairs, "/no/such/dataset.txt");
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"0"}}) {
    const Outcome outcome = RunDriver(Deliverable::Spanpairs, settings, args);
    EXPECT_EQ(outcome.status, 2);
  }
  // With both arguments the missing dataset is found first, whatever the range.
  EXPECT_EQ(RunDriver(Deliverable::Spanpairs, settings, {"0", "99999"}).status, 1);
  EXPECT_EQ(RunDriver(Deliverable::Spanpairs, settings, {"0", "1"}).status, 1);
}

TEST(CommandLine, SpanpairsRange) {
  TempFile file("a b 1\nb c 3\n");
  const RunSettings settings = SettingsWithPath(Deliverable::Spanpairs, file.path());
  const struct {
    const char* first;
    const char* last;
    int status;  // -1: a normal end
    const char* out;
  } cases[] = {
      {"0", "17039", 2, ""},
      {"-1", "1", 2, ""},
      {"17039", "17039", 2, ""},
      {"-5", "-5", 2, ""},
      {"0", "17038", -1, "a b 0.500000\na c 0.750000\nb c 0.250000\n"},
      {"17038", "17038", -1, ""},
      {"2", "2", -1, ""},
      {"17040", "5", -1, ""},  // first above last: nothing, even out of range
      {"5", "-3", -1, ""},
      {"99999", "-99999", -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + ".." + c.last);
    const Outcome outcome = RunDriver(Deliverable::Spanpairs, settings, {c.first, c.last});
    EXPECT_EQ(outcome.status, c.status) << outcome.message;
    EXPECT_EQ(outcome.out, c.out);
  }
}

// ---- formatting ----

TEST(Formatting, FixedSixMatchesPrintf) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {
      0.0, -0.0, inf, -inf, nan, -nan, 1e300, -1e300, DBL_MAX, -DBL_MAX, DBL_MIN,
      DBL_TRUE_MIN, -DBL_TRUE_MIN, 0.1234565, 2.5e-7, 1e-7, 5e-7, 4.9999999e-7, 123456789.123,
      0.5, 1.0, 2.0, 1.0 / 3.0, 2.0 / 3.0, 0.0078125, 0.0234375, -0.0234375, 0.1, 0.7,
      1e15, 1e16 + 1.0, 9007199254740993.0, 4503599627370495.5, 999999.9999995, 0.0000005,
      -0.0000004, 1.5e-6, 2147483648.0, 1e22, 1e23,
  };
  for (const double value : values) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%f", value);
    TextBuffer text;
    text.AppendFixed6(value);
    EXPECT_EQ(std::string(text.View()), std::string(expected)) << std::hexfloat << value;
  }
}

// A listing of well over a megabyte comes out whole and in order. On a
// path v0 - v1 - ... - v399 of unit weights the distance of vi and vj is j - i.
TEST(Formatting, LongListingIsWrittenWhole) {
  constexpr int kNames = 400;
  std::string text;
  for (int i = 0; i + 1 < kNames; ++i) {
    text += "v" + std::to_string(i) + " v" + std::to_string(i + 1) + " 1\n";
  }
  std::string expected;
  for (int i = 0; i < kNames; ++i) {
    for (int j = i + 1; j < kNames; ++j) {
      expected += "v" + std::to_string(i) + " v" + std::to_string(j) + " " + std::to_string(j - i) +
                  ".000000\n";
    }
  }
  ASSERT_GT(expected.size(), size_t{1} << 20);
  ExpectListing(Deliverable::Anypairs, text, "400", {}, expected);
}

}  // namespace
