// Cutting one line into fields: the one splitter every line format uses.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

// Blanks: fields are maximal runs of bytes other than white space (blank,
// tab, CR, vertical tab, form feed), as the programs read names; no quoting.
// Commas, Tabs: fields lie between separators, blanks (and, with commas,
// tabs) around a field dropped; a field that begins with '"' is quoted as
// RFC 4180 has it: separators inside are text and "" is one quote. A quoted
// field must close on its line, so no name holds a line break.
enum class FieldRule { Blanks, Commas, Tabs };

struct SplitProblem {
  enum Kind { kNone, kUnclosedQuote, kTextAfterQuote } kind = kNone;
  size_t field = 0;  // 0-based field where it happened
};

// Splits text[0, size) by rule into fields (cleared first; its capacity is
// kept, so splitting line after line allocates nothing once it has grown).
// Quoted fields are unquoted in place, so text is rewritten and the fields
// point into it. Stops at the first quoting problem and reports it.
SplitProblem Fields_Split(char* text, size_t size, FieldRule rule,
                          std::vector<std::string_view>& fields);

// ASCII case folding, whatever the locale: format words, header names and
// extensions compare without case, names never do.
inline char Fields_Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether a and b are the same word but for ASCII case.
inline bool Fields_SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fields_Lower(a[i]) != Fields_Lower(b[i])) return false;
  }
  return true;
}
