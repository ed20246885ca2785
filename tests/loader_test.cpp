// The edge-list loader over small input texts: index and list order, the
// weight rules and the positive filter, white space, name widths, and the
// errors a bad input must give (status 1, the file and the line named).
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "graph/EdgeGraph.h"
#include "tests/TestSupport.h"

namespace {

using Cells = std::vector<std::pair<int32_t, double>>;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Settings for loading text under a deliverable; the command-line
// deliverables get the capacity the driver would have read.
RunSettings Settings(Deliverable which, const std::string& path, int32_t capacity) {
  RunSettings settings = SettingsWithPath(which, path);
  if (settings.fromCommandLine || capacity > 0) settings.nodeCapacity = capacity > 0 ? capacity : 1000;
  return settings;
}

EdgeGraph Load(Deliverable which, std::string_view text, int32_t capacity = 0) {
  TempFile file(text);
  return EdgeGraph_Load(Settings(which, file.path(), capacity));
}

struct Failure {
  int status = -1;
  std::string message;
  std::string path;
  // The message with the file's path taken out, so digits of a temporary
  // name cannot pass for a line number or a limit.
  std::string rest() const {
    std::string r = message;
    const size_t at = r.find(path);
    if (at != std::string::npos) r.erase(at, path.size());
    return r;
  }
};

Failure LoadFailure(Deliverable which, std::string_view text, int32_t capacity = 0) {
  TempFile file(text);
  Failure failure;
  failure.path = file.path();
  try {
    EdgeGraph_Load(Settings(which, file.path(), capacity));
    ADD_FAILURE() << "the load succeeded";
  } catch (const RunError& e) {
    failure.status = e.status();
    failure.message = e.what();
  }
  return failure;
}

// n occurs in text as a number of its own, not as part of a longer one.
bool ContainsNumber(const std::string& text, long long n) {
  const std::string digits = std::to_string(n);
  for (size_t at = text.find(digits); at != std::string::npos; at = text.find(digits, at + 1)) {
    const bool before = at > 0 && std::isdigit(static_cast<unsigned char>(text[at - 1]));
    const size_t end = at + digits.size();
    const bool after = end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]));
    if (!before && !after) return true;
  }
  return false;
}

// "FILE:LINE" as the conventional location prefix.
::testing::AssertionResult NamesFileAndLine(const Failure& f, int line) {
  const std::string where = f.path + ":" + std::to_string(line);
  const size_t at = f.message.find(where);
  if (at == std::string::npos || (at + where.size() < f.message.size() &&
                                  std::isdigit(static_cast<unsigned char>(f.message[at + where.size()])))) {
    return ::testing::AssertionFailure() << "'" << f.message << "' does not name " << where;
  }
  return ::testing::AssertionSuccess();
}

Cells ListOf(const EdgeGraph& graph, int32_t i) {
  Cells cells;
  for (const List_Cell* c = EdgeGraph_Head(graph, i); c != nullptr; c = c->next) {
    cells.emplace_back(c->node, c->weight);
  }
  return cells;
}

int32_t IndexOf(const EdgeGraph& graph, const char* name) {
  const Hash_Item* item = Hash_FindEntry(graph.index.get(), name);
  return item == nullptr ? -1 : item->value;
}

// Same double to the last bit, or both NaN.
::testing::AssertionResult SameDouble(double expected, double actual) {
  if (std::isnan(expected) && std::isnan(actual)) return ::testing::AssertionSuccess();
  uint64_t a = 0, b = 0;
  std::memcpy(&a, &expected, sizeof a);
  std::memcpy(&b, &actual, sizeof b);
  if (a == b) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected << " (bits " << std::hex << a
                                       << "), got " << actual << " (bits " << b << ")";
}


TEST(Loader, IndicesInOrderOfFirstAppearance) {
  const EdgeGraph g = Load(Deliverable::Anybridge, "x y 1\ny z 2\nz x 3\n");
  EXPECT_EQ(g.nameCount, 3);
  EXPECT_EQ(EdgeGraph_Name(g, 0), "x");
  EXPECT_EQ(EdgeGraph_Name(g, 1), "y");
  EXPECT_EQ(EdgeGraph_Name(g, 2), "z");
  EXPECT_EQ(IndexOf(g, "x"), 0);
  EXPECT_EQ(IndexOf(g, "y"), 1);
  EXPECT_EQ(IndexOf(g, "z"), 2);
}

TEST(Loader, FirstNameOfALineIsNumberedFirst) {
  const EdgeGraph g = Load(Deliverable::Anypairs, "m n 1\nq p 1\n");
  EXPECT_EQ(IndexOf(g, "q"), 2);
  EXPECT_EQ(IndexOf(g, "p"), 3);
}

