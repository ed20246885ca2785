#include "containers/hash.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/random.h>
#include <unistd.h>

namespace {

constexpr int32_t kMaxHint = int32_t{1} << 27;
constexpr int32_t kMaxItems = int32_t{1} << 30;
constexpr int32_t kItemsPerBucket = 8;

Hash_Item** AllocateBuckets(int32_t count) {
  void* block = std::calloc(static_cast<size_t>(count), sizeof(Hash_Item*));
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<Hash_Item**>(block);
}

Hash_Item* FindInChain(const Hash_Store* table, const char* name, uint32_t h) {
  for (Hash_Item* item = table->buckets[h & table->mask]; item != nullptr;
       item = item->next) {
    if (item->hashCode == h && std::strcmp(item->name, name) == 0) return item;
  }
  return nullptr;
}

// Doubles the bucket array. Each old chain is walked from its head and its
// items pushed onto their new chains, so items that stay together end up in
// reverse relative order. Names are not hashed again.
void RebuildTable(Hash_Store* table) {
  Hash_Item** oldBuckets = table->buckets;
  const int32_t oldCount = table->bucketCount;
  Hash_Item** newBuckets = AllocateBuckets(oldCount * 2);
  table->buckets = newBuckets;
  table->bucketCount = oldCount * 2;
  table->mask = static_cast<uint32_t>(table->bucketCount - 1);
  for (int32_t i = 0; i < oldCount; ++i) {
    Hash_Item* item = oldBuckets[i];
    while (item != nullptr) {
      Hash_Item* next = item->next;
      Hash_Item** head = &newBuckets[item->hashCode & table->mask];
      item->next = *head;
      *head = item;
      item = next;
    }
  }
  std::free(oldBuckets);
}

struct SipState {
  uint64_t v0, v1, v2, v3;
};

inline uint64_t RotateLeft(uint64_t x, int bits) { return x << bits | x >> (64 - bits); }

inline void SipRound(SipState& s) {
  s.v0 += s.v1; s.v1 = RotateLeft(s.v1, 13); s.v1 ^= s.v0; s.v0 = RotateLeft(s.v0, 32);
  s.v2 += s.v3; s.v3 = RotateLeft(s.v3, 16); s.v3 ^= s.v2;
  s.v0 += s.v3; s.v3 = RotateLeft(s.v3, 21); s.v3 ^= s.v0;
  s.v2 += s.v1; s.v1 = RotateLeft(s.v1, 17); s.v1 ^= s.v2; s.v2 = RotateLeft(s.v2, 32);
}

// Two rounds per message word: the "2" of SipHash-2-4.
inline void Compress(SipState& s, uint64_t m) {
  s.v3 ^= m;
  SipRound(s);
  SipRound(s);
  s.v0 ^= m;
}

// count (at most 8) bytes read as a little-endian number, whatever the host.
inline uint64_t LoadLittle(const unsigned char* p, size_t count) {
  uint64_t x = 0;
  for (size_t i = count; i > 0; --i) x = x << 8 | p[i - 1];
  return x;
}

// splitmix64's output function: spreads every input bit over the result.
uint64_t Mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

Hash_Key DrawKey() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) {
      got += static_cast<size_t>(n);
      continue;
    }
    if (n == 0 || errno != EINTR) break;
  }
  if (got == sizeof bytes) return {LoadLittle(bytes, 8), LoadLittle(bytes + 8, 8)};
  // No kernel randomness (an old kernel, or a filter refusing the call): the
  // clock and the addresses that layout randomisation moves still differ from
  // run to run, which beats a fixed key. The table works under any key.
  const auto ticks = static_cast<uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  const auto stack = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&got));
  const auto code = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&Mix));
  return {Mix(ticks ^ Mix(stack)), Mix(ticks + Mix(code))};
}

}  // namespace

uint64_t Hash_SipHash24(Hash_Key key, const void* data, size_t length) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  SipState s{key.k0 ^ 0x736f6d6570736575u, key.k1 ^ 0x646f72616e646f6du,
             key.k0 ^ 0x6c7967656e657261u, key.k1 ^ 0x7465646279746573u};
  const size_t whole = length - length % 8;
  for (size_t i = 0; i < whole; i += 8) Compress(s, LoadLittle(bytes + i, 8));
  // The last word: the remaining bytes, and the length's low byte on top.
  Compress(s, LoadLittle(bytes + whole, length % 8) | static_cast<uint64_t>(length) << 56);
  s.v2 ^= 0xff;
  for (int i = 0; i < 4; ++i) SipRound(s);
  return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

