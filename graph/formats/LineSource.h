// The lines of one input, numbered as an editor numbers them: cut at each
// newline, a CR before it dropped, a UTF-8 byte-order mark at the start
// dropped. Lines are cut out of large blocks and handed out in place, so a
// steady stream of lines allocates nothing; a line of any length is whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "graph/formats/ByteSource.h"

// One line, valid until the next call to LineSource::Next. Its bytes may be
// rewritten in place (the field splitter unquotes there).
struct Line {
  char* text = nullptr;
  size_t size = 0;
  int64_t number = 0;  // 1 for the file's first line

  std::string_view View() const { return {text, size}; }
};

// text as messages quote it: in single quotes, cut after 40 bytes, control
// bytes shown as '?', so that no input can garble a terminal.
std::string Line_Quote(std::string_view text);

class LineSource {
 public:
  explicit LineSource(ByteSource& bytes);

  // The next line; false at the end of the input. Throws RunError for a line
  // that holds a NUL byte (not text), and as ByteSource::Read does.
  bool Next(Line& line);

  // The start of the first line (up to its newline, or as much as the first
  // block holds), without taking it: what a format is recognised by.
  std::string_view FirstLine();

  // The input as messages name it.
  const std::string& Name() const { return bytes_.Name(); }

  // Throws RunError (status 1) "NAME:LINE: what".
  [[noreturn]] void Fail(int64_t line, const std::string& what) const;

  ByteSource& Bytes() { return bytes_; }

 private:
  void Begin();
  bool Refill();

  ByteSource& bytes_;
  std::vector<char> buffer_;
  size_t start_ = 0;   // the next line starts here
  size_t scan_ = 0;    // [start_, scan_) holds no newline
  size_t filled_ = 0;  // bytes in the buffer
  bool begun_ = false;
  bool ended_ = false;
  int64_t number_ = 0;
};
