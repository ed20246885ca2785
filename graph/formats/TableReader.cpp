#include "graph/formats/TableReader.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graph/formats/Number.h"

namespace {

inline bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Words that name an end column in the headers people write.
bool IsEndWord(std::string_view word) {
  static constexpr std::string_view kWords[] = {
      "source", "target", "src",     "dst",     "dest",      "destination", "from",
      "to",     "node1",  "node2",   "node_1",  "node_2",    "from_id",     "to_id",
      "id1",    "id2",    "head",    "tail",    "source_id", "target_id",   "u",
      "v",      "start",  "end",     "sourceid", "targetid", "node",        "neighbor",
      "neighbour"};
  for (const std::string_view w : kWords) {
    if (Fields_SameWord(word, w)) return true;
  }
  return false;
}

// A header's weight field: a word, not a number ("nan" and "inf" are
// numbers) and not a mistyped one ("1.5x" is an error, not a header).
bool IsColumnWord(std::string_view text) {
  double ignored;
  if (text.empty() || Number_Read(text, ignored)) return false;
  const char c = Fields_Lower(text[0]);
  return (c >= 'a' && c <= 'z') || c == '_';
}

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// digits,digits: a decimal comma.
bool LooksLikeDecimalComma(std::string_view text) {
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 1 == text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (i != comma && !(c >= '0' && c <= '9') && !(i == 0 && (c == '-' || c == '+'))) return false;
  }
  return true;
}

const char* SeparatedWord(FieldRule rule) {
  switch (rule) {
    case FieldRule::Blanks:
      return "blank-separated";
    case FieldRule::Commas:
      return "comma-separated";
    case FieldRule::Tabs:
      return "tab-separated";
  }
  return "";
}

class TableReader {
 public:
  TableReader(LineSource& lines, const TableFormat& format, const ReadOptions& options)
      : lines_(lines), format_(format), options_(options) {}

  EdgeList Read() {
    Line line;
    while (lines_.Next(line)) {
      if (IsCommentOrBlank(line)) continue;
      Split(line);
      if (AllFieldsEmpty()) continue;
      if (!started_) {
        started_ = true;
        firstRow_ = line.number;
        if (IsHeader()) {
          TakeHeader(line);
          continue;
        }
        ResolveColumns(line.number);
      }
      TakeEdge(line);
    }
    ByteSource& bytes = lines_.Bytes();
    return builder_.Finish(bytes.ContentSize(), bytes.ContentHash());
  }

 private:
  [[noreturn]] void Fail(int64_t line, const std::string& what) const { lines_.Fail(line, what); }

  static bool IsCommentOrBlank(const Line& line) {
    size_t i = 0;
    while (i < line.size && IsWhite(line.text[i])) ++i;
    return i == line.size || line.text[i] == '#' || line.text[i] == '%';
  }

  void Split(Line& line) {
    const SplitProblem problem = Fields_Split(line.text, line.size, format_.rule, fields_);
    if (problem.kind == SplitProblem::kNone) return;
    const std::string field = "field " + std::to_string(problem.field + 1);
    if (problem.kind == SplitProblem::kUnclosedQuote) {
      Fail(line.number, "the quote that opens " + field +
                            " does not close on this line (a name cannot hold a line break)");
    }
    Fail(line.number, "text after the closing quote of " + field +
                          " (write a quote inside a quoted field as \"\")");
  }

  bool AllFieldsEmpty() const {
    for (const std::string_view f : fields_) {
      if (!f.empty()) return false;
    }
    return true;
  }

  bool NamesAColumn() const {
    if (!options_.columns) return false;
    const ColumnChoice& c = *options_.columns;
    return c.source.number == 0 || c.target.number == 0 || (c.weight && c.weight->number == 0);
  }

