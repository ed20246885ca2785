#include "cli/Progress.h"

#include <cstdio>
#include <new>
#include <unistd.h>

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(250);

std::string HoursMinutesSeconds(double seconds) {
  const auto s = static_cast<long long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;  // a meter that cannot be drawn is not worth failing for
    done += static_cast<size_t>(n);
  }
}

}  // namespace

ProgressMeter::ProgressMeter(std::string program, int fd, bool outputShared)
    : program_(std::move(program)), fd_(fd), outputShared_(outputShared) {}

ProgressMeter::~ProgressMeter() { Erase(); }

void ProgressMeter::Begin(int64_t total, int64_t done) {
  std::lock_guard lock(mutex_);
  begun_ = true;
  total_ = total;
  doneAtBegin_ = done;
  begin_ = Clock::now();
  Draw(done, begin_);
  lastDraw_ = begin_;
}

void ProgressMeter::Show(int64_t done, int64_t total) {
  bool begun = false;
  {
    std::lock_guard lock(mutex_);
    begun = begun_;
  }
  if (begun) {
    Update(done);
  } else {
    Begin(total, done);
  }
}

void ProgressMeter::Update(int64_t done) {
  std::lock_guard lock(mutex_);
  const Clock::time_point now = Clock::now();
  if (now - lastDraw_ < kRedrawEvery) return;
  lastDraw_ = now;
  Draw(done, now);
}

// A meter that cannot be drawn, as memory ran short, is not worth failing
// for: Loading and Draw give up the line.
void ProgressMeter::Loading(uint64_t read, uint64_t size) try {
  std::lock_guard lock(mutex_);
  if (begun_) return;
  const Clock::time_point now = Clock::now();
  // A small input loads before anything is drawn.
  if (now - made_ < kRedrawEvery || now - lastDraw_ < kRedrawEvery) return;
  lastDraw_ = now;
  char text[160];
  const double mb = static_cast<double>(read) / 1e6;
  if (size > 0) {
    std::snprintf(text, sizeof text, "%s: loading, %.1f of %.1f MB (%.1f%%)", program_.c_str(), mb,
                  static_cast<double>(size) / 1e6,
                  100.0 * static_cast<double>(read) / static_cast<double>(size));
  } else {
    std::snprintf(text, sizeof text, "%s: loading, %.1f MB read", program_.c_str(), mb);
  }
  DrawLine(text);
} catch (const std::bad_alloc&) {
}

void ProgressMeter::Draw(int64_t done, Clock::time_point now) try {
  const double elapsed = std::chrono::duration<double>(now - begin_).count();
  const double percent = total_ > 0 ? 100.0 * static_cast<double>(done) / total_ : 100.0;
  char head[160];
  std::snprintf(head, sizeof head, "%s: %lld of %lld sources (%.1f%%), ", program_.c_str(),
                static_cast<long long>(done), static_cast<long long>(total_), percent);
  std::string line = head;
  if (doneAtBegin_ > 0) line += "resumed at " + std::to_string(doneAtBegin_) + ", ";
  line += HoursMinutesSeconds(elapsed) + " elapsed";
  const int64_t doneHere = done - doneAtBegin_;
  if (doneHere > 0 && done < total_) {
    const double left = elapsed / static_cast<double>(doneHere) * static_cast<double>(total_ - done);
    line += ", about " + HoursMinutesSeconds(left) + " left";
  }
  DrawLine(std::move(line));
} catch (const std::bad_alloc&) {
}

void ProgressMeter::DrawLine(std::string line) {
  // Spaces cover what is left of a longer line drawn before.
  const size_t width = line.size();
  if (width < shownWidth_) line.append(shownWidth_ - width, ' ');
  line.insert(line.begin(), '\r');
  WriteAll(fd_, line);
  shownWidth_ = width;
}

void ProgressMeter::Erase() {
  std::lock_guard lock(mutex_);
  EraseLocked();
}

void ProgressMeter::EraseLocked() {
  if (shownWidth_ == 0) return;
  std::string blank(shownWidth_ + 2, ' ');
  blank.front() = '\r';
  blank.back() = '\r';
  WriteAll(fd_, blank);
  shownWidth_ = 0;
}
