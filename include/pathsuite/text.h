// A growable text buffer that formats numbers exactly as the programs print
// them, for callers that write listings of their own.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace pathsuite {

class TextBuffer {
 public:
  void Append(std::string_view text) {
    // memcpy takes no null pointer even for zero bytes, and an empty name's
    // view, like a buffer not yet grown, has none.
    if (text.empty()) return;
    Reserve(text.size());
    std::memcpy(data_.data() + size_, text.data(), text.size());
    size_ += text.size();
  }
  void AppendChar(char c) {
    Reserve(1);
    data_[size_++] = c;
  }
  // Fixed notation with six decimals, byte for byte as printf's "%f" prints
  // it (inf, -inf, nan, -nan and -0.000000 included).
  void AppendFixed6(double value);
  // Room for `total` bytes, so that filling up to it allocates nothing.
  void ReserveTotal(size_t total) {
    if (total > data_.size()) data_.resize(total);
  }
  size_t Size() const { return size_; }
  std::string_view View() const { return {data_.data(), size_}; }
  void Clear() { size_ = 0; }

 private:
  void Reserve(size_t extra) {
    if (size_ + extra > data_.size()) data_.resize(std::max(data_.size() * 2, size_ + extra + 4096));
  }
  std::vector<char> data_;
  size_t size_ = 0;
};

}  // namespace pathsuite
