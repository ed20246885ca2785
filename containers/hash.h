// Module hash: a chained, power-of-two string table mapping names to one
// 32-bit value each. Items never move once created, so item references stay
// valid across growth until the item is deleted or the table destroyed.
//
// Names come from input files, so the hash is keyed: SipHash-2-4 under a key
// drawn when the process starts. Without the key no file can pick names that
// share a chain, and where a name sits in the table is never printed.
#pragma once

#include <cstddef>
#include <cstdint>

struct Hash_Item {
  Hash_Item* next;    // next item of the same chain
  int32_t value;      // free for the caller; -1 when created
  uint32_t hashCode;  // hash of name, computed once at creation
  char name[1];       // the table's own NUL-terminated copy, allocated inline
};

// A SipHash key: k0 holds key bytes 0-7, k1 bytes 8-15, little-endian.
struct Hash_Key {
  uint64_t k0;
  uint64_t k1;
};

struct Hash_Store {
  Hash_Item** buckets;
  int32_t bucketCount;  // a power of two, at least 2
  int32_t itemCount;
  uint32_t mask;        // bucketCount - 1
  Hash_Key key;         // the key every code of this table is computed under
};

struct Hash_Cursor {
  Hash_Store* table;
  int32_t nextBucket;
  Hash_Item* current;
};

// SipHash-2-4 of length bytes at data under key: 64 bits, as the algorithm's
// authors define it.
uint64_t Hash_SipHash24(Hash_Key key, const void* data, size_t length);

// Hash code of name in table: the low 32 bits of Hash_SipHash24 over the
// name's bytes, without the terminator, under the table's key.
uint32_t Hash_Code(const Hash_Store* table, const char* name);

// The key of every table Hash_InitTable sets up: drawn from the system's
// random source on the first call, the same for the rest of the process.
// Safe to call from any thread.
Hash_Key Hash_ProcessKey();

// Sets up an empty table whose codes are computed under key. Buckets: 16 for
// hint <= 0, otherwise the smallest power of two >= hint and >= 2. Hints
// above 2^27 are clamped to 2^27.
void Hash_InitTableKeyed(Hash_Store* table, int32_t hint, Hash_Key key);

// Hash_InitTableKeyed under Hash_ProcessKey(): what every program uses.
void Hash_InitTable(Hash_Store* table, int32_t hint);

// Frees every item and the bucket array; the record may then be set up again.
void Hash_DeleteTable(Hash_Store* table);

// Returns the item holding name, or nullptr. Changes nothing.
Hash_Item* Hash_FindEntry(const Hash_Store* table, const char* name);

// Returns the item holding name, creating it (value -1, first in its chain)
// when absent. Stores 1 through newFlag for a creation, 0 otherwise, when
// newFlag is not null. Grows the table before inserting the (8B+1)-th item.
// Throws std::bad_alloc when memory runs out or the table would exceed 2^30
// items.
Hash_Item* Hash_CreateEntry(Hash_Store* table, const char* name, int32_t* newFlag);

// Unlinks and frees item; nullptr is ignored. An item that is not in the
// chain its hash code selects writes "bad call to Hash_DeleteEntry\n" to
// descriptor 2 and aborts.
void Hash_DeleteEntry(Hash_Store* table, Hash_Item* item);

// Enumeration in increasing bucket order, each chain from its head.
// Returns nullptr at the end, and keeps returning it while the table is
// unchanged.
Hash_Item* Hash_EnumFirst(Hash_Store* table, Hash_Cursor* cursor);
Hash_Item* Hash_EnumNext(Hash_Cursor* cursor);
