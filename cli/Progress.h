// A one-line meter on standard error for long runs:
//   anybridge: 1234 of 17039 sources (7.2%), 0:00:12 elapsed, about 0:02:35 left
// a resumed run's saying where it took up, and timing the rest from there:
//   anybridge: 9000 of 17039 sources (52.8%), resumed at 8000, 0:00:12 elapsed, ...
// and, while an input that takes more than a quarter second loads:
//   anybridge: loading, 120.5 of 800.0 MB (15.1%)
// redrawn in place at most every quarter second, and erased before anything
// else is written where it shows. Safe to use from several threads: the
// fold's thread draws it while another writes the output.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class ProgressMeter {
 public:
  // fd: where the meter is drawn. outputShared: standard output lands where
  // the meter shows (the same terminal), so writing it must erase the meter.
  ProgressMeter(std::string program, int fd, bool outputShared);
  ~ProgressMeter();
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // The input being read: `read` of `size` bytes (0: a size not known, as
  // of a pipe's). Drawn once loading has taken a quarter second.
  void Loading(uint64_t read, uint64_t size);
  std::function<void(uint64_t, uint64_t)> LoadingCallback() {
    return [this](uint64_t read, uint64_t size) { Loading(read, size); };
  }
  // The run's sources: total, of which `done` were done before (a resumed
  // run, whose line says so). Time counts from here, and the estimate of
  // time left only this run's pace.
  void Begin(int64_t total, int64_t done);
  // done sources of the total; redraws when a quarter second has passed.
  void Update(int64_t done);
  // Begin on the first call, Update after: a run's progress callback.
  void Show(int64_t done, int64_t total);
  std::function<void(int64_t, int64_t)> Callback() {
    return [this](int64_t done, int64_t total) { Show(done, total); };
  }
  // Removes the meter's line, if shown; the next Update draws it again.
  void Erase();
  // Before a write to standard output.
  void BeforeOutput() {
    if (outputShared_) Erase();
  }

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(int64_t done, Clock::time_point now);
  void EraseLocked();

  void DrawLine(std::string line);

  std::string program_;
  int fd_;
  bool outputShared_;
  int64_t total_ = 0;
  int64_t doneAtBegin_ = 0;
  const Clock::time_point made_ = Clock::now();
  Clock::time_point begin_;
  Clock::time_point lastDraw_;
  size_t shownWidth_ = 0;  // characters of the line on screen, 0 when erased
  bool begun_ = false;
  std::mutex mutex_;
};
