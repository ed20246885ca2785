// The failures the library reports: one exception type, with what the
// failure is about, so that a caller can tell bad input from a file that
// cannot be read, and the exit status the programs end with for it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pathsuite {

// Exit statuses: 1 for failed input or output, 2 for a bad command line.
constexpr int kStatusFailure = 1;
constexpr int kStatusUsage = 2;

// Input: the input's content (a malformed line, too many names).
// System: the system refused (a file that cannot be opened, read or
// written); systemError() holds errno. Usage: a bad argument or command
// line. Stopped: a run ended early because its caller asked it to.
enum class ErrorKind { Input, System, Usage, Stopped };

class Error : public std::runtime_error {
 public:
  // Status 2 makes a usage error, any other an input error.
  Error(int status, const std::string& message)
      : Error(status, message, status == kStatusUsage ? ErrorKind::Usage : ErrorKind::Input, 0) {}
  Error(int status, const std::string& message, ErrorKind kind, int systemError)
      : std::runtime_error(message), status_(status), kind_(kind), systemError_(systemError) {}

  // The exit status a program ends with for this failure.
  int status() const { return status_; }
  ErrorKind kind() const { return kind_; }
  int systemError() const { return systemError_; }

  // A failure of the system call that set errno: "what: reason".
  static Error FromErrno(const std::string& what, int error);

 private:
  int status_;
  ErrorKind kind_;
  int systemError_;
};

// A run stopped by its cancellation flag after sourcesDone of total
// sources; saved says whether its checkpoint holds that state.
class Cancelled : public Error {
 public:
  Cancelled(int64_t sourcesDone, int64_t total, bool saved);
  int64_t sourcesDone() const { return sourcesDone_; }
  int64_t total() const { return total_; }
  bool saved() const { return saved_; }

 private:
  int64_t sourcesDone_;
  int64_t total_;
  bool saved_;
};

}  // namespace pathsuite
