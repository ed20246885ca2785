// Output helpers: a growable text buffer that formats doubles exactly as
// printf's "%f" does, and a stream buffer over a file descriptor that keeps
// the system's reason when a write fails.
#pragma once

#include <cstring>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "library/Fixed6.h"

class TextBuffer {
 public:
  void Append(std::string_view text) {
    // memcpy takes no null pointer even for zero bytes, and an empty name's
    // view, like a buffer not yet grown, has none.
    if (text.empty()) return;
    Reserve(text.size());
    std::memcpy(data_.data() + size_, text.data(), text.size());
    size_ += text.size();
  }
  void AppendChar(char c) {
    Reserve(1);
    data_[size_++] = c;
  }
  // Fixed notation with six decimals, byte for byte as "%f" prints it
  // (inf, -inf, nan, -nan and -0.000000 included).
  void AppendFixed6(double value) {
    Reserve(kFixed6Widest);
    char* begin = data_.data() + size_;
    size_ += static_cast<size_t>(Fixed6_Write(begin, value) - begin);
  }
  // Room for `total` bytes, so that filling up to it allocates nothing.
  void ReserveTotal(size_t total) {
    if (total > data_.size()) data_.resize(total);
  }
  size_t Size() const { return size_; }
  std::string_view View() const { return {data_.data(), size_}; }
  void Clear() { size_ = 0; }

 private:
  void Reserve(size_t extra) {
    if (size_ + extra > data_.size()) data_.resize(std::max(data_.size() * 2, size_ + extra + 4096));
  }
  std::vector<char> data_;
  size_t size_ = 0;
};

// text with its control characters written out, so that it stays on one
// line: \n and \t as such, the others as \xHH. Everything else, UTF-8
// included, is kept as it is.
std::string Output_Escaped(std::string_view text);

// Writes text to out; throws RunError (status 1) when the stream fails.
void Output_Write(std::ostream& out, std::string_view text);

// Writes text out and empties it once it holds 1 MiB or more, so that a long
// listing goes out in large writes without ever being held whole.
void Output_WriteWhenFull(std::ostream& out, TextBuffer& text);

// An unbuffered stream buffer writing straight to a descriptor; callers
// batch their text. Remembers errno of the first failed write.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd) : fd_(fd) {}
  int error() const { return error_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;

 private:
  int fd_;
  int error_ = 0;
};