uint32_t Hash_Code(const Hash_Store* table, const char* name) {
  return static_cast<uint32_t>(Hash_SipHash24(table->key, name, std::strlen(name)));
}

Hash_Key Hash_ProcessKey() {
  // The one piece of process-wide state in the table module. It is written
  // once, by the initialisation of this local static (which the language
  // runs exactly once even when threads race to the first call), and only
  // read after that, so sharing it needs no lock. One key serves every table:
  // a file cannot learn it either way, and a draw per table would cost a
  // system call per table for nothing.
  static const Hash_Key key = DrawKey();
  return key;
}

void Hash_InitTable(Hash_Store* table, int32_t hint) {
  Hash_InitTableKeyed(table, hint, Hash_ProcessKey());
}

void Hash_InitTableKeyed(Hash_Store* table, int32_t hint, Hash_Key key) {
  int32_t count = 16;
  if (hint > 0) {
    if (hint > kMaxHint) hint = kMaxHint;
    count = 2;
    while (count < hint) count *= 2;
  }
  table->buckets = AllocateBuckets(count);
  table->bucketCount = count;
  table->itemCount = 0;
  table->mask = static_cast<uint32_t>(count - 1);
  table->key = key;
}

void Hash_DeleteTable(Hash_Store* table) {
  for (int32_t i = 0; i < table->bucketCount; ++i) {
    Hash_Item* item = table->buckets[i];
    while (item != nullptr) {
      Hash_Item* next = item->next;
      std::free(item);
      item = next;
    }
  }
  std::free(table->buckets);
  table->buckets = nullptr;
}

Hash_Item* Hash_FindEntry(const Hash_Store* table, const char* name) {
  return FindInChain(table, name, Hash_Code(table, name));
}

Hash_Item* Hash_CreateEntry(Hash_Store* table, const char* name, int32_t* newFlag) {
  const uint32_t h = Hash_Code(table, name);
  if (Hash_Item* found = FindInChain(table, name, h)) {
    if (newFlag != nullptr) *newFlag = 0;
    return found;
  }
  if (table->itemCount >= kMaxItems) throw std::bad_alloc();
  if (table->itemCount >= kItemsPerBucket * table->bucketCount) RebuildTable(table);

  const size_t length = std::strlen(name);
  void* block = std::malloc(offsetof(Hash_Item, name) + length + 1);
  if (block == nullptr) throw std::bad_alloc();
  auto* item = static_cast<Hash_Item*>(block);
  Hash_Item** head = &table->buckets[h & table->mask];
  item->next = *head;
  item->value = -1;
  item->hashCode = h;
  std::memcpy(item->name, name, length + 1);
  *head = item;
  table->itemCount += 1;
  if (newFlag != nullptr) *newFlag = 1;
  return item;
}

void Hash_DeleteEntry(Hash_Store* table, Hash_Item* item) {
  if (item == nullptr) return;
  for (Hash_Item** link = &table->buckets[item->hashCode & table->mask];
       *link != nullptr; link = &(*link)->next) {
    if (*link == item) {
      *link = item->next;
      std::free(item);
      table->itemCount -= 1;
      return;
    }
  }
  static const char kMessage[] = "bad call to Hash_DeleteEntry\n";
  // One unbuffered write; nothing else can be done usefully before aborting.
  [[maybe_unused]] ssize_t written = write(2, kMessage, sizeof kMessage - 1);
  std::abort();
}

Hash_Item* Hash_EnumFirst(Hash_Store* table, Hash_Cursor* cursor) {
  cursor->table = table;
  cursor->nextBucket = 0;
  cursor->current = nullptr;
  return Hash_EnumNext(cursor);
}

Hash_Item* Hash_EnumNext(Hash_Cursor* cursor) {
  Hash_Item* x = cursor->current;
  if (x != nullptr) x = x->next;
  while (x == nullptr) {
    if (cursor->nextBucket >= cursor->table->bucketCount) return nullptr;
    x = cursor->table->buckets[cursor->nextBucket];
    cursor->nextBucket += 1;
  }
  cursor->current = x;
  return x;
}
