// The one way a program run fails: a message for standard error and the exit
// status the program ends with.
#pragma once

#include <stdexcept>
#include <string>

// Exit statuses: 1 for failed input or output, 2 for a bad command line.
constexpr int kStatusFailure = 1;
constexpr int kStatusUsage = 2;

// A failure a program reports: the message (without the program name) and
// the exit status.
class RunError : public std::runtime_error {
 public:
  RunError(int status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};
