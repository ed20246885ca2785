// Arithmetic whose NaN results do not depend on operand order. IEEE 754
// leaves open which NaN a sum or product of two NaNs yields, the hardware
// returns its first operand's, and compilers swap the operands of + and *
// freely, so two builds of one expression could print "nan" and "-nan".
// These return the left operand's NaN if it is one, else the right's; a NaN
// made from numbers (inf - inf, 0 / 0) is the hardware's own.
#pragma once

inline double PickNaN(double result, double a, double b) {
  if (result == result) return result;
  if (a != a) return a;
  if (b != b) return b;
  return result;
}

inline double AddOrdered(double a, double b) { return PickNaN(a + b, a, b); }
inline double MulOrdered(double a, double b) { return PickNaN(a * b, a, b); }
inline double DivOrdered(double a, double b) { return PickNaN(a / b, a, b); }

// The dependency share ((1 + delta[w]) * ratio) + delta[v], ratio being
// sigma[v] / sigma[w], each operation in that order.
inline double ShareOfRatio(double deltaW, double ratio, double deltaV) {
  return AddOrdered(MulOrdered(AddOrdered(1.0, deltaW), ratio), deltaV);
}

// The share with the ratio of plain double counts.
inline double ShareOrdered(double deltaW, double sigmaV, double sigmaW, double deltaV) {
  return ShareOfRatio(deltaW, DivOrdered(sigmaV, sigmaW), deltaV);
}