TEST(Loader, ListsHoldTheLastLineFirst) {
  {
    const EdgeGraph g = Load(Deliverable::Anybridge, "p q 1\nq p 2\n");
    EXPECT_EQ(g.nameCount, 2);
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 2.0}, {1, 1.0}}));
    EXPECT_EQ(ListOf(g, 1), (Cells{{0, 2.0}, {0, 1.0}}));
  }
  {
    const EdgeGraph g = Load(Deliverable::Anypairs, "p q 1\nq p 2\n");
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 2.0}, {1, 1.0}}));
    EXPECT_EQ(ListOf(g, 1), (Cells{{0, 2.0}, {0, 1.0}}));
  }
  {
    const EdgeGraph g = Load(Deliverable::Anybridge, "a b 1\na c 2\n");
    EXPECT_EQ(ListOf(g, 0), (Cells{{2, 2.0}, {1, 1.0}}));
    EXPECT_EQ(ListOf(g, 1), (Cells{{0, 1.0}}));
    EXPECT_EQ(ListOf(g, 2), (Cells{{0, 2.0}}));
  }
}

TEST(Loader, SelfLoopPutsTwoCellsInItsOwnList) {
  const EdgeGraph g = Load(Deliverable::Anybridge, "a a 3\n");
  EXPECT_EQ(g.nameCount, 1);
  EXPECT_EQ(ListOf(g, 0), (Cells{{0, 3.0}, {0, 3.0}}));
}

TEST(Loader, DuplicateLinesAreKept) {
  const EdgeGraph g = Load(Deliverable::Anybridge, "a b 1\na b 1\n");
  EXPECT_EQ(g.nameCount, 2);
  EXPECT_EQ(ListOf(g, 0), (Cells{{1, 1.0}, {1, 1.0}}));
  EXPECT_EQ(ListOf(g, 1), (Cells{{0, 1.0}, {0, 1.0}}));
}

// Every program stores the weight as read; its length rule then gives the
// search 1 / (1 + w), or w itself in anypairs.
TEST(Loader, WeightsAreStoredAsReadAndTheRuleGivesTheLength) {
  const struct {
    const char* text;
    double raw;         // w as read
    double reciprocal;  // 1 / (1 + w)
  } cases[] = {
      {"0", 0.0, 1.0},       {"1", 1.0, 0.5},     {"3", 3.0, 0.25},       {"-0.5", -0.5, 2.0},
      {"-2", -2.0, -1.0},    {"-1", -1.0, kInf},  {"nan", kNaN, kNaN},    {"inf", kInf, 0.0},
      {"-inf", -kInf, -0.0}, {"-0", -0.0, 1.0},
  };
  const struct {
    Deliverable which;
    bool reciprocal;
  } programs[] = {{Deliverable::Anybridge, true},  {Deliverable::Plusbridge, true},
                  {Deliverable::Betweenness, true}, {Deliverable::Linkbridge, true},
                  {Deliverable::Spanpairs, true},   {Deliverable::Anypairs, false}};
  for (const auto& program : programs) {
    const LengthRule rule = RunSettings_For(program.which).lengthRule;
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string("weight ") + c.text + ", deliverable " +
                   std::to_string(static_cast<int>(program.which)));
      if (program.which == Deliverable::Plusbridge && !(c.raw > 0.0)) continue;  // dropped
      const EdgeGraph g = Load(program.which, std::string("a b ") + c.text + "\n");
      ASSERT_EQ(g.nameCount, 2);
      const Cells a = ListOf(g, 0), b = ListOf(g, 1);
      ASSERT_EQ(a.size(), 1u);
      ASSERT_EQ(b.size(), 1u);
      EXPECT_EQ(a[0].first, 1);
      EXPECT_EQ(b[0].first, 0);
      EXPECT_TRUE(SameDouble(c.raw, a[0].second));
      EXPECT_TRUE(SameDouble(c.raw, b[0].second));
      EXPECT_TRUE(SameDouble(program.reciprocal ? c.reciprocal : c.raw, CellLength(a[0].second, rule)));
    }
  }
}

