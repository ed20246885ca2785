// How the fast engine holds path counts, as a policy of the relaxation and
// the accumulation: PlainCounts keeps plain doubles in NodeState::sigma,
// WideCounts wide counts, their mantissas there and their exponents in
// ws.sigmaExponent. Each operation is the reference's for the same width.
// Nodes are the graph's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "paths/FastWorkspace.h"
#include "paths/OrderedMath.h"
#include "paths/WideCount.h"

struct PlainCounts {
  using Count = double;
  static constexpr bool kCanOverflow = true;

  static Count Get(const FastWorkspace& ws, int32_t v) { return ws.state[At(v)].sigma; }
  static void Clear(FastWorkspace& ws, int32_t v) { ws.state[At(v)].sigma = 0.0; }
  // v's count plus c.
  static void Add(FastWorkspace& ws, int32_t v, Count c) {
    ws.state[At(v)].sigma = ws.state[At(v)].sigma + c;
  }
  // sigma[v] / sigma[w].
  static double Ratio(const FastWorkspace& ws, int32_t v, int32_t w) {
    return DivOrdered(ws.state[At(v)].sigma, ws.state[At(w)].sigma);
  }
  static size_t At(int32_t v) { return static_cast<size_t>(v); }
};

struct WideCounts {
  using Count = WideCount;
  static constexpr bool kCanOverflow = false;

  static Count Get(const FastWorkspace& ws, int32_t v) {
    const auto at = static_cast<size_t>(v);
    return WideCount{ws.state[at].sigma, ws.sigmaExponent[at]};
  }
  static void Set(FastWorkspace& ws, int32_t v, Count c) {
    const auto at = static_cast<size_t>(v);
    ws.state[at].sigma = c.mantissa;
    ws.sigmaExponent[at] = c.exponent;
  }
  static void Clear(FastWorkspace& ws, int32_t v) { Set(ws, v, WideCount{}); }
  static void Add(FastWorkspace& ws, int32_t v, Count c) { Set(ws, v, WideCount_Add(Get(ws, v), c)); }
  static double Ratio(const FastWorkspace& ws, int32_t v, int32_t w) {
    return WideCount_Ratio(Get(ws, v), Get(ws, w));
  }
};
