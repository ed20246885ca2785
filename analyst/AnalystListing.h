// The listings of the two programs made for people: numbers in the style
// asked for, names as they are (CSV quoting them where they need it), the
// score listing in node order or its top K, and the distance rows.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string_view>

#include "analyst/AnalystOptions.h"
#include "graph/NameList.h"
#include "library/Output.h"
#include "pathsuite/distances.h"

// value as style says: "%.Nf", or the shortest text that reads back to the
// same double (std::to_chars), inf and nan as printf writes them.
void Analyst_AppendNumber(TextBuffer& text, double value, const NumberStyle& style);

// name as it is; under CSV quoted, its quotes doubled, when it holds a
// comma, a quote, a line end, a blank at either end or a leading # or %.
void Analyst_AppendName(TextBuffer& text, std::string_view name, bool csv);

// The score listing of values (one per node): "name score" lines, or
// under CSV a "node,score" header and "name,score" lines; every node in
// index order, or the options' top K, highest first (a NaN below every
// number), ties in index order.
void Analyst_WriteScores(const NameList& names, std::span<const double> values,
                         const AnalystOptions& options, std::ostream& out);

// The CSV header of the distance rows, "source,target,distance\n", when
// the options ask for CSV; nothing otherwise.
void Analyst_WriteRowsHeader(const AnalystOptions& options, std::ostream& out);

// The distance rows, "source target distance" (or CSV) in the options'
// style, written to out in source order.
class AnalystRowsSink final : public pathsuite::DistanceSink {
 public:
  AnalystRowsSink(const NameList& names, const AnalystOptions& options, std::ostream& out)
      : names_(names), options_(options), out_(out) {}
  void Take(TextBuffer& buffer, int32_t source, std::span<const int32_t> targets,
            std::span<const double> distances) override;
  void Emit(TextBuffer& buffer) override;

 private:
  const NameList& names_;
  const AnalystOptions& options_;
  std::ostream& out_;
};
