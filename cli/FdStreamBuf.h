// A stream buffer over a file descriptor that keeps the system's reason
// when a write fails.
#pragma once

#include <functional>
#include <streambuf>
#include <string>

class ProgressMeter;

// Unbuffered, writing straight to the descriptor; callers batch their text.
// Remembers errno of the first failed write. Given a meter, tells it before
// every write, so that it can erase itself where the text lands beside it.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd, ProgressMeter* meter = nullptr) : fd_(fd), meter_(meter) {}
  // A file that open() opens at the first write: it returns the descriptor,
  // or -1 with errno set, which then fails the write. name says what it is
  // in messages.
  FdStreamBuf(std::function<int()> open, std::string name, ProgressMeter* meter)
      : open_(std::move(open)), name_(std::move(name)), meter_(meter) {}
  int error() const { return error_; }
  // What the descriptor is, for messages: "standard output" or a path.
  const std::string& name() const { return name_; }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;

 private:
  std::function<int()> open_;
  std::string name_ = "standard output";
  int fd_ = -1;
  ProgressMeter* meter_;
  int error_ = 0;
};
