#include "library/Output.h"

#include <cerrno>
#include <unistd.h>

#include "graph/RunError.h"

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

std::streamsize FdStreamBuf::xsputn(const char* s, std::streamsize n) {
  std::streamsize done = 0;
  while (done < n && error_ == 0) {
    const ssize_t wrote = write(fd_, s + done, static_cast<size_t>(n - done));
    if (wrote < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
    } else if (wrote == 0) {
      error_ = EIO;  // no progress would loop forever
    } else {
      done += wrote;
    }
  }
  return done;
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}
