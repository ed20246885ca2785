#include "graph/formats/Fields.h"

#include <cassert>
#include <cstring>

namespace {

inline bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

void SplitBlanks(char* text, size_t size, std::vector<std::string_view>& fields) {
  const char* p = text;
  const char* const end = text + size;
  for (;;) {
    while (p != end && IsWhite(*p)) ++p;
    if (p == end) return;
    const char* start = p;
    while (p != end && !IsWhite(*p)) ++p;
    fields.emplace_back(start, static_cast<size_t>(p - start));
  }
}

// Blanks around a delimited field: spaces, and tabs unless they separate.
inline bool IsPad(char c, char separator) { return c == ' ' || (c == '\t' && separator != '\t'); }

// Unquotes the field whose opening quote is at *p, in place; on return *p is
// just past the closing quote. False when the line ends first.
bool Unquote(char*& p, const char* end, std::string_view& field) {
  assert(*p == '"');
  char* out = p;  // the unquoted text overwrites the quoted one from its start
  const char* in = p + 1;
  char* const start = out;
  for (;;) {
    if (in == end) return false;
    if (*in == '"') {
      if (in + 1 != end && in[1] == '"') {
        *out++ = '"';
        in += 2;
        continue;
      }
      ++in;
      break;
    }
    *out++ = *in++;
  }
  field = std::string_view(start, static_cast<size_t>(out - start));
  p = const_cast<char*>(in);
  return true;
}

SplitProblem SplitDelimited(char* text, size_t size, char separator,
                            std::vector<std::string_view>& fields) {
  char* p = text;
  const char* const end = text + size;
  for (;;) {
    while (p != end && IsPad(*p, separator)) ++p;
    std::string_view field;
    if (p != end && *p == '"') {
      if (!Unquote(p, end, field)) return {SplitProblem::kUnclosedQuote, fields.size()};
      while (p != end && IsPad(*p, separator)) ++p;
      if (p != end && *p != separator) return {SplitProblem::kTextAfterQuote, fields.size()};
    } else {
      auto* stop = static_cast<char*>(std::memchr(p, separator, static_cast<size_t>(end - p)));
      const char* fieldEnd = stop != nullptr ? stop : end;
      const char* last = fieldEnd;
      while (last != p && IsPad(last[-1], separator)) --last;
      field = std::string_view(p, static_cast<size_t>(last - p));
      p = const_cast<char*>(fieldEnd);
    }
    fields.push_back(field);
    if (p == end) return {};
    ++p;  // past the separator: a field follows, empty if the line ends
  }
}

}  // namespace

SplitProblem Fields_Split(char* text, size_t size, FieldRule rule,
                          std::vector<std::string_view>& fields) {
  fields.clear();
  switch (rule) {
    case FieldRule::Blanks:
      SplitBlanks(text, size, fields);
      return {};
    case FieldRule::Commas:
      return SplitDelimited(text, size, ',', fields);
    case FieldRule::Tabs:
      return SplitDelimited(text, size, '\t', fields);
  }
  return {};
}
