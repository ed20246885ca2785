#include "analyst/AnalystListing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

void Analyst_AppendNumber(TextBuffer& text, double value, const NumberStyle& style) {
  if (!style.exact && style.digits == 6) {
    text.AppendFixed6(value);
    return;
  }
  // Fixed notation of the largest double: 309 digits, the point, 30 decimals.
  char buffer[400];
  if (!std::isfinite(value)) {
    // to_chars and printf agree on inf; printf's nan keeps the sign bit.
    const int size = std::snprintf(buffer, sizeof buffer, "%f", value);
    text.Append(std::string_view(buffer, static_cast<size_t>(size)));
    return;
  }
  if (style.exact) {
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.Append(std::string_view(buffer, static_cast<size_t>(r.ptr - buffer)));
    return;
  }
  const int size = std::snprintf(buffer, sizeof buffer, "%.*f", style.digits, value);
  text.Append(std::string_view(buffer, static_cast<size_t>(size)));
}

void Analyst_AppendName(TextBuffer& text, std::string_view name, bool csv) {
  // A leading # or % would make the line a comment to a reader that skips
  // them, ours included.
  const bool quoted =
      csv && (name.find_first_of(",\"\r\n") != std::string_view::npos ||
              (!name.empty() && (name.front() == ' ' || name.front() == '\t' ||
                                 name.front() == '#' || name.front() == '%' ||
                                 name.back() == ' ' || name.back() == '\t')));
  if (!quoted) {
    text.Append(name);
    return;
  }
  text.AppendChar('"');
  for (const char c : name) {
    if (c == '"') text.AppendChar('"');
    text.AppendChar(c);
  }
  text.AppendChar('"');
}

namespace {

// Higher first, a NaN after every number; equal ones keep index order
// (the sort is stable).
bool Above(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a > b;
}

std::vector<int32_t> ListedNodes(std::span<const double> values, const AnalystOptions& options) {
  std::vector<int32_t> order(values.size());
  std::iota(order.begin(), order.end(), 0);
  if (!options.top) return order;
  const size_t keep = std::min(order.size(), static_cast<size_t>(*options.top));
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return Above(values[static_cast<size_t>(a)], values[static_cast<size_t>(b)]);
  });
  order.resize(keep);
  return order;
}

// A name and the separator after it.
void AppendField(TextBuffer& text, std::string_view name, const AnalystOptions& options) {
  Analyst_AppendName(text, name, options.csv);
  text.AppendChar(options.csv ? ',' : ' ');
}

void AppendValue(TextBuffer& text, double value, const AnalystOptions& options) {
  Analyst_AppendNumber(text, value, options.numbers);
  text.AppendChar('\n');
}

}  // namespace

void Analyst_WriteScores(const NameList& names, std::span<const double> values,
                         const AnalystOptions& options, std::ostream& out) {
  TextBuffer text;
  if (options.csv) text.Append("node,score\n");
  for (const int32_t v : ListedNodes(values, options)) {
    AppendField(text, names.Name(v), options);
    AppendValue(text, values[static_cast<size_t>(v)], options);
    Output_WriteWhenFull(out, text);
  }
  Output_Write(out, text.View());
}

void Analyst_WriteRowsHeader(const AnalystOptions& options, std::ostream& out) {
  if (options.csv) Output_Write(out, "source,target,distance\n");
}

void AnalystRowsSink::Take(TextBuffer& buffer, int32_t source, std::span<const int32_t> targets,
                           std::span<const double> distances) {
  const std::string_view from = names_.Name(source);
  for (size_t k = 0; k < targets.size(); ++k) {
    AppendField(buffer, from, options_);
    AppendField(buffer, names_.Name(targets[k]), options_);
    AppendValue(buffer, distances[k], options_);
  }
}

void AnalystRowsSink::Emit(TextBuffer& buffer) { Output_Write(out_, buffer.View()); }
