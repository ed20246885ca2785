// Every message the readers give, with its line number (the line of the
// user's file, comments and header counted) and its hint, and its status:
// 1 for the input, 2 for options that cannot go together.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graph/formats/Formats.h"
#include "tests/FormatsSupport.h"
#include "tests/TestSupport.h"

namespace {

struct ErrorCase {
  const char* name;  // the file's name in a fresh directory; its extension picks the format
  std::string content;
  const char* columns;  // nullptr: none
  HeaderChoice header;
  int status;
  std::string message;  // FILE stands for the file's path
};

std::string WithPath(std::string message, const std::string& path) {
  for (size_t at = message.find("FILE"); at != std::string::npos; at = message.find("FILE", at)) {
    message.replace(at, 4, path);
    at += path.size();
  }
  return message;
}

const std::string kBanner = "'%%MatrixMarket matrix coordinate real|integer|pattern general|symmetric'";

const ErrorCase kCases[] = {
    // The line formats: what a line must hold.
    {"g.txt", "a,b,1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: expected two names and an optional weight, found 1 field; the line looks comma-separated: "
     "use --format csv"},
    {"g.csv", "a\tb\t1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: expected two names and an optional weight, found 1 field; the line looks tab-separated: use "
     "--format tsv"},
    {"g.csv", "a,b,1\nc d 2\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:2: expected two names and an optional weight, found 1 field; the line looks blank-separated: use "
     "--format blank"},
    {"g.txt", "# two comments\n# and a blank line\n\na b c d e\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:4: expected two names and an optional weight, found 5 fields: use --columns to choose them"},
    {"g.csv", "Source,Target,Type,Id,Label,Weight\na,b,Undirected,0,,1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:2: expected two names and an optional weight, found 6 fields: use --columns to choose them (the "
     "header's columns: Source, Target, Type, Id, Label, Weight)"},
    {"g.txt", "a b 1\n% note\nc d\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:3: 2 fields where line 1 has 3: give every line a weight, or none"},
    {"g.txt", "a b\nc d 1\n", nullptr, HeaderChoice::No, 1,
     "FILE:2: 3 fields where line 1 has 2: give every line a weight, or none"},
    {"g.txt", "# edges\nfrom_node to_node\na b 1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:3: 3 fields where line 2 has 2: give every line a weight, or none; if line 2 is a header, use "
     "--header"},
    {"g.txt", "a b\nc d\ne f 1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:3: 3 fields where line 1 has 2: give every line a weight, or none"},
    // Weights and names.
    {"g.txt", "a b 1\nc d abc\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:2: weight 'abc' in column 3 is not a number"},
    {"g.txt", "a b 1.5abc\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: weight '1.5abc' in column 3 is not a number"},
    {"g.tsv", "a\tb\t2,5\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: weight '2,5' in column 3 is not a number: write the decimal point as '.'"},
    {"g.txt", "source target weight\na b 1\n", nullptr, HeaderChoice::No, 1,
     "FILE:1: weight 'weight' in column 3 is not a number; line 1 looks like a header: use --header"},
    {"g.csv", "a,b,1\nc,d,\n", nullptr, HeaderChoice::Auto, 1, "FILE:2: empty weight in column 3"},
    {"g.csv", "a,b,1\n,d,1\n", nullptr, HeaderChoice::Auto, 1, "FILE:2: empty name in column 1"},
    {"g.csv", "a,\"\",1\n", nullptr, HeaderChoice::Auto, 1, "FILE:1: empty name in column 2"},
    {"g.txt", "a b 1\nc d \x01\x7f" + std::string(60, 'z') + "\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:2: weight '??" + std::string(38, 'z') + "...' in column 3 is not a number"},
    {"g.txt", "a, b, 1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: the fields end with commas: the line looks comma-separated: use --format csv"},
    // Quoting.
    {"g.csv", "a,b,1\n\"c,d,1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:2: the quote that opens field 1 does not close on this line (a name cannot hold a line break)"},
    {"g.csv", "a,\"b\"c,1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: text after the closing quote of field 2 (write a quote inside a quoted field as \"\")"},
    // Columns.
    {"g.txt", "a b 1\n", "1,2,4", HeaderChoice::Auto, 1, "FILE:1: 3 fields, but --columns asks for column 4"},
    {"g.csv", "src,dst,w\na,b,1\n", "src,dst,wt", HeaderChoice::Auto, 1,
     "FILE:1: no column 'wt' in the header (its columns: src, dst, w)"},
    {"g.csv", "Src,SRC,dst\na,b,c\n", "src,dst", HeaderChoice::Auto, 1,
     "FILE:1: column 'src' matches 2 columns of the header but none exactly (its columns: Src, SRC, dst): "
     "spell it as the header does"},
    {"g.csv", "a,b\nx,y\n", "a,A", HeaderChoice::Auto, 1, "FILE:1: --columns chooses column 1 twice"},
    // Bytes that are not text.
    {"g.txt", std::string("a b 1\nc\0d 1\n", 12), nullptr, HeaderChoice::Auto, 1,
     "FILE:2: a NUL byte: this is not a text file"},
    {"g.txt", std::string("\xff\xfe" "a\0 \0", 6), nullptr, HeaderChoice::Auto, 1,
     "FILE: UTF-16 text: save it as UTF-8"},
    // Matrix Market.
    {"g.mtx", "1 2 1\n", nullptr, HeaderChoice::Auto, 1, "FILE:1: expected the banner " + kBanner},
    {"g.mtx", "", nullptr, HeaderChoice::Auto, 1, "FILE:1: expected the banner " + kBanner},
    {"g.mtx", "%%MatrixMarket matrix array real general\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: only coordinate matrices can be read, not 'array'"},
    {"g.mtx", "%%MatrixMarket matrix coordinate complex general\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: entries of type 'complex' cannot be weights: use real, integer or pattern"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real skew-symmetric\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:1: a 'skew-symmetric' matrix is not a graph's: use general or symmetric"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n% only comments\n", nullptr, HeaderChoice::Auto,
     1, "FILE: the file ends before the size line 'ROWS COLUMNS ENTRIES'"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n%\n3 3\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:3: expected the size line 'ROWS COLUMNS ENTRIES'"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n3 4 0\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:2: a graph's matrix is square, and this one is 3 x 4"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n3000000000 3000000000 0\n", nullptr,
     HeaderChoice::Auto, 1, "FILE:2: more than 2147483647 nodes"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n3 3 1\n1 2\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:3: expected an entry 'ROW COLUMN VALUE', found 2 fields"},
    {"g.mtx", "%%MatrixMarket matrix coordinate pattern general\n3 3 1\n1 2 5\n", nullptr, HeaderChoice::Auto,
     1, "FILE:3: expected an entry 'ROW COLUMN' (a pattern matrix), found 3 fields"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n3 3 1\n4 1 1\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:3: row '4' is not an index from 1 to 3"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n3 3 1\n1 -2 1\n", nullptr, HeaderChoice::Auto,
     1, "FILE:3: column '-2' is not an index from 1 to 3"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n3 3 1\n1 2 x\n", nullptr, HeaderChoice::Auto, 1,
     "FILE:3: value 'x' is not a number"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n3 3 1\n1 2 1\n\n2 3 1\n", nullptr,
     HeaderChoice::Auto, 1, "FILE:5: more entries than the 1 that the size line (line 2) declares"},
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n%\n3 3 2\n1 2 1\n", nullptr, HeaderChoice::Auto,
     1, "FILE:3: the size line declares 2 entries, and the file ends after 1"},
    // Options that cannot go together.
    {"g.mtx", "%%MatrixMarket matrix coordinate real general\n0 0 0\n", "1,2", HeaderChoice::Auto, 2,
     "FILE: a Matrix Market file has no columns to choose (--columns)"},
    {"g.txt", "%%MatrixMarket matrix coordinate real general\n0 0 0\n", nullptr, HeaderChoice::Yes, 2,
     "FILE: a Matrix Market file has no header line to choose (--header, --no-header)"},
    {"g.csv", "a,b\n", "src,dst", HeaderChoice::No, 2,
     "--columns names a column, which needs a header: drop --no-header or give numbers"},
};

TEST(FormatErrors, EveryMessageNamesTheLineAndTheFix) {
  for (const ErrorCase& c : kCases) {
    TempDir dir;
    ReadOptions options = OptionsFor(WriteNamed(dir.path(), c.name, c.content));
    options.header = c.header;
    if (c.columns != nullptr) options.columns = Formats_ParseColumns(c.columns);
    const ReadOutcome out = ReadWith(options);
    ASSERT_TRUE(out.failed) << c.message;
    EXPECT_EQ(out.status, c.status) << c.message;
    EXPECT_EQ(out.message, WithPath(c.message, options.path));
  }
}

TEST(FormatErrors, StandardInputIsNamedSo) {
  StdinFromStream in("a b 1\nc d e\n");
  const ReadOutcome out = ReadWith(OptionsFor("-"));
  ASSERT_TRUE(out.failed);
  EXPECT_EQ(out.message, "standard input:2: weight 'e' in column 3 is not a number");
}

TEST(FormatErrors, UnreadableFilesAndBrokenGzipCloseWhatTheyOpen) {
  TempDir dir;
  std::vector<std::pair<std::string, std::string>> cases = {
      {dir.path() + "/absent.csv", "cannot open DIR/absent.csv: No such file or directory"},
      {dir.path(), "cannot read DIR: Is a directory"},
  };
  const std::string gz = SmallGzip();
  if (Formats_ReadsGzip()) {
    cases.push_back({WriteNamed(dir.path(), "cut.gz", gz.substr(0, 20)),
                     "DIR/cut.gz: the gzip data ends early: the file is truncated"});
    std::string corrupt = gz;
    corrupt[12] = static_cast<char>(corrupt[12] ^ 0x55);
    cases.push_back({WriteNamed(dir.path(), "bad.gz", corrupt), "DIR/bad.gz: corrupt gzip data (zlib: "});
    cases.push_back({WriteNamed(dir.path(), "tail.gz", gz + "tail\n"),
                     "DIR/tail.gz: corrupt gzip data (zlib: incorrect header check)"});
  } else {
    cases.push_back({WriteNamed(dir.path(), "g.gz", gz),
                     "DIR/g.gz: gzip data, and this build reads no gzip (it was built without zlib): "
                     "decompress it first, e.g. with zcat"});
  }
  const size_t openBefore = DirectoryNames("/proc/self/fd").size();
  for (const auto& [path, want] : cases) {
    const ReadOutcome out = ReadWith(OptionsFor(path));
    ASSERT_TRUE(out.failed) << path;
    EXPECT_EQ(out.status, 1) << path;
    std::string expected = want;
    expected.replace(expected.find("DIR"), 3, dir.path());
    EXPECT_EQ(out.message.substr(0, expected.size()), expected) << out.message;
  }
  EXPECT_EQ(DirectoryNames("/proc/self/fd").size(), openBefore) << "a failed read left a file open";
}

TEST(FormatErrors, BadColumnTextsAreUsageErrors) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"1", "--columns 1: expected SRC,DST[,WEIGHT], each a header name or a number from 1"},
      {"1,2,3,4", "--columns 1,2,3,4: expected SRC,DST[,WEIGHT], each a header name or a number from 1"},
      {"0,1", "--columns 0,1: columns are numbered from 1 (expected SRC,DST[,WEIGHT], each a header name or "
              "a number from 1)"},
      {"1,,2", "--columns 1,,2: an empty column (expected SRC,DST[,WEIGHT], each a header name or a number "
               "from 1)"},
      {"1,2,12345678901", "--columns 1,2,12345678901: column 12345678901 is too large (expected "
                          "SRC,DST[,WEIGHT], each a header name or a number from 1)"},
      {"a,b,a", "--columns a,b,a: a column is chosen twice"},
      {"2,2", "--columns 2,2: a column is chosen twice"},
  };
  for (const auto& c : cases) {
    try {
      Formats_ParseColumns(c.text);
      ADD_FAILURE() << c.text << " accepted";
    } catch (const RunError& e) {
      EXPECT_EQ(e.status(), 2) << c.text;
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  const ColumnChoice choice = Formats_ParseColumns("from,2,Weight Value");
  EXPECT_EQ(choice.source.name, "from");
  EXPECT_EQ(choice.target.number, 2);
  ASSERT_TRUE(choice.weight.has_value());
  EXPECT_EQ(choice.weight->name, "Weight Value");
}

}  // namespace
