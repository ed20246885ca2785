// The constants one program runs under, as the loader and the drivers read
// them. The table of programs fills them in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "graph/EdgeRules.h"

struct RunSettings {
  std::string programName;  // used in every message the program prints
  std::string usage;        // the usage line a bad command line prints
  int nameWidth;            // L: longest name in bytes
  int slotWidth;            // L + 1: one name slot with its terminator
  // The width of a line buffer sized from the name width. Lines are read
  // whole, so it limits nothing; it stays a field of the record, next to
  // the name width it is computed from.
  int lineWidth;
  int32_t nodeCapacity;     // N: most distinct names the run may hold
  bool fromCommandLine;     // input path and capacity come from arguments 1 and 3
  std::string inputPath;
  // How a weight w becomes an edge length. The loader stores w as read and
  // the search applies this rule, the one place it is applied.
  LengthRule lengthRule;
  EdgeFilter edgeFilter;
  // The name table's initial size hint. The table grows as needed, so this
  // is a starting size only; it stays at the programs' historical 8000.
  int32_t hashSizeHint;
  // Told, if set, as the edge-list loader reads: bytes read so far, and the
  // file's size (0 when it has none, as a pipe). For a front end's meter.
  std::function<void(uint64_t read, uint64_t size)> onRead = nullptr;
};
