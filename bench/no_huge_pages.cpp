// Linked into a bench tool (search_cost), this madvise, which does nothing,
// takes the place of the C library's for the engine's calls: its large
// arrays stay on ordinary 4 KB pages, to time what the huge pages give.
//   g++ ... bench/search_cost.cpp bench/no_huge_pages.cpp build/libpathsuite.a
#include <sys/mman.h>

#include <cstddef>

extern "C" int madvise(void*, size_t, int) noexcept { return 0; }
