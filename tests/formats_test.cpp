// The readers against the programs' loader: one graph written in every
// format (blank, CSV with and without a header, quoted, padded, TSV, extra
// and reordered columns, Matrix Market, gzip of each, standard input) reads
// as the EdgeList that EdgeList_Read gives for the programs' format, names,
// ends and weights to the bit. Then the rules one by one, table-driven, the
// number parser against strtod, and the progress reports.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graph/EdgeList.h"
#include "graph/formats/Formats.h"
#include "graph/formats/Number.h"
#include "tests/FormatsSupport.h"
#include "tests/TestSupport.h"

namespace {

void ExpectSameEdges(const EdgeList& want, const EdgeList& got, const std::string& label) {
  ASSERT_EQ(want.NodeCount(), got.NodeCount()) << label;
  for (int32_t i = 0; i < want.NodeCount(); ++i) {
    ASSERT_EQ(want.names.Name(i), got.names.Name(i)) << label << ", node " << i;
  }
  ASSERT_EQ(want.ends, got.ends) << label;
  ASSERT_EQ(want.weights.size(), got.weights.size()) << label;
  for (size_t e = 0; e < want.weights.size(); ++e) {
    ASSERT_EQ(0, std::memcmp(&want.weights[e], &got.weights[e], sizeof(double)))
        << label << ", edge " << e << ": " << want.weights[e] << " / " << got.weights[e];
  }
}

// The programs' loader with no limit on names or their length.
EdgeList ReadAsThePrograms(const std::string& path) {
  RunSettings settings = SettingsWithPath(Deliverable::Anybridge, path);
  settings.nodeCapacity = INT32_MAX;
  settings.nameWidth = 1 << 20;
  return EdgeList_Read(settings);
}

EdgeList ReadOrFail(const ReadOptions& options, const std::string& label) {
  ReadOutcome out = ReadWith(options);
  EXPECT_FALSE(out.failed) << label << ": " << out.message;
  return std::move(out.edges);
}

struct Row {
  std::string a, b, w;
};

// Names that need CSV's quoting, bytes beyond ASCII, and lengths past every
// program's limit, none starting with a comment mark.
std::string Decorate(const std::string& name, int round) {
  const int k = std::atoi(name.c_str() + 1) + round;
  switch (k % 5) {
    case 0:
      return "n," + name;
    case 1:
      return "q\"" + name + "\"";
    case 2:
      return "\xc3\xa9" + name;
    case 3:
      return name + std::string(40, 'x');
    default:
      return name;
  }
}

std::vector<Row> MakeRows(std::mt19937_64& rng, const GraphShape& shape, int round) {
  std::vector<Row> rows;
  const std::string text = MakeGraph(rng, shape);
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const size_t s1 = line.find(' '), s2 = line.find(' ', s1 + 1);
    rows.push_back({Decorate(line.substr(0, s1), round), Decorate(line.substr(s1 + 1, s2 - s1 - 1), round),
                    line.substr(s2 + 1)});
  }
  return rows;
}