  // The first row decides: see the rules in TableReader.h.
  bool IsHeader() const {
    if (options_.header != HeaderChoice::Auto) return options_.header == HeaderChoice::Yes;
    if (NamesAColumn()) return true;
    const size_t n = fields_.size();
    const ColumnChoice* c = options_.columns ? &*options_.columns : nullptr;
    const int weight = c != nullptr ? (c->weight ? c->weight->number - 1 : -1) : (n == 3 ? 2 : -1);
    if (weight >= 0 && static_cast<size_t>(weight) < n) {
      return IsColumnWord(fields_[static_cast<size_t>(weight)]);
    }
    const size_t source = c != nullptr ? static_cast<size_t>(c->source.number - 1) : 0;
    const size_t target = c != nullptr ? static_cast<size_t>(c->target.number - 1) : 1;
    return source < n && target < n && IsEndWord(fields_[source]) && IsEndWord(fields_[target]);
  }

  void TakeHeader(const Line& line) {
    headerLine_ = line.number;
    header_.assign(fields_.begin(), fields_.end());
    ResolveColumns(line.number);
  }

  std::string HeaderList() const {
    std::string list;
    for (const std::string& name : header_) list += (list.empty() ? "" : ", ") + name;
    return list;
  }

  // A column's 0-based index: its number, or the header's column of that
  // name, the exact spelling first, else the only one that differs in case.
  int Resolve(const ColumnRef& ref, int64_t line) const {
    if (ref.number > 0) return ref.number - 1;
    for (size_t i = 0; i < header_.size(); ++i) {
      if (header_[i] == ref.name) return static_cast<int>(i);
    }
    int found = -1;
    int matches = 0;
    for (size_t i = 0; i < header_.size(); ++i) {
      if (Fields_SameWord(header_[i], ref.name)) {
        found = static_cast<int>(i);
        matches += 1;
      }
    }
    if (matches == 1) return found;
    if (matches > 1) {
      Fail(line, "column " + Line_Quote(ref.name) + " matches " + std::to_string(matches) +
                     " columns of the header but none exactly (its columns: " + HeaderList() +
                     "): spell it as the header does");
    }
    Fail(line, "no column " + Line_Quote(ref.name) + " in the header (its columns: " +
                   HeaderList() + ")");
  }

  void ResolveColumns(int64_t line) {
    if (!options_.columns) return;  // the first data line decides
    const ColumnChoice& c = *options_.columns;
    source_ = Resolve(c.source, line);
    target_ = Resolve(c.target, line);
    weight_ = c.weight ? Resolve(*c.weight, line) : -1;
    if (source_ == target_ || source_ == weight_ || target_ == weight_) {
      const int twice = source_ == target_ || source_ == weight_ ? source_ : target_;
      Fail(line, "--columns chooses column " + std::to_string(twice + 1) + " twice");
    }
    need_ = static_cast<size_t>(std::max({source_, target_, weight_}) + 1);
  }

  // "; the line looks comma-separated: use --format csv" when another rule
  // cuts the line into the fields wanted; empty otherwise.
  std::string FormatHint(const Line& line) const {
    for (const FieldRule other : {FieldRule::Commas, FieldRule::Tabs, FieldRule::Blanks}) {
      if (other == format_.rule) continue;
      std::string copy(line.View());
      std::vector<std::string_view> fields;
      if (Fields_Split(copy.data(), copy.size(), other, fields).kind != SplitProblem::kNone) continue;
      const bool fits = options_.columns ? fields.size() >= need_
                                         : fields.size() == 2 || fields.size() == 3;
      if (fits) {
        return std::string("; the line looks ") + SeparatedWord(other) + ": use --format " +
               Table_FormatOption(other);
      }
    }
    return "";
  }

  [[noreturn]] void FailFieldCount(const Line& line) const {
    const size_t n = fields_.size();
    std::string what = "expected two names and an optional weight, found " + Plural(n, "field");
    std::string hint = FormatHint(line);
    if (hint.empty() && n > 3) {
      hint = ": use --columns to choose them";
      if (!header_.empty()) hint += " (the header's columns: " + HeaderList() + ")";
    }
    Fail(line.number, what + hint);
  }

