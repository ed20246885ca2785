// Formats a double in fixed notation with six decimals, byte for byte as
// printf's "%f" does: the exact binary value rounded to the nearest
// millionth, ties to even, with a sign for every negative value (so
// "-0.000000" for -0.0 and for small negatives), and "inf", "-inf", "nan",
// "-nan" for the special values.
#pragma once

// Writes at most kFixed6Widest bytes at out and returns the end.
constexpr int kFixed6Widest = 330;  // sign, 309 digits, point, six decimals
char* Fixed6_Write(char* out, double value);
