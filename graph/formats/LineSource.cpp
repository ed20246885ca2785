#include "graph/formats/LineSource.h"

#include <cstring>

#include "graph/RunError.h"

namespace {

constexpr size_t kBlock = size_t{1} << 20;

}  // namespace

std::string Line_Quote(std::string_view text) {
  constexpr size_t kShown = 40;
  std::string out = "'";
  for (const char c : text.substr(0, kShown)) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x20 || byte == 0x7f ? '?' : c;
  }
  if (text.size() > kShown) out += "...";
  return out + "'";
}

LineSource::LineSource(ByteSource& bytes) : bytes_(bytes), buffer_(kBlock) {}

void LineSource::Fail(int64_t line, const std::string& what) const {
  throw RunError(kStatusFailure, Name() + ":" + std::to_string(line) + ": " + what);
}

// Reads until at least the four bytes that tell a byte-order mark, or the end.
void LineSource::Begin() {
  begun_ = true;
  while (filled_ < 4 && Refill()) {
  }
  const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
  if (filled_ >= 2 && ((b[0] == 0xff && b[1] == 0xfe) || (b[0] == 0xfe && b[1] == 0xff))) {
    throw RunError(kStatusFailure, Name() + ": UTF-16 text: save it as UTF-8");
  }
  if (filled_ >= 3 && b[0] == 0xef && b[1] == 0xbb && b[2] == 0xbf) start_ = scan_ = 3;
}

// Moves the unfinished line to the buffer's start, grows the buffer when
// that line fills half of it, and reads one more piece. False at the end.
bool LineSource::Refill() {
  if (start_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + start_, filled_ - start_);
    filled_ -= start_;
    scan_ -= start_;
    start_ = 0;
  }
  if (buffer_.size() - filled_ < kBlock / 2) buffer_.resize(buffer_.size() * 2);
  const size_t got = bytes_.Read(buffer_.data() + filled_, buffer_.size() - filled_);
  if (got == 0) {
    ended_ = true;
    return false;
  }
  filled_ += got;
  return true;
}

std::string_view LineSource::FirstLine() {
  if (!begun_) Begin();
  const char* at = buffer_.data() + start_;
  const auto* newline = static_cast<const char*>(std::memchr(at, '\n', filled_ - start_));
  return {at, newline != nullptr ? static_cast<size_t>(newline - at) : filled_ - start_};
}

bool LineSource::Next(Line& line) {
  if (!begun_) Begin();
  size_t end = 0;  // the line is [start_, end); the next begins after its newline
  size_t next = 0;
  for (;;) {
    char* const data = buffer_.data();
    if (auto* newline = static_cast<char*>(std::memchr(data + scan_, '\n', filled_ - scan_))) {
      end = static_cast<size_t>(newline - data);
      next = end + 1;
      break;
    }
    scan_ = filled_;
    if (ended_ || !Refill()) {
      if (start_ == filled_) return false;
      end = next = filled_;  // a last line without a newline
      break;
    }
  }
  line.text = buffer_.data() + start_;
  line.size = end - start_;
  line.number = ++number_;
  start_ = scan_ = next;
  if (line.size > 0 && line.text[line.size - 1] == '\r') --line.size;
  if (std::memchr(line.text, '\0', line.size) != nullptr) {
    Fail(line.number, "a NUL byte: this is not a text file");
  }
  return true;
}
