// How the fast engine holds path counts, as a policy of the relaxation and
// the accumulation: PlainCounts keeps plain doubles in NodeState::sigma,
// WideCounts wide counts, their mantissas there and their exponents in
// ws.sigmaExponent. Each operation is the reference's for the same width.
#pragma once

#include <cstdint>

#include "paths/FastWorkspace.h"
#include "paths/OrderedMath.h"
#include "paths/WideCount.h"

struct PlainCounts {
  using Count = double;
  static constexpr bool kCanOverflow = true;

  static Count Get(const FastWorkspace&, const NodeState& st, int32_t) { return st.sigma; }
  static void Clear(FastWorkspace&, NodeState& st, int32_t) { st.sigma = 0.0; }
  // st's count (node v) plus c.
  static void Add(FastWorkspace&, NodeState& st, int32_t, Count c) { st.sigma = st.sigma + c; }
  // sigma[v] / sigma[w].
  static double Ratio(const FastWorkspace& ws, int32_t v, int32_t w) {
    return DivOrdered(ws.state[v].sigma, ws.state[w].sigma);
  }
};

struct WideCounts {
  using Count = WideCount;
  static constexpr bool kCanOverflow = false;

  static Count Get(const FastWorkspace& ws, const NodeState& st, int32_t v) {
    return WideCount{st.sigma, ws.sigmaExponent[static_cast<size_t>(v)]};
  }
  static void Set(FastWorkspace& ws, NodeState& st, int32_t v, Count c) {
    st.sigma = c.mantissa;
    ws.sigmaExponent[static_cast<size_t>(v)] = c.exponent;
  }
  static void Clear(FastWorkspace& ws, NodeState& st, int32_t v) { Set(ws, st, v, WideCount{}); }
  static void Add(FastWorkspace& ws, NodeState& st, int32_t v, Count c) {
    Set(ws, st, v, WideCount_Add(Get(ws, st, v), c));
  }
  static double Ratio(const FastWorkspace& ws, int32_t v, int32_t w) {
    return WideCount_Ratio(Get(ws, ws.state[v], v), Get(ws, ws.state[w], w));
  }
};
