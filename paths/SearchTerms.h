// The vocabulary both path engines share: what a search computes, how a
// stored weight becomes an edge length, and the mark of a node not reached.
#pragma once

// Path mode also counts shortest paths and records predecessors; distance
// mode computes distances only.
enum SearchMode { SEARCH_PATHS, SEARCH_DISTANCES };

// How path mode holds its counts. COUNTS_DOUBLE: plain doubles, which turn
// infinite past the largest double. COUNTS_WIDE: a double mantissa and a
// separate exponent (WideCount.h), slower, for a source whose plain counts
// overflowed; the two give the same bits wherever plain ones do not overflow.
enum CountWidth { COUNTS_DOUBLE, COUNTS_WIDE };

// LENGTH_STORED: a cell's length is its weight as read. LENGTH_RECIPROCAL:
// 1/(1+w), so that a heavier edge is shorter.
enum LengthRule { LENGTH_STORED, LENGTH_RECIPROCAL };

// The distance of a node not reached yet; compared exactly, so a distance
// that comes out at exactly -100 reads as unreached too.
constexpr double UNREACHED = -100.0;

// Length of a cell with weight w under rule, evaluated as written (1.0 + w,
// then the division) so that both engines get identical doubles.
inline double CellLength(double w, LengthRule rule) {
  return rule == LENGTH_RECIPROCAL ? 1.0 / (1.0 + w) : w;
}
