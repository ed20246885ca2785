// Matrix Market coordinate files as graphs:
//
//   %%MatrixMarket matrix coordinate real|integer|pattern general|symmetric
//   % comments
//   N N ENTRIES
//   i j [value]        one line per entry, ENTRIES of them
//
// - The matrix is the graph's adjacency matrix, so it is square (N x N) and
//   declares the nodes 1..N: node k-1 is named "k" (the index as decimal
//   text), in index order, whether or not an entry names it. So line k of a
//   listing is row k of the matrix, a node no entry names is there with
//   nothing on it, and the node count is the matrix's, as other tools that
//   read the file into a graph count it.
// - Each entry is one edge, in file order, as a line of an edge list is:
//   "i j v" is the edge i-j with weight v, a pattern entry weighs 1, an
//   entry i i is a self-loop. A general matrix that stores an edge as both
//   (i, j) and (j, i) gives two parallel edges, as an edge list holding both
//   lines does; a symmetric one stores it once. Nothing is merged or dropped.
// - Banner words are read in any case. Array (dense) files, complex and
//   Hermitian or skew-symmetric matrices are errors that say so. Indices are
//   decimal integers in 1..N; a value is a number as a whole (Number_Read).
//   '%' lines and blank lines are skipped anywhere; an entry line has exactly
//   its two or three fields; fewer or more entries than declared is an error.
#include <charconv>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graph/RunError.h"
#include "graph/formats/Fields.h"
#include "graph/formats/Number.h"
#include "graph/formats/Readers.h"

namespace {

bool IsSkipped(const Line& line) {
  size_t i = 0;
  while (i < line.size && (line.text[i] == ' ' || line.text[i] == '\t' || line.text[i] == '\r' ||
                           line.text[i] == '\v' || line.text[i] == '\f')) {
    ++i;
  }
  return i == line.size || line.text[i] == '%';
}

// A decimal integer as a whole, in [0, 2^63).
bool ReadCount(std::string_view text, int64_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

class MatrixMarketReader {
 public:
  explicit MatrixMarketReader(LineSource& lines) : lines_(lines) {}

  EdgeList Read() {
    Line line;
    if (!lines_.Next(line)) Fail(1, "expected the banner " + std::string(kBanner));
    TakeBanner(line);
    bool more = false;
    while ((more = lines_.Next(line)) && IsSkipped(line)) {
    }
    if (!more) {
      throw RunError(kStatusFailure,
                     lines_.Name() + ": the file ends before the size line 'ROWS COLUMNS ENTRIES'");
    }
    TakeSize(line);
    int64_t entries = 0;
    while (lines_.Next(line)) {
      if (IsSkipped(line)) continue;
      if (entries == declared_) {
        Fail(line.number, "more entries than the " + std::to_string(declared_) +
                              " that the size line (line " + std::to_string(sizeLine_) +
                              ") declares");
      }
      TakeEntry(line);
      ++entries;
    }
    if (entries < declared_) {
      Fail(sizeLine_, "the size line declares " + std::to_string(declared_) +
                          " entries, and the file ends after " + std::to_string(entries));
    }
    ByteSource& bytes = lines_.Bytes();
    return builder_.Finish(bytes.ContentSize(), bytes.ContentHash());
  }

 private:
  static constexpr const char* kBanner =
      "'%%MatrixMarket matrix coordinate real|integer|pattern general|symmetric'";

  [[noreturn]] void Fail(int64_t line, const std::string& what) const { lines_.Fail(line, what); }

  void TakeBanner(Line& line) {
    Fields_Split(line.text, line.size, FieldRule::Blanks, fields_);
    if (fields_.size() != 5 || !Fields_SameWord(fields_[0], "%%MatrixMarket") ||
        !Fields_SameWord(fields_[1], "matrix")) {
      Fail(line.number, "expected the banner " + std::string(kBanner));
    }
    if (!Fields_SameWord(fields_[2], "coordinate")) {
      Fail(line.number, "only coordinate matrices can be read, not " + Line_Quote(fields_[2]));
    }
    const std::string_view field = fields_[3];
    if (Fields_SameWord(field, "pattern")) {
      weighted_ = false;
    } else if (!Fields_SameWord(field, "real") && !Fields_SameWord(field, "integer")) {
      Fail(line.number, "entries of type " + Line_Quote(field) +
                            " cannot be weights: use real, integer or pattern");
    }
    if (!Fields_SameWord(fields_[4], "general") && !Fields_SameWord(fields_[4], "symmetric")) {
      Fail(line.number, "a " + Line_Quote(fields_[4]) +
                            " matrix is not a graph's: use general or symmetric");
    }
  }

  void TakeSize(Line& line) {
    sizeLine_ = line.number;
    Fields_Split(line.text, line.size, FieldRule::Blanks, fields_);
    int64_t rows = 0, columns = 0;
    if (fields_.size() != 3 || !ReadCount(fields_[0], rows) || !ReadCount(fields_[1], columns) ||
        !ReadCount(fields_[2], declared_)) {
      Fail(line.number, "expected the size line 'ROWS COLUMNS ENTRIES'");
    }
    if (rows != columns) {
      Fail(line.number, "a graph's matrix is square, and this one is " + std::to_string(rows) +
                            " x " + std::to_string(columns));
    }
    if (rows > INT32_MAX) Fail(line.number, "more than 2147483647 nodes");
    nodes_ = rows;
    char digits[24];
    for (int64_t k = 1; k <= nodes_; ++k) {
      const auto end = std::to_chars(digits, digits + sizeof digits, k).ptr;
      builder_.Intern(std::string_view(digits, static_cast<size_t>(end - digits)));
    }
  }

  int32_t Index(const Line& line, std::string_view text, const char* what) const {
    int64_t k = 0;
    if (!ReadCount(text, k) || k < 1 || k > nodes_) {
      Fail(line.number, std::string(what) + " " + Line_Quote(text) + " is not an index from 1 to " +
                            std::to_string(nodes_));
    }
    return static_cast<int32_t>(k - 1);
  }

  void TakeEntry(Line& line) {
    Fields_Split(line.text, line.size, FieldRule::Blanks, fields_);
    const size_t want = weighted_ ? 3 : 2;
    if (fields_.size() != want) {
      Fail(line.number, std::string("expected an entry ") +
                            (weighted_ ? "'ROW COLUMN VALUE'" : "'ROW COLUMN' (a pattern matrix)") +
                            ", found " + std::to_string(fields_.size()) +
                            (fields_.size() == 1 ? " field" : " fields"));
    }
    const int32_t a = Index(line, fields_[0], "row");
    const int32_t b = Index(line, fields_[1], "column");
    double w = 1.0;
    if (weighted_ && !Number_Read(fields_[2], w)) {
      Fail(line.number, "value " + Line_Quote(fields_[2]) + " is not a number");
    }
    builder_.AddEdge(a, b, w);
  }

  LineSource& lines_;
  EdgeListBuilder builder_;
  std::vector<std::string_view> fields_;
  bool weighted_ = true;
  int64_t nodes_ = 0;
  int64_t declared_ = 0;
  int64_t sizeLine_ = 0;
};

}  // namespace

EdgeList Formats_ReadMatrixMarket(LineSource& lines, const ReadOptions&) {
  return MatrixMarketReader(lines).Read();
}
