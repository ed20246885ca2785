// What a front end tells the readers about one input: where it is, which
// format, whether its first line names the columns, and which columns hold
// the two ends and the weight. The front ends fill it from their command
// lines; every field has the default that means "work it out".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

enum class InputFormat {
  Auto,          // from the name's extension or the Matrix Market banner, else Blank
  Blank,         // fields separated by runs of blanks or tabs, as the programs read
  Csv,           // comma-separated, RFC 4180 quoting
  Tsv,           // tab-separated, the same quoting
  MatrixMarket,  // coordinate matrix, entry i j [value] an edge
};

enum class HeaderChoice { Auto, Yes, No };

// One column: by its 1-based number, or (number 0) by its header name.
struct ColumnRef {
  int number = 0;
  std::string name;
};

// The columns of the two ends and, when there is one, of the weight. Without
// a weight column every edge weighs 1.
struct ColumnChoice {
  ColumnRef source;
  ColumnRef target;
  std::optional<ColumnRef> weight;
};

// Called while an input is read: the bytes read from the file so far (the
// compressed bytes of a gzip file) and the file's size, 0 when unknown (a
// pipe). Called each time another 4 MiB has been read and once at the end.
using ReadProgress = std::function<void(uint64_t bytesRead, uint64_t totalBytes)>;

struct ReadOptions {
  std::string path;  // a file, or "-" for standard input
  InputFormat format = InputFormat::Auto;
  HeaderChoice header = HeaderChoice::Auto;
  std::optional<ColumnChoice> columns;  // none: the first two fields and an optional third
  ReadProgress progress;                // may be empty
};