TEST(Loader, PositiveFilterDropsLinesBeforeNaming) {
  {
    const EdgeGraph g = Load(Deliverable::Plusbridge, "a b 0\nb c 1\n");
    EXPECT_EQ(g.nameCount, 2);
    EXPECT_EQ(IndexOf(g, "b"), 0);
    EXPECT_EQ(IndexOf(g, "c"), 1);
    EXPECT_EQ(IndexOf(g, "a"), -1);
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 1.0}}));
  }
  {
    const EdgeGraph g = Load(Deliverable::Plusbridge,
                             "p q nan\nr s -1\nt u -0.5\nv w -inf\nx y -0\nz z -nan\nk m 1e-300\n");
    EXPECT_EQ(g.nameCount, 2);
    EXPECT_EQ(EdgeGraph_Name(g, 0), "k");
    EXPECT_EQ(EdgeGraph_Name(g, 1), "m");
  }
  // The same lines all load where there is no filter.
  EXPECT_EQ(Load(Deliverable::Betweenness, "a b 0\nb c 1\n").nameCount, 3);
}

TEST(Loader, WhiteSpaceVariantsReadAsSingleBlanks) {
  const std::string variants[] = {
      "a b 2\n",
      "a\tb\t2\n",
      "a    b     2\n",
      "   a b 2\n",
      "\t a \t b \t 2\n",
      "a b 2\r\n",
      "a\vb\f2\n",
      "a b 2 and further words\n",
      "a b 2\tx y 9\n",
      "a b 2",
      "a b 2\r",
  };
  for (const auto& text : variants) {
    SCOPED_TRACE(::testing::PrintToString(text));
    const EdgeGraph g = Load(Deliverable::Betweenness, text);
    ASSERT_EQ(g.nameCount, 2);
    EXPECT_EQ(EdgeGraph_Name(g, 0), "a");
    EXPECT_EQ(EdgeGraph_Name(g, 1), "b");
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 2.0}}));
    EXPECT_EQ(ListOf(g, 1), (Cells{{0, 2.0}}));
  }
}

TEST(Loader, LastLineWithoutNewline) {
  const EdgeGraph g = Load(Deliverable::Betweenness, "a b 1\nc d 2");
  EXPECT_EQ(g.nameCount, 4);
  EXPECT_EQ(ListOf(g, 2), (Cells{{3, 2.0}}));
  EXPECT_EQ(ListOf(g, 3), (Cells{{2, 2.0}}));
}

TEST(Loader, EmptyFile) {
  for (const Deliverable which : {Deliverable::Anybridge, Deliverable::Betweenness}) {
    const EdgeGraph g = Load(which, "");
    EXPECT_EQ(g.nameCount, 0);
    EXPECT_EQ(EdgeGraph_Head(g, 0), nullptr);
    EXPECT_EQ(EdgeGraph_Name(g, 0), "");
  }
}

struct Width {
  Deliverable which;
  int32_t width;
};
const Width kWidths[] = {{Deliverable::Anybridge, 20},   {Deliverable::Plusbridge, 15},
                         {Deliverable::Betweenness, 15}, {Deliverable::Linkbridge, 15},
                         {Deliverable::Spanpairs, 15},   {Deliverable::Anypairs, 16}};

TEST(Loader, NameOfExactlyTheWidth) {
  for (const auto& w : kWidths) {
    SCOPED_TRACE("width " + std::to_string(w.width));
    const std::string first(static_cast<size_t>(w.width), 'x');
    const std::string second = std::string(static_cast<size_t>(w.width) - 1, 'y') + "z";
    const EdgeGraph g = Load(w.which, first + " " + second + " 1\n");
    ASSERT_EQ(g.nameCount, 2);
    EXPECT_EQ(EdgeGraph_Name(g, 0), first);
    EXPECT_EQ(EdgeGraph_Name(g, 1), second);
    EXPECT_EQ(IndexOf(g, second.c_str()), 1);
  }
}

TEST(Loader, NameLongerThanTheWidthIsAnError) {
  for (const auto& w : kWidths) {
    SCOPED_TRACE("width " + std::to_string(w.width));
    const std::string longer(static_cast<size_t>(w.width) + 1, 'n');
    for (const bool asSecond : {false, true}) {
      const std::string line = asSecond ? "a " + longer + " 1\n" : longer + " a 1\n";
      const Failure f = LoadFailure(w.which, "a b 1\n" + line);
      EXPECT_EQ(f.status, 1);
      EXPECT_TRUE(NamesFileAndLine(f, 2));
      EXPECT_TRUE(ContainsNumber(f.rest(), w.width)) << f.message;
    }
  }
}

