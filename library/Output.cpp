#include "library/Output.h"

#include "graph/RunError.h"
#include "library/Fixed6.h"

void pathsuite::TextBuffer::AppendFixed6(double value) {
  Reserve(kFixed6Widest);
  char* begin = data_.data() + size_;
  size_ += static_cast<size_t>(Fixed6_Write(begin, value) - begin);
}

std::string Output_Escaped(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      escaped += c;
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\t') {
      escaped += "\\t";
    } else {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 15];
    }
  }
  return escaped;
}

void Output_Write(std::ostream& out, std::string_view text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw RunError(kStatusFailure, "cannot write standard output");
}

void Output_WriteWhenFull(std::ostream& out, TextBuffer& text) {
  if (text.Size() < (size_t{1} << 20)) return;
  Output_Write(out, text.View());
  text.Clear();
}
