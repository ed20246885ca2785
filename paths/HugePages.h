// Large arrays on huge pages. A search reads a large graph's arrays all
// over, and with 4 KB pages nearly every such read also misses the address
// cache (TLB) and walks the page tables; 2 MB pages cover the arrays with a
// few hundred entries. Linux backs memory with huge pages where the program
// asks for them (madvise) and the system allows it (transparent huge pages
// "madvise" or "always"); elsewhere the request changes nothing. Only the
// memory matters, so the arrays stay plain vectors.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Asks for huge pages under [data, data + bytes): a hint, for memory not
// yet touched (pages already in place keep their size). Only the whole huge
// pages inside the range are advised.
inline void HugePages_Advise(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<uintptr_t>(data);
  const uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (begin + bytes) & ~(kHuge - 1);
  if (first < end) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// Arrays smaller than this stay on ordinary pages: a huge page would hold
// mostly nothing of theirs.
constexpr size_t kHugePagesFrom = size_t{4} << 20;

// v.assign(n, value), with v's memory on huge pages when it is large: the
// memory is reserved, advised and only then filled.
template <class T>
void HugePages_Assign(std::vector<T>& v, size_t n, const T& value) {
  if (n * sizeof(T) < kHugePagesFrom) {
    v.assign(n, value);
    return;
  }
  std::vector<T> fresh;
  fresh.reserve(n);
  HugePages_Advise(fresh.data(), n * sizeof(T));
  fresh.assign(n, value);
  v.swap(fresh);
}
