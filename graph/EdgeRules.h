// The rules a run applies to its edges: which input lines it keeps and how
// a weight becomes an edge length. They are settings of a run, read by the
// loader and by both path engines.
#pragma once

// Positive keeps only lines with w > 0 (a NaN weight fails the test too).
enum class EdgeFilter { None, Positive };

// LENGTH_STORED: a cell's length is its weight as read. LENGTH_RECIPROCAL:
// 1/(1+w), so that a heavier edge is shorter. LENGTH_UNIT: 1 whatever the
// weight, so that distances count edges.
enum LengthRule { LENGTH_STORED, LENGTH_RECIPROCAL, LENGTH_UNIT };

// Length of a cell with weight w under rule, evaluated as written (1.0 + w,
// then the division) so that both engines get identical doubles.
inline double CellLength(double w, LengthRule rule) {
  switch (rule) {
    case LENGTH_RECIPROCAL:
      return 1.0 / (1.0 + w);
    case LENGTH_UNIT:
      return 1.0;
    case LENGTH_STORED:
      break;
  }
  return w;
}
