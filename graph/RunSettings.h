// The constants of one deliverable: name width, fixed or command-line input,
// node capacity, weight rule and edge filter.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

enum class WeightRule { Reciprocal, Raw };  // stored = 1/(1+w), or w as read
enum class EdgeFilter { None, Positive };   // Positive keeps only w > 0

enum class Deliverable { Anybridge, Plusbridge, Betweenness, Linkbridge, Spanpairs, Anypairs };

struct RunSettings {
  std::string programName;   // used in every message the program prints
  int nameWidth;             // L: longest name in bytes
  int slotWidth;             // L + 1: one name slot with its terminator
  int lineWidth;             // historical read width; lines are now read whole
  int32_t nodeCapacity;      // N: most distinct names the run may hold
  bool fromCommandLine;       // input path and capacity come from arguments 1 and 3
  std::string inputPath;
  WeightRule weightRule;
  EdgeFilter edgeFilter;
  int32_t hashSizeHint;      // 8000 everywhere
};

// The settings of a deliverable. Fixed-path deliverables come with their
// dataset path and capacity 17039; the two command-line deliverables leave
// inputPath empty and nodeCapacity 0 for the driver to fill.
RunSettings RunSettings_For(Deliverable which);

constexpr int32_t kFixedCapacity = 17039;

// A failure a program reports: the message (without the program name) and
// the exit status the program ends with.
class RunError : public std::runtime_error {
 public:
  RunError(int status, const std::string& message)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// Exit statuses: 1 for failed input or output, 2 for a bad command line.
constexpr int kStatusFailure = 1;
constexpr int kStatusUsage = 2;