  [[noreturn]] void FailMixed(const Line& line) const {
    std::string what = Plural(fields_.size(), "field") + " where line " + std::to_string(countLine_) +
                       " has " + std::to_string(expected_) + ": give every line a weight, or none";
    // Only the first row short of a weight, and no header taken: it may be one.
    if (options_.header == HeaderChoice::Auto && headerLine_ == 0 && countLine_ == firstRow_ &&
        expected_ == 2 && rows_ == 1) {
      what += "; if line " + std::to_string(firstRow_) + " is a header, use --header";
    }
    Fail(line.number, what);
  }

  // Default columns: the first data line fixes two fields or three.
  void CheckFieldCount(const Line& line) {
    const size_t n = fields_.size();
    if (options_.columns) {
      if (n < need_) {
        Fail(line.number, Plural(n, "field") + ", but --columns asks for column " +
                              std::to_string(need_) + FormatHint(line));
      }
      return;
    }
    if (n != 2 && n != 3) FailFieldCount(line);
    if (expected_ == 0) {
      expected_ = n;
      countLine_ = line.number;
      weight_ = n == 3 ? 2 : -1;
    } else if (n != expected_) {
      FailMixed(line);
    }
  }

  // A guessed blank-separated file whose names end in commas is CSV.
  void CheckNotCommaSeparated(const Line& line) const {
    if (format_.rule != FieldRule::Blanks || !format_.guessed) return;
    for (size_t i = 0; i + 1 < fields_.size(); ++i) {
      if (fields_[i].back() != ',') return;
    }
    Fail(line.number, "the fields end with commas: the line looks comma-separated: use --format csv");
  }

  std::string_view Name(const Line& line, int column) const {
    const std::string_view name = fields_[static_cast<size_t>(column)];
    if (name.empty()) Fail(line.number, "empty name in column " + std::to_string(column + 1));
    return name;
  }

  double Weight(const Line& line) const {
    if (weight_ < 0) return 1.0;
    const std::string_view text = fields_[static_cast<size_t>(weight_)];
    const std::string column = " in column " + std::to_string(weight_ + 1);
    if (text.empty()) Fail(line.number, "empty weight" + column);
    double w;
    if (Number_Read(text, w)) return w;
    std::string what = "weight " + Line_Quote(text) + column + " is not a number";
    if (LooksLikeDecimalComma(text)) what += ": write the decimal point as '.'";
    if (line.number == firstRow_ && headerLine_ == 0 && IsColumnWord(text)) {
      what += "; line " + std::to_string(line.number) + " looks like a header: use --header";
    }
    Fail(line.number, what);
  }

  int32_t Intern(const Line& line, std::string_view name) {
    const int32_t id = builder_.Intern(name);
    if (id < 0) Fail(line.number, "more than 2147483647 distinct names");
    return id;
  }

  void TakeEdge(const Line& line) {
    CheckFieldCount(line);
    if (fields_.size() >= 2) CheckNotCommaSeparated(line);
    const std::string_view a = Name(line, source_);
    const std::string_view b = Name(line, target_);
    const double w = Weight(line);
    const int32_t ia = Intern(line, a);
    const int32_t ib = Intern(line, b);
    builder_.AddEdge(ia, ib, w);
    rows_ += 1;
  }

  LineSource& lines_;
  const TableFormat format_;
  const ReadOptions& options_;
  EdgeListBuilder builder_;
  std::vector<std::string_view> fields_;
  std::vector<std::string> header_;
  bool started_ = false;
  int64_t firstRow_ = 0;    // line of the first row that is not skipped
  int64_t headerLine_ = 0;  // 0: no header
  int source_ = 0;
  int target_ = 1;
  int weight_ = -1;
  size_t need_ = 0;      // with --columns: fields a line must have
  size_t expected_ = 0;  // without: the fields of every line, once the first has set it
  int64_t countLine_ = 0;
  int64_t rows_ = 0;  // data lines taken
};

}  // namespace

EdgeList Table_Read(LineSource& lines, const TableFormat& format, const ReadOptions& options) {
  return TableReader(lines, format, options).Read();
}

const char* Table_FormatOption(FieldRule rule) {
  switch (rule) {
    case FieldRule::Blanks:
      return "blank";
    case FieldRule::Commas:
      return "csv";
    case FieldRule::Tabs:
      return "tsv";
  }
  return "";
}
