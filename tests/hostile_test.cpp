// Hostile input through the real executables: every run ends either in the
// expected output with status 0, or in exactly one "program: message" line on
// standard error, nothing on standard output, and the decided status.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/TestSupport.h"

namespace {

// n lines "n{2k} n{2k+1} 1": 2n distinct names in n separate edges.
std::string SeparateEdges(int n) {
  std::string text;
  for (int k = 0; k < n; ++k) {
    text.append("n").append(std::to_string(2 * k)).append(" n");
    text.append(std::to_string(2 * k + 1)).append(" 1\n");
  }
  return text;
}

// What the programs print for SeparateEdges(n): every score 0; one row per edge.
std::string SeparateEdgesScores(int n) {
  std::string text;
  for (int i = 0; i < 2 * n; ++i) text.append("n").append(std::to_string(i)).append(" 0.000000\n");
  return text;
}
std::string SeparateEdgesRows(int n) {
  std::string text;
  for (int k = 0; k < n; ++k) {
    text.append("n").append(std::to_string(2 * k)).append(" n");
    text.append(std::to_string(2 * k + 1)).append(" 1.000000\n");
  }
  return text;
}

std::string Repeat(const std::string& piece, size_t totalBytes) {
  std::string text;
  text.reserve(totalBytes + piece.size());
  while (text.size() < totalBytes) text += piece;
  return text;
}

std::string RandomBytes(size_t n, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() & 0xff);
  return bytes;
}

std::string ExecutableBytes(const std::string& program, size_t n) {
  std::ifstream in(std::string(PROGRAM_DIR) + "/" + program, std::ios::binary);
  std::string bytes(n, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(n));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

std::string Replace(std::string text, const std::string& token, const std::string& by) {
  for (size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + by.size())) {
    text.replace(at, token.size(), by);
  }
  return text;
}

// Whether text is one of the '|'-separated alternatives of expected, where
// @LINE@ stands for a line number.
bool MatchesOneOf(const std::string& text, const std::string& expected) {
  size_t begin = 0;
  for (;;) {
    const size_t end = std::min(expected.find('|', begin), expected.size());
    const std::string alternative = expected.substr(begin, end - begin);
    const size_t at = alternative.find("@LINE@");
    if (at == std::string::npos) {
      if (text == alternative) return true;
    } else {
      const std::string head = alternative.substr(0, at);
      const std::string tail = alternative.substr(at + 6);
      if (text.size() > head.size() + tail.size() && text.compare(0, head.size(), head) == 0 &&
          text.compare(text.size() - tail.size(), tail.size(), tail) == 0) {
        const std::string number = text.substr(head.size(), text.size() - head.size() - tail.size());
        if (number.find_first_not_of("0123456789") == std::string::npos && number[0] != '0') {
          return true;
        }
      }
    }
    if (end == expected.size()) return false;
    begin = end + 1;
  }
}

struct InputCase {
  std::string label;
  std::string program;
  std::function<std::string()> content;  // the input file's bytes
  std::string capacity;
  int status;
  // Expected standard error, with @FILE@ for the input path; a case may
  // accept any of several messages ('|') at any line (@LINE@).
  std::string err;
  std::function<std::string()> out;  // expected standard output
};

std::string None() { return ""; }

void RunInputCases(const std::vector<InputCase>& cases) {
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.label + " (" + c.program + ")");
    const TempFile input(c.content());
    const ProcessResult r = RunProgram(c.program, {input.path(), "x", c.capacity});
    EXPECT_EQ(c.status, r.status);
    const std::string err = Replace(c.err, "@FILE@", input.path());
    if (err.find('|') == std::string::npos) {
      EXPECT_EQ(err, r.err);
    } else {
      EXPECT_TRUE(MatchesOneOf(r.err, err)) << "stderr: " << r.err;
    }
    const std::string out = c.out();
    if (out.size() + r.out.size() < 4096) {
      EXPECT_EQ(out, r.out);
    } else {  // too large to print
      EXPECT_EQ(out.size(), r.out.size());
      EXPECT_TRUE(out == r.out) << "standard output differs";
    }
  }
}

const std::string kTwoNames = "expected two names and a weight\n";