// Lines are read whole whatever their length: a weight far out on a long
// line is read in full, and no tail of the line is taken for another edge.
TEST(Loader, LongLinesAreReadWhole) {
  {
    const std::string text = "a b" + std::string(5000, ' ') + "2\nc d 3\n";
    const EdgeGraph g = Load(Deliverable::Betweenness, text);
    EXPECT_EQ(g.nameCount, 4);
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 2.0}}));
    EXPECT_EQ(ListOf(g, 2), (Cells{{3, 3.0}}));
  }
  {
    // Two 15-character names and a 12-digit weight: 46 characters.
    const EdgeGraph g =
        Load(Deliverable::Spanpairs, "AAAAAAAAAAAAAAA BBBBBBBBBBBBBBB 0.123456789012\n");
    EXPECT_EQ(g.nameCount, 2);
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 0.123456789012}}));
  }
  {
    // 0.333... with 400 digits rounds to the same double as 1/3.
    const EdgeGraph g = Load(Deliverable::Anypairs, "a b 0." + std::string(400, '3') + "\n");
    EXPECT_EQ(g.nameCount, 2);
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 1.0 / 3.0}}));
  }
  {
    const std::string text = "a b 1 " + std::string(6000, 'w') + " c d 5\ne f 1\n";
    const EdgeGraph g = Load(Deliverable::Anybridge, text);
    EXPECT_EQ(g.nameCount, 4);
    EXPECT_EQ(IndexOf(g, "e"), 2);
  }
}

TEST(Loader, LinesOfWhiteSpaceOnlyAreSkipped) {
  const EdgeGraph g = Load(Deliverable::Anybridge, "\n\r\n \t \n\t\na b 1\n\n   \n\r\n\v\f\n");
  EXPECT_EQ(g.nameCount, 2);
  EXPECT_EQ(ListOf(g, 0), (Cells{{1, 1.0}}));
  // Skipped lines still count for the line numbers of later errors.
  const Failure f = LoadFailure(Deliverable::Anybridge, "\n\r\n\t\na b 1\nlonely\n");
  EXPECT_EQ(f.status, 1);
  EXPECT_TRUE(NamesFileAndLine(f, 5));
}

TEST(Loader, LinesWithoutTwoNamesAndAWeightAreErrors) {
  const struct {
    std::string text;
    int line;
  } cases[] = {
      {"a\n", 1},
      {"a b 1\nc d\n", 2},
      {"a b\t\r\n", 1},
      {"a b abc\n", 1},
      {"a b -\n", 1},
      {"a b +\n", 1},
      {"a b .\n", 1},
      {"a b e5\n", 1},
      {"a b x1\n", 1},
      {"x y 1\n\nz\n", 3},
      {"a b 1\r\na\r\n", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    for (const Deliverable which : {Deliverable::Anybridge, Deliverable::Anypairs}) {
      const Failure f = LoadFailure(which, c.text);
      EXPECT_EQ(f.status, 1);
      EXPECT_TRUE(NamesFileAndLine(f, c.line));
    }
  }
}

// The weight is the longest valid number at the start of the third field.
TEST(Loader, WeightIsTheNumberAtTheStartOfTheField) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"1.5abc", 1.5}, {"1e3xyz", 1000.0},  {"+2", 2.0},          {"-0.5e1", -5.0},
      {".5", 0.5},     {"5.", 5.0},         {"0x1p3", 8.0},       {"0X1P-2", 0.25},
      {"0x10", 16.0},  {"inf", kInf},       {"INFINITY", kInf},   {"Infinity", kInf},
      {"iNf", kInf},   {"infinite", kInf},  {"-inf", -kInf},      {"NaN", kNaN},
      {"nan", kNaN},   {"NAN", kNaN},       {"nanny", kNaN},      {"1,5", 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const EdgeGraph g = Load(Deliverable::Anypairs, std::string("a b ") + c.text + "\n");
    ASSERT_EQ(g.nameCount, 2);
    const Cells a = ListOf(g, 0);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_TRUE(SameDouble(c.value, a[0].second));
  }
}

TEST(Loader, MoreNamesThanTheCapacityIsAnError) {
  const std::string text = "n1 n2 1\nn3 n4 1\nn5 n6 1\nn7 n8 1\n";
  const Failure f = LoadFailure(Deliverable::Anybridge, text, 7);
  EXPECT_EQ(f.status, 1);
  EXPECT_TRUE(NamesFileAndLine(f, 4));
  EXPECT_TRUE(ContainsNumber(f.rest(), 7)) << f.message;
  // Exactly the capacity is fine, and a name seen before takes no room.
  EXPECT_EQ(Load(Deliverable::Anybridge, text, 8).nameCount, 8);
  EXPECT_EQ(Load(Deliverable::Anypairs, "a b 1\nb a 2\na a 1\n", 2).nameCount, 2);
}

