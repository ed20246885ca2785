#include "cli/FdStreamBuf.h"

#include <cerrno>
#include <unistd.h>

#include "cli/Progress.h"

std::streamsize FdStreamBuf::xsputn(const char* s, std::streamsize n) {
  if (fd_ < 0 && error_ == 0) {
    fd_ = open_();
    if (fd_ < 0) error_ = errno;
  }
  if (meter_ != nullptr && n > 0) meter_->BeforeOutput();
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
