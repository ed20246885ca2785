// A stream buffer over a file descriptor that keeps the system's reason
// when a write fails.
#pragma once

#include <streambuf>

class ProgressMeter;

// Unbuffered, writing straight to the descriptor; callers batch their text.
// Remembers errno of the first failed write. Given a meter, tells it before
// every write, so that it can erase itself where the text lands beside it.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd, ProgressMeter* meter = nullptr) : fd_(fd), meter_(meter) {}
  int error() const { return error_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;

 private:
  int fd_;
  ProgressMeter* meter_;
  int error_ = 0;
};
