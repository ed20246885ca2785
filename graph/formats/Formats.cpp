#include "graph/formats/Formats.h"

#include <cstdint>
#include <string>
#include <vector>

#include "graph/RunError.h"
#include "graph/formats/ByteSource.h"
#include "graph/formats/Fields.h"
#include "graph/formats/LineSource.h"
#include "graph/formats/Readers.h"

namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    if (Fields_Lower(text[text.size() - tail.size() + i]) != tail[i]) return false;
  }
  return true;
}

InputFormat FromExtension(std::string_view path) {
  if (EndsWith(path, ".gz")) path.remove_suffix(3);
  if (EndsWith(path, ".mtx") || EndsWith(path, ".mm")) return InputFormat::MatrixMarket;
  if (EndsWith(path, ".csv")) return InputFormat::Csv;
  if (EndsWith(path, ".tsv") || EndsWith(path, ".tab")) return InputFormat::Tsv;
  return InputFormat::Auto;
}

bool HasBanner(std::string_view firstLine) {
  constexpr std::string_view kBanner = "%%matrixmarket";
  if (firstLine.size() < kBanner.size()) return false;
  for (size_t i = 0; i < kBanner.size(); ++i) {
    if (Fields_Lower(firstLine[i]) != kBanner[i]) return false;
  }
  return true;
}

[[noreturn]] void FailUsage(const std::string& what) { throw RunError(kStatusUsage, what); }

bool NamesAColumn(const ColumnChoice& c) {
  return c.source.number == 0 || c.target.number == 0 || (c.weight && c.weight->number == 0);
}

// Options that contradict one another whatever the input holds.
void CheckOptions(const ReadOptions& options) {
  if (options.columns && NamesAColumn(*options.columns) && options.header == HeaderChoice::No) {
    FailUsage("--columns names a column, which needs a header: drop --no-header or give numbers");
  }
}

void CheckMatrixMarketOptions(const ReadOptions& options, const std::string& name) {
  if (options.columns) FailUsage(name + ": a Matrix Market file has no columns to choose (--columns)");
  if (options.header != HeaderChoice::Auto) {
    FailUsage(name + ": a Matrix Market file has no header line to choose (--header, --no-header)");
  }
}

ColumnRef ParseColumn(std::string_view text, std::string_view whole) {
  const auto bad = [&](const std::string& why) -> ColumnRef {
    FailUsage("--columns " + std::string(whole) + ": " + why +
              " (expected SRC,DST[,WEIGHT], each a header name or a number from 1)");
  };
  if (text.empty()) return bad("an empty column");
  bool digits = true;
  for (const char c : text) digits = digits && c >= '0' && c <= '9';
  if (!digits) return ColumnRef{0, std::string(text)};
  if (text.size() > 9) return bad("column " + std::string(text) + " is too large");
  const int number = std::stoi(std::string(text));
  if (number < 1) return bad("columns are numbered from 1");
  return ColumnRef{number, ""};
}

}  // namespace

EdgeList Formats_Read(const ReadOptions& options) {
  CheckOptions(options);
  ByteSource bytes(options.path, options.progress);
  LineSource lines(bytes);
  InputFormat format = options.format;
  bool guessed = false;
  if (format == InputFormat::Auto) {
    format = HasBanner(lines.FirstLine()) ? InputFormat::MatrixMarket : FromExtension(options.path);
  }
  if (format == InputFormat::Auto) {
    format = InputFormat::Blank;
    guessed = true;
  }
  switch (format) {
    case InputFormat::MatrixMarket:
      CheckMatrixMarketOptions(options, bytes.Name());
      return Formats_ReadMatrixMarket(lines, options);
    case InputFormat::Csv:
      return Formats_ReadCsv(lines, options);
    case InputFormat::Tsv:
      return Formats_ReadTsv(lines, options);
    case InputFormat::Blank:
    case InputFormat::Auto:
      break;
  }
  return Formats_ReadBlank(lines, options, guessed);
}

std::optional<InputFormat> Formats_Named(std::string_view word) {
  if (word == "blank") return InputFormat::Blank;
  if (word == "csv") return InputFormat::Csv;
  if (word == "tsv") return InputFormat::Tsv;
  if (word == "mtx") return InputFormat::MatrixMarket;
  return std::nullopt;
}

const char* Formats_Words() { return "blank, csv, tsv, mtx"; }

ColumnChoice Formats_ParseColumns(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (parts.size() != 2 && parts.size() != 3) {
    FailUsage("--columns " + std::string(text) +
              ": expected SRC,DST[,WEIGHT], each a header name or a number from 1");
  }
  ColumnChoice choice{ParseColumn(parts[0], text), ParseColumn(parts[1], text), std::nullopt};
  if (parts.size() == 3) choice.weight = ParseColumn(parts[2], text);
  const auto same = [](const ColumnRef& a, const ColumnRef& b) {
    return a.number == b.number && a.name == b.name;
  };
  if (same(choice.source, choice.target) || (choice.weight && (same(choice.source, *choice.weight) ||
                                                               same(choice.target, *choice.weight)))) {
    FailUsage("--columns " + std::string(text) + ": a column is chosen twice");
  }
  return choice;
}

bool Formats_ReadsGzip() { return ByteSource::ReadsGzip(); }
