// Where a front end writes a program's listing: standard output, or a file
// that holds the whole listing or is absent. The file is written beside its
// name (FILE.part-XXXXXX, made at the first write), flushed to disk and
// renamed over FILE only once the listing is complete, so that a failed
// write, a stop or a crash never leaves a listing cut short under FILE.
#pragma once

#include <ostream>
#include <string>

#include "cli/FdStreamBuf.h"

class ProgressMeter;

class ListingOutput {
 public:
  // path empty: standard output. meter: told before every write (see
  // FdStreamBuf).
  ListingOutput(std::string path, ProgressMeter* meter);
  // Removes the file in the making unless Commit made it FILE.
  ~ListingOutput();
  ListingOutput(const ListingOutput&) = delete;
  ListingOutput& operator=(const ListingOutput&) = delete;

  bool ToFile() const { return !path_.empty(); }
  // Throws RunError (status 1), "cannot write FILE: reason", unless the
  // listing can go to FILE: FILE is absent or a regular file, and a file
  // can be made beside it. Nothing to check for standard output.
  void Check() const;

  std::ostream& stream() { return stream_; }
  const FdStreamBuf& buffer() const { return buffer_; }

  // Once the listing is complete: for a file, flushes it to disk, renames it
  // over FILE and flushes the directory, so that FILE stays after a crash.
  // Throws RunError (status 1) naming FILE when any step fails; the file in
  // the making is then removed. Nothing to do for standard output. Nothing
  // may be written after it.
  void Commit();
  // Removes the file in the making now, for a process about to end
  // without unwinding.
  void Discard();

 private:
  int OpenTemp();

  std::string path_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
  FdStreamBuf buffer_;
  std::ostream stream_;
};
