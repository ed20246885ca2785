// Command-line number reading for the drivers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reads a decimal integer the way "%d" starts: optional white space, an
// optional sign, then at least one digit; anything after the digits is
// ignored. Returns nothing when no digit follows. Values beyond the int64
// range saturate.
std::optional<int64_t> Arguments_ScanInteger(const std::string& text);

// Reads like atoi: text that is not a number reads as 0.
int64_t Arguments_ToInteger(const std::string& text);

// Completes settings from "FILE IGNORED CAPACITY" (anybridge, anypairs).
// Throws RunError with the usage status on a short command line or a
// capacity that is not an integer from 1 to 2147483647.
struct RunSettings;
void Arguments_ReadFileAndCapacity(RunSettings& settings, const std::vector<std::string>& args);
