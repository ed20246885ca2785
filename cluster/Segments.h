// How the running scores are cut for the ring: segments of 2^shift nodes
// (the last one shorter), passed from rank to rank one after another.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "cluster/Cluster.h"

struct Segments {
  int32_t shift;
  int32_t count;
  int32_t nodes;
  int64_t Begin(int32_t i) const { return int64_t{i} << shift; }
  int64_t Size(int32_t i) const { return std::min<int64_t>(nodes, Begin(i + 1)) - Begin(i); }
};

inline Segments SegmentsFor(const ClusterOptions& options, int32_t nodes, int ranks) {
  int64_t width = options.segment.value_or(0);
  if (width == 0) {
    // Enough segments for every rank to fold one while the others fold
    // theirs, each of at least 4096 nodes.
    width = 4096;
    while (width * 2 * ranks < nodes) width *= 2;
  }
  Segments s{std::countr_zero(static_cast<uint64_t>(width)), 0, nodes};
  s.count = static_cast<int32_t>((int64_t{std::max(nodes, 1)} + width - 1) / width);
  return s;
}