TEST(Loader, PositiveFilterCapacityCountsKeptNamesOnly) {
  const std::string dropped = "x y 0\nz w -1\nq r nan\n";
  const EdgeGraph g = Load(Deliverable::Plusbridge, dropped + "a b 1\nb c 1\n", 3);
  EXPECT_EQ(g.nameCount, 3);
  EXPECT_EQ(EdgeGraph_Name(g, 2), "c");
  const Failure f = LoadFailure(Deliverable::Plusbridge, dropped + "a b 1\nb c 1\nc d 1\n", 3);
  EXPECT_EQ(f.status, 1);
  EXPECT_TRUE(NamesFileAndLine(f, 6));
  EXPECT_TRUE(ContainsNumber(f.rest(), 3)) << f.message;
}

// A malformed line is an error even where its weight would have dropped it.
TEST(Loader, PositiveFilterChecksEveryLine) {
  const struct {
    std::string text;
    int line;
  } cases[] = {
      {"a b 1\nc d\n", 2},
      {"a b abc\n", 1},
      {"a b 1\nc d -\n", 2},
      {"a\n", 1},
      {"a b 1\n" + std::string(16, 'n') + " b 0\n", 2},
      {"a b 1\nb " + std::string(16, 'n') + " -5\n", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Failure f = LoadFailure(Deliverable::Plusbridge, c.text);
    EXPECT_EQ(f.status, 1);
    EXPECT_TRUE(NamesFileAndLine(f, c.line));
  }
}

TEST(Loader, NulByteEndsTheLine) {
  {
    const std::string text = std::string("a b 1") + '\0' + " c d 2\nx y 3\n";
    const EdgeGraph g = Load(Deliverable::Anybridge, text);
    EXPECT_EQ(g.nameCount, 4);
    EXPECT_EQ(IndexOf(g, "c"), -1);
    EXPECT_EQ(IndexOf(g, "x"), 2);
  }
  {
    const std::string text = std::string("a b 1") + '\0' + "5\n";
    const EdgeGraph g = Load(Deliverable::Anypairs, text);
    EXPECT_EQ(ListOf(g, 0), (Cells{{1, 1.0}}));
  }
  {
    const std::string text = std::string("p q 1\na") + '\0' + " b 1\n";
    const Failure f = LoadFailure(Deliverable::Anybridge, text);
    EXPECT_EQ(f.status, 1);
    EXPECT_TRUE(NamesFileAndLine(f, 2));
  }
}

TEST(Loader, FileThatCannotBeReadIsAnError) {
  char dir[] = "/tmp/pathsuite-loader-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string missing = std::string(dir) + "/no-such-file.txt";
  const std::pair<std::string, std::string> cases[] = {{missing, std::strerror(ENOENT)},
                                                      {dir, std::strerror(EISDIR)}};
  for (const auto& [path, reason] : cases) {
    SCOPED_TRACE(path);
    try {
      EdgeGraph_Load(Settings(Deliverable::Anybridge, path, 10));
      ADD_FAILURE() << "the load succeeded";
    } catch (const RunError& e) {
      EXPECT_EQ(e.status(), 1);
      const std::string message = e.what();
      EXPECT_NE(message.find(path), std::string::npos) << message;
      EXPECT_NE(message.find(reason), std::string::npos) << message;
    }
  }
  rmdir(dir);
}

TEST(Loader, UnnamedIndicesReadAsEmptyNames) {
  const EdgeGraph g = Load(Deliverable::Betweenness, "a b 1\n");
  EXPECT_EQ(g.nodeCapacity, 17039);
  EXPECT_EQ(EdgeGraph_Name(g, 2), "");
  EXPECT_EQ(EdgeGraph_Name(g, 17038), "");
  EXPECT_EQ(EdgeGraph_Head(g, 17038), nullptr);
}

// Storage follows the names, not the capacity.
TEST(Loader, HugeCapacityOverASmallFile) {
  for (const Deliverable which : {Deliverable::Anybridge, Deliverable::Anypairs}) {
    const EdgeGraph g = Load(which, "a b 1\nb c 2\n", 2000000000);
    EXPECT_EQ(g.nodeCapacity, 2000000000);
    EXPECT_EQ(g.nameCount, 3);
    EXPECT_EQ(EdgeGraph_Name(g, 3), "");
    EXPECT_EQ(EdgeGraph_Name(g, 1999999999), "");
    EXPECT_EQ(EdgeGraph_Head(g, 1999999999), nullptr);
    EXPECT_LT(g.heads.capacity(), 1024u);
    EXPECT_LT(g.names.slots.capacity(), 65536u);
  }
}

}  // namespace
