#include "containers/hash.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
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

}  // namespace

uint32_t Hash_Code(const char* name) {
  uint32_t h = 0;
  for (const char* p = name; *p != '\0'; ++p) {
    const auto c = static_cast<int32_t>(static_cast<signed char>(*p));
    h = h * 31u + static_cast<uint32_t>(c);
  }
  return h;
}

void Hash_InitTable(Hash_Store* table, int32_t hint) {
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
  return FindInChain(table, name, Hash_Code(name));
}

Hash_Item* Hash_CreateEntry(Hash_Store* table, const char* name, int32_t* newFlag) {
  const uint32_t h = Hash_Code(name);
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
