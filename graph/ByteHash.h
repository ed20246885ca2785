// A 64-bit hash of a byte stream, the same for any way the stream is cut
// into pieces, on every machine: it names an input file's content in a
// checkpoint and seals a checkpoint against corruption. Not keyed: it guards
// against accidents, not against someone who crafts a collision.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class ByteHash {
 public:
  void Update(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    total_ += size;
    while (size > 0) {
      if (pending_ == 0 && size >= 8) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);  // little-endian machines only, as the files are
        Mix(word);
        bytes += 8;
        size -= 8;
        continue;
      }
      partial_ |= uint64_t{*bytes++} << (8 * pending_);
      size -= 1;
      if (++pending_ == 8) {
        Mix(partial_);
        partial_ = 0;
        pending_ = 0;
      }
    }
  }

  uint64_t Final() const {
    uint64_t h = state_;
    h ^= partial_ * kPrime;
    h ^= total_;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
  }

  uint64_t Size() const { return total_; }

 private:
  static constexpr uint64_t kPrime = 0x9e3779b97f4a7c15ULL;

  void Mix(uint64_t word) {
    state_ ^= word * kPrime;
    state_ = (state_ << 27 | state_ >> 37) * 0xbf58476d1ce4e5b9ULL + 0x94d049bb133111ebULL;
  }

  uint64_t state_ = 0x243f6a8885a308d3ULL;
  uint64_t partial_ = 0;
  unsigned pending_ = 0;
  uint64_t total_ = 0;
};