// A CSV or TSV field, quoted when it must be (or always, with force).
std::string Field(const std::string& text, char separator, bool force) {
  const bool needs = text.find_first_of(std::string("\" ") + separator) != std::string::npos;
  if (!needs && !force) return text;
  std::string out = "\"";
  for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

struct Written {
  std::string label;
  std::string name;  // the file's name: its extension picks the format
  std::string content;
  ReadOptions options;
};

std::vector<Written> EveryFormat(const std::vector<Row>& rows) {
  std::vector<Written> out;
  const auto add = [&](const std::string& label, const std::string& name, const auto& line,
                       const std::string& header, ReadOptions options = {}) {
    std::string text = header;
    for (const Row& r : rows) text += line(r);
    out.push_back({label, name, text, options});
  };
  const auto csv = [](const Row& r) {
    return Field(r.a, ',', false) + "," + Field(r.b, ',', false) + "," + r.w + "\n";
  };
  add("csv", "g.csv", csv, "");
  add("csv with a header", "g.csv", csv, "source,target,weight\n");
  add("csv quoted, CRLF", "g.CSV",
      [](const Row& r) {
        return Field(r.a, ',', true) + "," + Field(r.b, ',', true) + "," + Field(r.w, ',', true) + "\r\n";
      },
      "\xef\xbb\xbf\"From\",\"To\",\"Weight\"\r\n");
  add("csv padded, comments", "g.csv",
      [](const Row& r) {
        return "# a comment\n" + Field(r.a, ',', false) + " , " + Field(r.b, ',', false) + ",\t" + r.w +
               "  \n\n";
      },
      "% heading\n");
  add("tsv", "g.tsv",
      [](const Row& r) { return Field(r.a, '\t', false) + "\t" + Field(r.b, '\t', false) + "\t" + r.w + "\n"; },
      "src\tdst\tw\n");
  ReadOptions named;
  named.columns = Formats_ParseColumns("Source,Target,weight");
  add("csv with more columns, chosen by name", "g.csv",
      [](const Row& r) {
        return "7," + Field(r.a, ',', false) + ",x," + Field(r.b, ',', false) + "," + r.w + ",\n";
      },
      "id,source,type,target,Weight,label\n", named);
  ReadOptions numbered;
  numbered.columns = Formats_ParseColumns("3,2,1");
  numbered.format = InputFormat::Csv;
  add("csv reordered, chosen by number, format chosen", "g.txt",
      [](const Row& r) { return r.w + "," + Field(r.b, ',', false) + "," + Field(r.a, ',', false) + "\n"; },
      "", numbered);
  add("blank, tabs, a byte-order mark", "g.edges",
      [](const Row& r) { return " \t" + r.a + "\t\t" + r.b + "   " + r.w + "\r\n"; }, "\xef\xbb\xbf");
  return out;
}

std::string BlankText(const std::vector<Row>& rows) {
  std::string text;
  for (const Row& r : rows) text += r.a + " " + r.b + " " + r.w + "\n";
  return text;
}

TEST(FormatsDifferential, EveryFormatReadsAsTheProgramsGraph) {
  std::mt19937_64 rng(20261212);
  TempDir dir;
  for (int round = 0; round < 12; ++round) {
    const GraphShape shape{2 + round * 11, 1 + round * 23, (round * 17) % 60, round == 5};
    const std::vector<Row> rows = MakeRows(rng, shape, round);
    const std::string programs = WriteNamed(dir.path(), "programs.txt", BlankText(rows));
    const EdgeList want = ReadAsThePrograms(programs);
    // The programs' own file, read by the readers: the content hash too.
    const EdgeList same = ReadOrFail(OptionsFor(programs), "blank");
    ExpectSameEdges(want, same, "blank, round " + std::to_string(round));
    EXPECT_EQ(same.inputSize, want.inputSize);
    EXPECT_EQ(same.inputHash, want.inputHash);
    for (Written& w : EveryFormat(rows)) {
      const std::string label = w.label + ", round " + std::to_string(round);
      w.options.path = WriteNamed(dir.path(), w.name, w.content);
      ExpectSameEdges(want, ReadOrFail(w.options, label), label);
#ifdef TESTS_WRITE_GZIP
      w.options.path = WriteNamed(dir.path(), w.name + ".gz", Gzip(w.content));
      const EdgeList zipped = ReadOrFail(w.options, label + ", gzip");
      ExpectSameEdges(want, zipped, label + ", gzip");
      EXPECT_EQ(zipped.inputSize, w.content.size()) << label;
#endif
    }
  }
}

TEST(FormatsDifferential, StandardInputReadsAsTheFile) {
  std::mt19937_64 rng(7);
  const std::vector<Row> rows = MakeRows(rng, GraphShape{3000, 40000, 20, true}, 0);
  TempDir dir;
  const std::string text = BlankText(rows);
  const std::string path = WriteNamed(dir.path(), "g.txt", text);
  const EdgeList want = ReadAsThePrograms(path);
  ReadOptions options = OptionsFor("-");
  {
    StdinFromFile in(path);
    ExpectSameEdges(want, ReadOrFail(options, "stdin from a file"), "stdin from a file");
  }
  {
    StdinFromStream in(text);
    const EdgeList got = ReadOrFail(options, "stdin from a stream");
    ExpectSameEdges(want, got, "stdin from a stream");
    EXPECT_EQ(got.inputHash, want.inputHash);
  }
  std::string csv = "source,target,weight\n";
  for (const Row& r : rows) csv += Field(r.a, ',', false) + "," + Field(r.b, ',', false) + "," + r.w + "\n";
  options.format = InputFormat::Csv;
  {
    StdinFromStream in(csv);
    ExpectSameEdges(want, ReadOrFail(options, "csv on stdin"), "csv on stdin");
  }
#ifdef TESTS_WRITE_GZIP
  options.format = InputFormat::Auto;  // gzip by its bytes, blank by default
  {
    StdinFromStream in(Gzip(text));
    ExpectSameEdges(want, ReadOrFail(options, "gzip on stdin"), "gzip on stdin");
  }
#endif
}

TEST(FormatsDifferential, UnweightedFilesWeighOne) {
  std::mt19937_64 rng(11);
  std::vector<Row> rows = MakeRows(rng, GraphShape{50, 400, 0, false}, 3);
  for (Row& r : rows) r.w = "1";
  TempDir dir;
  const EdgeList want = ReadAsThePrograms(WriteNamed(dir.path(), "w.txt", BlankText(rows)));
  std::string blank, csv = "source,target\n", tsv;
  for (const Row& r : rows) {
    blank += r.a + " " + r.b + "\n";
    csv += Field(r.a, ',', false) + "," + Field(r.b, ',', false) + "\n";
    tsv += Field(r.a, '\t', false) + "\t" + Field(r.b, '\t', false) + "\n";
  }
  ExpectSameEdges(want, ReadOrFail(OptionsFor(WriteNamed(dir.path(), "u.txt", blank)), "blank"), "blank");
  ExpectSameEdges(want, ReadOrFail(OptionsFor(WriteNamed(dir.path(), "u.csv", csv)), "csv"), "csv");
  ExpectSameEdges(want, ReadOrFail(OptionsFor(WriteNamed(dir.path(), "u.tsv", tsv)), "tsv"), "tsv");
  // A weight column left out by --columns: every edge weighs 1.
  std::string weighted = "a,b,w\n";
  for (const Row& r : rows) weighted += Field(r.a, ',', false) + "," + Field(r.b, ',', false) + ",9.5\n";
  ReadOptions ends = OptionsFor(WriteNamed(dir.path(), "w.csv", weighted));
  ends.columns = Formats_ParseColumns("a,b");
  ExpectSameEdges(want, ReadOrFail(ends, "--columns without the weight"), "--columns without the weight");
}

TEST(FormatsDifferential, MatrixMarketReadsAsTheGraphNumberedFromOne) {
  // Names 1..n in order of first appearance, so the edge list and the matrix
  // number the nodes alike.
  std::mt19937_64 rng(13);
  TempDir dir;
  for (const char* field : {"real", "pattern", "integer"}) {
    const std::vector<Row> raw = MakeRows(rng, GraphShape{60, 500, 30, false}, 4);
    std::vector<Row> rows;
    std::map<std::string, int> number;
    for (const Row& r : raw) {
      for (const std::string& name : {r.a, r.b}) number.emplace(name, static_cast<int>(number.size()) + 1);
      const std::string w = std::string(field) == "real" ? r.w : std::string(field) == "integer" ? "3" : "1";
      rows.push_back({std::to_string(number[r.a]), std::to_string(number[r.b]), w});
    }
    const EdgeList want = ReadAsThePrograms(WriteNamed(dir.path(), "m.txt", BlankText(rows)));
    const std::string n = std::to_string(number.size());
    std::string mtx = "%%MatrixMarket matrix coordinate " + std::string(field) + " general\n% made here\n\n" +
                      n + " " + n + " " + std::to_string(rows.size()) + "\n";
    for (const Row& r : rows) {
      mtx += r.a + " " + r.b + (std::string(field) == "pattern" ? "" : " " + r.w) + "\n";
    }
    ExpectSameEdges(want, ReadOrFail(OptionsFor(WriteNamed(dir.path(), "m.mtx", mtx)), field), field);
    // The banner alone tells the format, whatever the name.
    ExpectSameEdges(want, ReadOrFail(OptionsFor(WriteNamed(dir.path(), "m.dat", mtx)), field), field);
#ifdef TESTS_WRITE_GZIP
    ExpectSameEdges(want, ReadOrFail(OptionsFor(WriteNamed(dir.path(), "m.mtx.gz", Gzip(mtx))), field),
                    std::string(field) + ", gzip");
#endif
  }
}

// An EdgeList as text: "names | a-b:w ..." with weights as %g prints them.
std::string Describe(const EdgeList& edges) {
  std::string text;
  for (int32_t i = 0; i < edges.NodeCount(); ++i) text += std::string(edges.names.Name(i)) + " ";
  text += "|";
  for (size_t e = 0; e < edges.EdgeCount(); ++e) {
    char w[32];
    std::snprintf(w, sizeof w, "%g", edges.weights[e]);
    text += " " + std::to_string(edges.ends[2 * e]) + "-" + std::to_string(edges.ends[2 * e + 1]) + ":" + w;
  }
  return text;
}

struct RuleCase {
  const char* label;
  const char* name;  // the file's name
  std::string content;
  const char* columns;  // nullptr: none
  HeaderChoice header;
  std::string want;  // Describe of the EdgeList read
};

TEST(FormatsRules, EachRuleReadsAsDocumented) {
  const RuleCase cases[] = {
      {"header by a word in the weight column", "g.csv", "source,target,weight\na,b,2\n", nullptr,
       HeaderChoice::Auto, "a b | 0-1:2"},
      {"header by end words", "g.csv", "Source,Target\na,b\n", nullptr, HeaderChoice::Auto, "a b | 0-1:1"},
      {"header by end words, any case", "g.txt", "FROM TO\na b\n", nullptr, HeaderChoice::Auto, "a b | 0-1:1"},
      {"no header: names that are not column words", "g.csv", "alice,bob\nb,c\n", nullptr, HeaderChoice::Auto,
       "alice bob b c | 0-1:1 2-3:1"},
      {"no header: numbers", "g.csv", "x,y,inf\nnan,y,-0\n", nullptr, HeaderChoice::Auto,
       "x y nan | 0-1:inf 2-1:-0"},
      {"header forced", "g.csv", "a,b,1\nc,d,2\n", nullptr, HeaderChoice::Yes, "c d | 0-1:2"},
      {"header refused", "g.csv", "source,target\nb,c\n", nullptr, HeaderChoice::No,
       "source target b c | 0-1:1 2-3:1"},
      {"columns by name, header found by them", "g.csv", "u,v,w,t\na,b,2,9\n", "t,u", HeaderChoice::Auto,
       "9 a | 0-1:1"},
      {"columns by name, the exact spelling first", "g.csv", "W,w,a,b\n1,2,x,y\n", "a,b,w", HeaderChoice::Auto,
       "x y | 0-1:2"},
      {"columns by number, fields beyond ignored", "g.txt", "a b 3 junk here\nc d 4\n", "1,2,3",
       HeaderChoice::No, "a b c d | 0-1:3 2-3:4"},
      {"comments, blank lines, empty rows", "g.csv", "# one\n\n  % two\n,,\na,b,1\n ,\t, \n", nullptr,
       HeaderChoice::Auto, "a b | 0-1:1"},
      {"a name may start with # when quoted", "g.csv", "\"#tag\",b,1\n", nullptr, HeaderChoice::Auto,
       "#tag b | 0-1:1"},
      {"quoting: separators and doubled quotes", "g.csv", "\"a,1\",\"say \"\"hi\"\"\",\"2\"\n", nullptr,
       HeaderChoice::Auto, "a,1 say \"hi\" | 0-1:2"},
      {"quoting keeps inner blanks, padding is dropped", "g.csv", "  \" a \" ,b c,1\n", nullptr,
       HeaderChoice::Auto, " a  b c | 0-1:1"},
      {"a quote inside an unquoted field is text", "g.csv", "5\"2,b,1\n", nullptr, HeaderChoice::Auto,
       "5\"2 b | 0-1:1"},
      {"tsv: commas and blanks are text", "g.tsv", "a, b\tc d\t1\n", nullptr, HeaderChoice::Auto,
       "a, b c d | 0-1:1"},
      {"blank: any white space separates", "g.txt", "a\v b\f\t1\r\n", nullptr, HeaderChoice::Auto,
       "a b | 0-1:1"},
      {"self-loops and repeats stay", "g.txt", "a a 1\na b 2\na b 2\n", nullptr, HeaderChoice::Auto,
       "a b | 0-0:1 0-1:2 0-1:2"},
      {"whole-field numbers of every form", "g.txt",
       "a b 0x1.8p1\na b INFINITY\na b -Inf\na b 1e400\na b 1e-400\na b +.5\na b 5.\na b 1E+2\n", nullptr,
       HeaderChoice::Auto, "a b | 0-1:3 0-1:inf 0-1:-inf 0-1:inf 0-1:0 0-1:0.5 0-1:5 0-1:100"},
      {"a last line without a newline", "g.txt", "a b 1\nb c 2", nullptr, HeaderChoice::Auto,
       "a b c | 0-1:1 1-2:2"},
      {"an empty file", "g.csv", "", nullptr, HeaderChoice::Yes, "|"},
      {"only a header", "g.csv", "source,target,weight\n", nullptr, HeaderChoice::Auto, "|"},
      {"matrix market: every declared node, in index order", "g.mtx",
       "%%MatrixMarket matrix coordinate pattern symmetric\n%c\n5 5 2\n4 2\n3 3\n", nullptr, HeaderChoice::Auto,
       "1 2 3 4 5 | 3-1:1 2-2:1"},
      {"matrix market: both entries of a general matrix are edges", "g.mtx",
       "%%matrixmarket MATRIX Coordinate Real General\n2 2 2\n1 2 0.5\n2 1 0.5\n", nullptr,
       HeaderChoice::Auto, "1 2 | 0-1:0.5 1-0:0.5"},
      {"matrix market: indices in any form of decimal", "g.mtx",
       "%%MatrixMarket matrix coordinate integer general\n3 3 1\n003 1 -7\n", nullptr, HeaderChoice::Auto,
       "1 2 3 | 2-0:-7"},
      {"matrix market: an empty matrix", "g.mtx", "%%MatrixMarket matrix coordinate real general\n0 0 0\n",
       nullptr, HeaderChoice::Auto, "|"},
  };
  TempDir dir;
  for (const RuleCase& c : cases) {
    ReadOptions options = OptionsFor(WriteNamed(dir.path(), c.name, c.content));
    options.header = c.header;
    if (c.columns != nullptr) options.columns = Formats_ParseColumns(c.columns);
    const ReadOutcome out = ReadWith(options);
    ASSERT_FALSE(out.failed) << c.label << ": " << out.message;
    EXPECT_EQ(Describe(out.edges), c.want) << c.label;
  }
}

TEST(FormatsRules, FormatComesFromTheOptionTheExtensionOrTheBanner) {
  // "a,b 1" is the edge "a,b"-"1" blank-separated, "a"-"b 1" as CSV. A
  // plain file named .gz is read as its content is.
  TempDir dir;
  const std::string content = "a,b 1\n";
  const struct {
    const char* name;
    InputFormat format;
    const char* want;
  } cases[] = {
      {"g.txt", InputFormat::Auto, "a,b 1 | 0-1:1"},       {"g.csv", InputFormat::Auto, "a b 1 | 0-1:1"},
      {"G.CSV.GZ", InputFormat::Auto, "a b 1 | 0-1:1"},    {"g.csv", InputFormat::Blank, "a,b 1 | 0-1:1"},
      {"g.txt", InputFormat::Csv, "a b 1 | 0-1:1"},        {"g.tsv", InputFormat::Blank, "a,b 1 | 0-1:1"},
      {"g.tab", InputFormat::Csv, "a b 1 | 0-1:1"},
  };
  for (const auto& c : cases) {
    ReadOptions options = OptionsFor(WriteNamed(dir.path(), c.name, content));
    options.format = c.format;
    const ReadOutcome out = ReadWith(options);
    ASSERT_FALSE(out.failed) << c.name << ": " << out.message;
    EXPECT_EQ(Describe(out.edges), c.want) << c.name;
  }
  EXPECT_EQ(Formats_Named("mtx"), InputFormat::MatrixMarket);
  EXPECT_EQ(Formats_Named("csv"), InputFormat::Csv);
  EXPECT_EQ(Formats_Named("tsv"), InputFormat::Tsv);
  EXPECT_EQ(Formats_Named("blank"), InputFormat::Blank);
  EXPECT_EQ(Formats_Named("CSV"), std::nullopt);
}

TEST(FormatsRules, LinesOfAnyLengthAndGzipMembers) {
  TempDir dir;
  const std::string longName(3 << 20, 'n');  // past the reader's first blocks
  const std::string text = "a b 1\n" + longName + " b 2\nc " + longName + " 3\n";
  const ReadOutcome plain = ReadWith(OptionsFor(WriteNamed(dir.path(), "long.txt", text)));
  ASSERT_FALSE(plain.failed) << plain.message;
  EXPECT_EQ(plain.edges.NodeCount(), 4);
  EXPECT_EQ(plain.edges.names.Name(2), longName);
  const ReadOutcome small = ReadWith(OptionsFor(WriteNamed(dir.path(), "s.gz", SmallGzip())));
  if (!Formats_ReadsGzip()) {
    ASSERT_TRUE(small.failed);
    EXPECT_NE(small.message.find("this build reads no gzip"), std::string::npos) << small.message;
    return;
  }
  ASSERT_FALSE(small.failed) << small.message;
  EXPECT_EQ(Describe(small.edges), "a b c | 0-1:1 1-2:2");
  // Concatenated members read as one stream, as gzip -d reads them.
  const ReadOutcome twice =
      ReadWith(OptionsFor(WriteNamed(dir.path(), "twice.gz", SmallGzip() + SmallGzip())));
  ASSERT_FALSE(twice.failed) << twice.message;
  EXPECT_EQ(Describe(twice.edges), "a b c | 0-1:1 1-2:2 0-1:1 1-2:2");
}

TEST(FormatsNumber, AgreesWithStrtodOnWholeFields) {
  std::vector<std::string> texts = {
      "0", "-0", "+0", "1", "-1", "0.1", ".5", "5.", ".", "-", "+", "e5", "1e", "1e+", "1e-5", "1E5",
      "123456789012345678", "1234567890123456789", "12345678901234567890", "9007199254740993",
      "9007199254740992", "0.1e-22", "1e22", "1e23", "4.9e-324", "2.4e-324", "1.7976931348623157e308",
      "1.8e308", "1e-400", "0x1p-1074", "0X1.FFFFFFFFFFFFFp1023", "0x", "0x.8", "inf", "-INF", "Infinity",
      "infinit", "nan", "NaN", "-nan", "nan(123)", "nan(", "1.5abc", " 1", "1 ", "1\t", "1,5", "1_000",
      "00000000000000000000001", "0.000000000000000000000000001", "1e0000000000001", "+-1", "--1", "1e--1",
      std::string("1\0" "2", 3)};
  std::mt19937_64 rng(3);
  const char* digits = "0123456789";
  for (int i = 0; i < 20000; ++i) {
    std::string t;
    if (rng() % 4 == 0) t += rng() % 2 ? "-" : "+";
    const int whole = static_cast<int>(rng() % 12), frac = static_cast<int>(rng() % 14);
    for (int d = 0; d < whole; ++d) t += digits[rng() % 10];
    if (rng() % 3 != 0) t += ".";
    for (int d = 0; d < frac; ++d) t += digits[rng() % 10];
    if (rng() % 3 == 0) t += "e" + std::to_string(static_cast<int>(rng() % 700) - 350);
    if (rng() % 50 == 0) t += "x";
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    char* end = nullptr;
    const double want = std::strtod(t.c_str(), &end);
    const bool whole = !t.empty() && end == t.c_str() + t.size();
    double got = 12345;
    ASSERT_EQ(Number_Read(t, got), whole) << "'" << t << "'";
    if (!whole) {
      EXPECT_EQ(got, 12345) << t;
      continue;
    }
    ASSERT_EQ(0, std::memcmp(&want, &got, sizeof want)) << "'" << t << "': " << want << " / " << got;
  }
}

TEST(FormatsRobustness, MangledInputsReadOrFailCleanly) {
  // Valid files of each format with bytes changed, dropped and added (the
  // characters the splitters care about most often): every read gives a
  // sound EdgeList or a RunError naming the file, never anything else.
  const std::string seeds[] = {
      "source,target,weight\n\"a,\"\"x\",b,1\r\nb,c,2e3\n# c\nc,a,0x1p3\n",
      "a b 1\n\tb c 2\n% c\nc d nan\n",
      "x\ty\t1\n\"q\"\tz\t2\n",
      "%%MatrixMarket matrix coordinate real general\n% c\n3 3 3\n1 2 1\n2 3 2.5\n3 3 -1\n",
  };
  const char* names[] = {"m.csv", "m.txt", "m.tsv", "m.mtx"};
  const char mangle[] = {'"', ',', '\t', ' ', '\n', '\r', '\0', '%', '#', 'e', '.', '-', '9', '\xef'};
  std::mt19937_64 rng(17);
  TempDir dir;
  for (int round = 0; round < 400; ++round) {
    const size_t which = static_cast<size_t>(round) % 4;
    std::string text = seeds[which];
    for (int edits = 1 + static_cast<int>(rng() % 4); edits > 0; --edits) {
      const size_t at = rng() % (text.size() + 1);
      const char c = rng() % 3 == 0 ? static_cast<char>(rng()) : mangle[rng() % sizeof mangle];
      switch (rng() % 3) {
        case 0:
          text.insert(at, 1, c);
          break;
        case 1:
          if (at < text.size()) text[at] = c;
          break;
        default:
          if (at < text.size()) text.erase(at, 1);
      }
    }
    ReadOptions options = OptionsFor(WriteNamed(dir.path(), names[which], text));
    if (rng() % 4 == 0) options.header = rng() % 2 ? HeaderChoice::Yes : HeaderChoice::No;
    if (which != 3 && rng() % 4 == 0) options.columns = Formats_ParseColumns(rng() % 2 ? "2,1" : "1,2,3");
    const ReadOutcome out = ReadWith(options);
    if (out.failed) {
      EXPECT_TRUE(out.status == 1 || out.status == 2) << out.message;
      EXPECT_NE(out.message.find(options.path), std::string::npos) << out.message;
      continue;
    }
    const EdgeList& e = out.edges;
    ASSERT_EQ(e.ends.size(), 2 * e.weights.size());
    for (const int32_t end : e.ends) ASSERT_TRUE(end >= 0 && end < e.NodeCount());
    for (int32_t i = 0; i < e.NodeCount(); ++i) EXPECT_FALSE(e.names.Name(i).empty());
  }
}

TEST(FormatsProgress, ReportsEveryFewMebibytesAndAtTheEnd) {
  std::string text;
  for (int i = 0; text.size() < (size_t{9} << 20); ++i) {
    text += "node" + std::to_string(i % 5000) + " node" + std::to_string((i * 7) % 5000) + " 1\n";
  }
  TempDir dir;
  const std::string path = WriteNamed(dir.path(), "big.txt", text);
  for (const bool stream : {false, true}) {
    std::vector<std::pair<uint64_t, uint64_t>> calls;
    ReadOptions options = OptionsFor(stream ? "-" : path);
    options.progress = [&](uint64_t done, uint64_t total) { calls.emplace_back(done, total); };
    std::optional<StdinFromStream> in;
    if (stream) in.emplace(text);
    const ReadOutcome out = ReadWith(options);
    in.reset();
    ASSERT_FALSE(out.failed) << out.message;
    ASSERT_GE(calls.size(), 3u);  // past 4 and 8 MiB, and the end
    EXPECT_LE(calls.size(), 4u);
    for (size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].second, stream ? 0u : text.size());
      if (i > 0) {
        EXPECT_GT(calls[i].first, calls[i - 1].first);
      }
      if (i + 1 < calls.size()) {
        EXPECT_GE(calls[i].first, (i + 1) * (uint64_t{4} << 20));
      }
    }
    EXPECT_EQ(calls.back().first, text.size());
  }
}

}  // namespace
