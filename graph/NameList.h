// Node names packed end to end, indexed by node: a name takes its own bytes
// and one offset, whatever its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct NameList {
  std::vector<char> bytes;
  std::vector<uint64_t> ends = {0};  // name i is bytes[ends[i] .. ends[i+1])

  int32_t Count() const { return static_cast<int32_t>(ends.size() - 1); }

  // Name of node i; the empty name beyond the named nodes.
  std::string_view Name(int32_t i) const {
    if (i < 0 || i >= Count()) return {};
    const auto at = static_cast<size_t>(i);
    return {bytes.data() + ends[at], static_cast<size_t>(ends[at + 1] - ends[at])};
  }

  void Add(std::string_view name) {
    bytes.insert(bytes.end(), name.begin(), name.end());
    ends.push_back(bytes.size());
  }
};
