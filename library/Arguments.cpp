#include "library/Arguments.h"

#include <climits>

#include "graph/RunError.h"
#include "graph/RunSettings.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<int64_t> Arguments_ScanInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    value = value > (INT64_MAX - digit) / 10 ? INT64_MAX : value * 10 + digit;
  }
  return negative ? -value : value;
}

int64_t Arguments_ToInteger(const std::string& text) {
  return Arguments_ScanInteger(text).value_or(0);
}

void Arguments_ReadFileAndCapacity(RunSettings& settings, const std::vector<std::string>& args) {
  if (args.size() < 3) {
    throw RunError(kStatusUsage, settings.usage);
  }
  const std::optional<int64_t> capacity = Arguments_ScanInteger(args[2]);
  if (!capacity || *capacity < 1 || *capacity > INT32_MAX) {
    throw RunError(kStatusUsage,
                   "node capacity must be an integer from 1 to 2147483647, not '" + args[2] + "'");
  }
  settings.inputPath = args[0];
  settings.nodeCapacity = static_cast<int32_t>(*capacity);
}