TEST(Hostile, GarbageNulBytesLongNamesAndCapacities) {
  const std::string path3 = "a 0.000000\nb 2.000000\nc 0.000000\n";
  const std::vector<InputCase> cases = {
      // An executable: its first line is "\x7f" "ELF" and three bytes, then a NUL.
      {"an executable as input", "anybridge", [] { return ExecutableBytes("anybridge", 65536); },
       "10", 1, "anybridge: @FILE@:1: " + kTwoNames, None},
      {"an executable as input", "anypairs", [] { return ExecutableBytes("anypairs", 65536); },
       "10", 1, "anypairs: @FILE@:1: " + kTwoNames, None},
      {"random bytes", "anybridge", [] { return RandomBytes(65536, 1); }, "1000", 1,
       "anybridge: @FILE@:@LINE@: name longer than 20 bytes\n"
       "|anybridge: @FILE@:@LINE@: " + kTwoNames,
       None},
      {"random bytes", "anypairs", [] { return RandomBytes(65536, 2); }, "1000", 1,
       "anypairs: @FILE@:@LINE@: name longer than 16 bytes\n"
       "|anypairs: @FILE@:@LINE@: " + kTwoNames,
       None},

      // A NUL ends its line's content: what follows it on the line is never read.
      {"NUL after the weight", "anybridge",
       [] { return std::string("a b 1\0x y 5\nb c 2\n", 18); }, "10", 0, "",
       [=] { return path3; }},
      {"NUL inside the first name", "anybridge", [] { return std::string("a\0b c 1\n", 8); },
       "10", 1, "anybridge: @FILE@:1: " + kTwoNames, None},
      {"NUL before the weight", "anypairs",
       [] { return std::string("a b 1\nb c\0 2\n", 13); }, "10", 1,
       "anypairs: @FILE@:2: " + kTwoNames, None},

      // A name of 100000 bytes on line 2.
      {"name of 100000 bytes", "anybridge",
       [] { return "a b 1\nb " + std::string(100000, 'n') + " 1\n"; }, "10", 1,
       "anybridge: @FILE@:2: name longer than 20 bytes\n", None},
      {"name of 100000 bytes", "anypairs",
       [] { return "a b 1\n" + std::string(100000, 'n') + " b 1\n"; }, "10", 1,
       "anypairs: @FILE@:2: name longer than 16 bytes\n", None},
      // Widths count bytes: 10 two-byte characters fit in 20 bytes, 11 do not.
      {"UTF-8 name of 20 bytes", "anybridge",
       [] { return "a b 1\nb " + Repeat("\xc3\xa9", 20) + " 1\n"; }, "10", 0, "",
       [] { return "a 0.000000\nb 2.000000\n" + Repeat("\xc3\xa9", 20) + " 0.000000\n"; }},
      {"UTF-8 name of 22 bytes", "anybridge",
       [] { return "a b 1\nb " + Repeat("\xc3\xa9", 22) + " 1\n"; }, "10", 1,
       "anybridge: @FILE@:2: name longer than 20 bytes\n", None},

      // Capacities. 12abc reads as 12: 12 names load, a 13th does not.
      {"capacity 0", "anybridge", [] { return SeparateEdges(2); }, "0", 2,
       "anybridge: node capacity must be an integer from 1 to 2147483647, not '0'\n", None},
      {"capacity -1", "anypairs", [] { return SeparateEdges(2); }, "-1", 2,
       "anypairs: node capacity must be an integer from 1 to 2147483647, not '-1'\n", None},
      {"capacity abc", "anybridge", [] { return SeparateEdges(2); }, "abc", 2,
       "anybridge: node capacity must be an integer from 1 to 2147483647, not 'abc'\n", None},
      {"capacity 99999999999", "anypairs", [] { return SeparateEdges(2); }, "99999999999", 2,
       "anypairs: node capacity must be an integer from 1 to 2147483647, not '99999999999'\n",
       None},
      {"capacity 12abc, 12 names", "anybridge", [] { return SeparateEdges(6); }, "12abc", 0, "",
       [] { return SeparateEdgesScores(6); }},
      {"capacity 12abc, 12 names", "anypairs", [] { return SeparateEdges(6); }, "12abc", 0, "",
       [] { return SeparateEdgesRows(6); }},
      {"capacity 12abc, 13 names", "anybridge", [] { return SeparateEdges(6) + "n11 n12 1\n"; },
       "12abc", 1, "anybridge: @FILE@:7: more distinct names than the node capacity 12\n", None},
      {"capacity 12abc, 13 names", "anypairs", [] { return SeparateEdges(6) + "n11 n12 1\n"; },
       "12abc", 1, "anypairs: @FILE@:7: more distinct names than the node capacity 12\n", None},
  };
  RunInputCases(cases);
}

TEST(Hostile, HundredMegabyteLines) {
  constexpr size_t kHundredMB = 100u << 20;
  const std::vector<InputCase> cases = {
      // Read whole, the trailing words are ignored; read in pieces, they
      // would load as edges x-y.
      {"100 MB line", "anybridge",
       [] { return "a b 1 " + Repeat("x y 3 ", kHundredMB) + "\nb c 2\n"; }, "10", 0, "",
       [] { return std::string("a 0.000000\nb 2.000000\nc 0.000000\n"); }},
      {"100 MB name, no newline", "anypairs",
       [] { return "a b 1\n" + std::string(kHundredMB, 'n'); }, "10", 1,
       "anypairs: @FILE@:2: name longer than 16 bytes\n", None},
  };
  RunInputCases(cases);
}

TEST(Hostile, MillionDistinctNames) {
  const auto million = [] { return SeparateEdges(500000); };
  const std::vector<InputCase> cases = {
      {"1000000 names, capacity 10", "anybridge", million, "10", 1,
       "anybridge: @FILE@:6: more distinct names than the node capacity 10\n", None},
      {"1000000 names, capacity 10", "anypairs", million, "10", 1,
       "anypairs: @FILE@:6: more distinct names than the node capacity 10\n", None},
      {"1000000 names, capacity 999999", "anypairs", million, "999999", 1,
       "anypairs: @FILE@:500000: more distinct names than the node capacity 999999\n", None},
      {"1000000 names, capacity 1000000", "anypairs", million, "1000000", 0, "",
       [] { return SeparateEdgesRows(500000); }},
  };
  RunInputCases(cases);
}

TEST(Hostile, InputPathsThatCannotBeRead) {
  const TempDir dir;
  const std::string missing = dir.path() + "/missing.txt";
  struct PathCase {
    std::string program;
    std::string path;
    std::string err;
  };
  const PathCase cases[] = {
      {"anybridge", dir.path(), "anybridge: cannot read " + dir.path() + ": Is a directory\n"},
      {"anypairs", dir.path(), "anypairs: cannot read " + dir.path() + ": Is a directory\n"},
      {"anybridge", missing, "anybridge: cannot open " + missing + ": No such file or directory\n"},
      {"anypairs", missing, "anypairs: cannot open " + missing + ": No such file or directory\n"},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.program + " " + c.path);
    const ProcessResult r = RunProgram(c.program, {c.path, "x", "10"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(c.err, r.err);
    EXPECT_EQ("", r.out);
  }
}

TEST(Hostile, FullStandardOutput) {
  const std::string dataset = std::string(SOURCE_DIR) + "/data/main.txt";
  struct OutputCase {
    std::string program;
    std::vector<std::string> args;
  };
  // The fixed-path programs read their bundled dataset.
  const OutputCase cases[] = {
      {"anybridge", {dataset, "x", "100"}}, {"plusbridge", {}},  {"betweenness", {}},
      {"linkbridge", {}},                   {"spanpairs", {"0", "17038"}},
      {"anypairs", {dataset, "x", "100"}},
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.program);
    const ProcessResult r = RunProgram(c.program, c.args, "/dev/full");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(c.program + ": cannot write standard output: No space left on device\n", r.err);
  }
}

// Under the address sanitizer a process reserves terabytes of address space
// for its shadow memory, so no virtual memory limit lets it start.

TEST(Hostile, MemoryExhaustedWhileLoading) {
  if (kSanitized) GTEST_SKIP() << "virtual memory limits do not apply under the address sanitizer";
  // 2000000 names need some 300 MB once loaded; 128 MiB runs out part-way.
  const TempFile input(SeparateEdges(1000000));
  for (const std::string program : {"anybridge", "anypairs"}) {
    SCOPED_TRACE(program);
    const ProcessResult r = RunProgramLimited(program, {input.path(), "x", "2000000"}, 128 * 1024);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(program + ": out of memory\n", r.err);
    EXPECT_EQ("", r.out);
  }
}

// Every thread stack is as large as the stack limit (2 GiB). Under a 1 GiB
// memory limit no worker thread can start; under 3 GiB one can and a second
// cannot. Either way the run goes on with the threads it has, the calling
// thread at least, and prints what an unlimited run prints.
TEST(Hostile, ThreadsThatCannotStartLeaveTheRunToFewer) {
  if (kSanitized) GTEST_SKIP() << "virtual memory limits do not apply under the address sanitizer";
  const std::string dataset = std::string(SOURCE_DIR) + "/data/main.txt";
  for (const std::string program : {"anybridge", "anypairs"}) {
    const ProcessResult free = RunProgram(program, {dataset, "x", "100"});
    ASSERT_EQ(0, free.status);
    for (const long limitKiB : {1024L * 1024, 3L * 1024 * 1024}) {
      SCOPED_TRACE(program + " under " + std::to_string(limitKiB) + " KiB");
      const ProcessResult r = RunProgramLimited(
          "pathsuite", {"--threads", "4", program, dataset, "x", "100"}, limitKiB, 2 * 1024 * 1024);
      EXPECT_EQ(0, r.status);
      EXPECT_EQ("", r.err);
      EXPECT_TRUE(free.out == r.out) << "not the listing of an unlimited run";
    }
  }
}

}  // namespace

namespace {

// A memory limit that one thread's run fits in never fails a run with more
// threads asked for: the threads that do not fit stay out. 300000 names
// take some 40 MB with one thread and over 300 MB with sixteen; the limit
// is 100 MB of address space.
TEST(Hostile, MoreThreadsThanTheMemoryLimitHoldsUseFewer) {
  if (kSanitized) GTEST_SKIP() << "virtual memory limits do not apply under the address sanitizer";
  const TempFile input(SeparateEdges(150000));
  const std::string scores = SeparateEdgesScores(150000);
  const std::string rows = SeparateEdgesRows(150000);
  for (const std::string program : {"anybridge", "anypairs"}) {
    for (const std::string threads : {"1", "16"}) {
      SCOPED_TRACE(program + " on " + threads + " threads");
      const ProcessResult r = RunProgramLimited(
          "pathsuite", {"--threads", threads, program, input.path(), "x", "300000"}, 100 * 1024);
      EXPECT_EQ(0, r.status);
      EXPECT_EQ("", r.err);
      EXPECT_TRUE((program == "anybridge" ? scores : rows) == r.out) << "not the listing";
    }
  }
}

}  // namespace
