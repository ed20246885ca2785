// The name table: the keyed hash and its codes, bucket counts, growth, chain
// and enumeration order, deletion, the misuse guard, and chain lengths under
// names crafted to collide.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "containers/hash.h"

namespace {

// Key bytes 00 01 ... 0f, the key of the algorithm's reference vectors.
constexpr Hash_Key kTestKey = {0x0706050403020100u, 0x0f0e0d0c0b0a0908u};

// A table set up for one test and torn down after it: under the process key,
// as the programs use it, or under a chosen key where a test needs known codes.
class Table {
 public:
  explicit Table(int32_t hint) { Hash_InitTable(&store_, hint); }
  Table(int32_t hint, Hash_Key key) { Hash_InitTableKeyed(&store_, hint, key); }
  ~Table() { Hash_DeleteTable(&store_); }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  Hash_Store* get() { return &store_; }
  Hash_Store* operator->() { return &store_; }

 private:
  Hash_Store store_{};
};

bool InChain(Hash_Store* table, uint32_t bucket, const Hash_Item* wanted) {
  for (const Hash_Item* item = table->buckets[bucket]; item != nullptr; item = item->next) {
    if (item == wanted) return true;
  }
  return false;
}

std::vector<std::string> Enumerate(Hash_Store* table) {
  std::vector<std::string> names;
  Hash_Cursor cursor;
  for (Hash_Item* item = Hash_EnumFirst(table, &cursor); item != nullptr;
       item = Hash_EnumNext(&cursor)) {
    names.emplace_back(item->name);
  }
  return names;
}

// The first two names "s0", "s1", ... whose codes under key agree in the bits
// of mask: one chain in every table of up to mask + 1 buckets.
std::pair<std::string, std::string> TwoNamesInOneChain(Hash_Key key, uint32_t mask) {
  Hash_Store probe{};
  probe.key = key;
  std::unordered_map<uint32_t, std::string> seen;
  for (int i = 0;; ++i) {
    std::string name = "s" + std::to_string(i);
    const uint32_t bucket = Hash_Code(&probe, name.c_str()) & mask;
    auto [it, fresh] = seen.emplace(bucket, name);
    if (!fresh) return {it->second, name};
  }
}

// Name i of the crafted family: eight two-byte blocks, each chosen by one
// octal digit of i. Every block has 31 * c1 + c2 == 0 over signed bytes, so
// under the polynomial h = 31h + c every name of the family has code 0.
std::string CraftedName(uint32_t i) {
  static const char kBlocks[8][3] = {"\xFC\x7C", "\xFD\x5D", "\xFE\x3E", "\xFF\x1F",
                                     "\x01\xE1", "\x02\xC2", "\x03\xA3", "\x04\x84"};
  std::string name;
  for (int d = 0; d < 8; ++d, i /= 8) name += kBlocks[i % 8];
  return name;
}

// Name i of a random-looking family of the same length: 16 letters and digits
// from a splitmix64 sequence.
std::string RandomName(uint64_t i) {
  static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name;
  for (int k = 0; k < 2; ++k) {
    uint64_t z = (i * 2 + static_cast<uint64_t>(k) + 1) * 0x9e3779b97f4a7c15u;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    z ^= z >> 31;
    for (int c = 0; c < 8; ++c, z /= 36) name += kAlphabet[z % 36];
  }
  return name;
}

// SipHash-2-4 of the bytes 00 01 ... N-1 under key 00 01 ... 0f, for N = 0
// to 63: the reference vectors published with the algorithm.
const uint64_t kReferenceVectors[64] = {
    0x726fdb47dd0e0e31u, 0x74f839c593dc67fdu, 0x0d6c8009d9a94f5au, 0x85676696d7fb7e2du,
    0xcf2794e0277187b7u, 0x18765564cd99a68du, 0xcbc9466e58fee3ceu, 0xab0200f58b01d137u,
    0x93f5f5799a932462u, 0x9e0082df0ba9e4b0u, 0x7a5dbbc594ddb9f3u, 0xf4b32f46226bada7u,
    0x751e8fbc860ee5fbu, 0x14ea5627c0843d90u, 0xf723ca908e7af2eeu, 0xa129ca6149be45e5u,
    0x3f2acc7f57c29bdbu, 0x699ae9f52cbe4794u, 0x4bc1b3f0968dd39cu, 0xbb6dc91da77961bdu,
    0xbed65cf21aa2ee98u, 0xd0f2cbb02e3b67c7u, 0x93536795e3a33e88u, 0xa80c038ccd5ccec8u,
    0xb8ad50c6f649af94u, 0xbce192de8a85b8eau, 0x17d835b85bbb15f3u, 0x2f2e6163076bcfadu,
    0xde4daaaca71dc9a5u, 0xa6a2506687956571u, 0xad87a3535c49ef28u, 0x32d892fad841c342u,
    0x7127512f72f27cceu, 0xa7f32346f95978e3u, 0x12e0b01abb051238u, 0x15e034d40fa197aeu,
    0x314dffbe0815a3b4u, 0x027990f029623981u, 0xcadcd4e59ef40c4du, 0x9abfd8766a33735cu,
    0x0e3ea96b5304a7d0u, 0xad0c42d6fc585992u, 0x187306c89bc215a9u, 0xd4a60abcf3792b95u,
    0xf935451de4f21df2u, 0xa9538f0419755787u, 0xdb9acddff56ca510u, 0xd06c98cd5c0975ebu,
    0xe612a3cb9ecba951u, 0xc766e62cfcadaf96u, 0xee64435a9752fe72u, 0xa192d576b245165au,
    0x0a8787bf8ecb74b2u, 0x81b3e73d20b49b6fu, 0x7fa8220ba3b2eceau, 0x245731c13ca42499u,
    0xb78dbfaf3a8d83bdu, 0xea1ad565322a1a0bu, 0x60e61c23a3795013u, 0x6606d7e446282b93u,
    0x6ca4ecb15c5f91e1u, 0x9f626da15c9625f3u, 0xe51b38608ef25f57u, 0x958a324ceb064572u,
};

TEST(SipHash, ReferenceVectors) {
  unsigned char message[64];
  for (int i = 0; i < 64; ++i) message[i] = static_cast<unsigned char>(i);
  for (size_t n = 0; n < 64; ++n) {
    EXPECT_EQ(Hash_SipHash24(kTestKey, message, n), kReferenceVectors[n]) << "length " << n;
  }
}

// The reference messages stop at byte 3f; bytes from 80 up must be read as
// unsigned too. Expected values checked against another SipHash-2-4.
TEST(SipHash, HighBytes) {
  const struct {
    const char* message;
    uint64_t hash;
  } cases[] = {
      {"\xE9", 0x728c99d981d640a8u},
      {"a\xE9", 0x7d0c910315356eeeu},
      {"\x80\x81\x82\x83\x84\x85\x86\x87\x88", 0x9d6635f04722e3dbu},
      {"abc", 0x5dbcfa53aa2007a5u},
      {"\xFC\x7C\xFD\x5D\xFE\x3E\xFF\x1F\x01\xE1\x02\xC2\x03\xA3\x04\x84", 0xdc9bb5449f20ec74u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hash_SipHash24(kTestKey, c.message, std::strlen(c.message)), c.hash) << c.message;
  }
}

TEST(SipHash, EveryKeyBitCounts) {
  const char message[] = "some name";
  const uint64_t base = Hash_SipHash24(kTestKey, message, sizeof message - 1);
  for (int bit = 0; bit < 128; ++bit) {
    Hash_Key key = kTestKey;
    (bit < 64 ? key.k0 : key.k1) ^= uint64_t{1} << (bit % 64);
    EXPECT_NE(Hash_SipHash24(key, message, sizeof message - 1), base) << "key bit " << bit;
  }
}

TEST(Hash, CodesAndBucketsOfNames) {
  const std::string names[] = {"",      "abc",          "\xE9",         "a\xE9",
                               "Aa",    "BB",           CraftedName(0), CraftedName(1),
                               "n1234", std::string(20, 'z')};
  Table table(8000, kTestKey);
  ASSERT_EQ(table->bucketCount, 8192);
  std::vector<Hash_Item*> items;
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    const auto code = static_cast<uint32_t>(Hash_SipHash24(kTestKey, name.data(), name.size()));
    EXPECT_EQ(Hash_Code(table.get(), name.c_str()), code);
    Hash_Item* item = Hash_CreateEntry(table.get(), name.c_str(), nullptr);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->hashCode, code);
    EXPECT_TRUE(InChain(table.get(), code & 8191u, item));
    items.push_back(item);
  }
  EXPECT_EQ(table->itemCount, static_cast<int32_t>(std::size(names)));
  for (size_t k = 0; k < std::size(names); ++k) {
    EXPECT_EQ(Hash_FindEntry(table.get(), names[k].c_str()), items[k]);
    EXPECT_STREQ(items[k]->name, names[k].c_str());
  }
  EXPECT_EQ(Hash_FindEntry(table.get(), "Ab"), nullptr);
  // The empty name hashes the empty message: the first reference vector.
  EXPECT_EQ(items[0]->hashCode, static_cast<uint32_t>(kReferenceVectors[0]));
}

TEST(Hash, TablesShareTheProcessKey) {
  const Hash_Key key = Hash_ProcessKey();
  EXPECT_FALSE(key.k0 == 0 && key.k1 == 0);
  Table a(16);
  Table b(8000);
  for (Hash_Store* table : {a.get(), b.get()}) {
    EXPECT_EQ(table->key.k0, key.k0);
    EXPECT_EQ(table->key.k1, key.k1);
  }
  EXPECT_EQ(Hash_Code(a.get(), "abc"), Hash_Code(b.get(), "abc"));
  Table keyed(16, kTestKey);
  EXPECT_EQ(keyed->key.k0, kTestKey.k0);
  EXPECT_EQ(keyed->key.k1, kTestKey.k1);
}

// Names with the same 32-bit code, found by a birthday search under the test
// key, are still distinct items, each found by its own name.
TEST(Hash, NamesSharingTheirWholeCode) {
  Table table(16, kTestKey);
  std::unordered_map<uint32_t, std::string> seen;
  std::string first, second;
  for (int i = 0; second.empty(); ++i) {
    ASSERT_LT(i, 2000000);
    std::string name = "w" + std::to_string(i);
    auto [it, fresh] = seen.emplace(Hash_Code(table.get(), name.c_str()), name);
    if (!fresh) first = it->second, second = name;
  }
  Hash_Item* a = Hash_CreateEntry(table.get(), first.c_str(), nullptr);
  Hash_Item* b = Hash_CreateEntry(table.get(), second.c_str(), nullptr);
  ASSERT_NE(a, b);
  ASSERT_EQ(a->hashCode, b->hashCode);
  EXPECT_EQ(table->buckets[a->hashCode & table->mask], b);
  EXPECT_EQ(b->next, a);
  EXPECT_EQ(Hash_FindEntry(table.get(), first.c_str()), a);
  EXPECT_EQ(Hash_FindEntry(table.get(), second.c_str()), b);
  EXPECT_EQ(table->itemCount, 2);
}

TEST(Hash, BucketCountFromHint) {
  const struct {
    int32_t hint;
    int32_t buckets;
  } cases[] = {{-5, 16},      {0, 16},       {1, 2},       {2, 2},
               {3, 4},        {8000, 8192},  {8192, 8192}, {8193, 16384}};
  for (const auto& c : cases) {
    SCOPED_TRACE("hint " + std::to_string(c.hint));
    Table table(c.hint);
    EXPECT_EQ(table->bucketCount, c.buckets);
    EXPECT_EQ(table->mask, static_cast<uint32_t>(c.buckets - 1));
    EXPECT_EQ(table->itemCount, 0);
    for (int32_t i = 0; i < c.buckets; ++i) ASSERT_EQ(table->buckets[i], nullptr);
  }
}

TEST(Hash, GrowsExactlyAtThe65537thNameAndKeepsItems) {
  Table table(8000);
  constexpr int kNames = 65537;
  std::vector<std::string> names;
  std::vector<Hash_Item*> items;
  names.reserve(kNames);
  items.reserve(kNames);
  for (int i = 0; i < kNames; ++i) {
    if (i == kNames - 1) {
      ASSERT_EQ(table->bucketCount, 8192);
      ASSERT_EQ(table->itemCount, 65536);
    }
    names.push_back("name" + std::to_string(i));
    int32_t created = -7;
    Hash_Item* item = Hash_CreateEntry(table.get(), names.back().c_str(), &created);
    ASSERT_EQ(created, 1);
    item->value = i;
    items.push_back(item);
  }
  EXPECT_EQ(table->bucketCount, 16384);
  EXPECT_EQ(table->mask, 16383u);
  EXPECT_EQ(table->itemCount, kNames);
  for (int i = 0; i < kNames; ++i) {
    ASSERT_EQ(Hash_FindEntry(table.get(), names[i].c_str()), items[i]) << names[i];
    ASSERT_EQ(items[i]->value, i);
    ASSERT_STREQ(items[i]->name, names[i].c_str());
    ASSERT_EQ(items[i]->hashCode, Hash_Code(table.get(), names[i].c_str())) << names[i];
    ASSERT_TRUE(InChain(table.get(), items[i]->hashCode & table->mask, items[i])) << names[i];
  }
  EXPECT_EQ(Enumerate(table.get()).size(), static_cast<size_t>(kNames));
}

// Within a chain new items go first, so before any growth a bucket lists its
// items newest first. Growth walks each old chain from its head and pushes
// every item onto its new chain, which turns that order around: oldest first,
// with any item inserted after the growth in front.
TEST(Hash, EnumerationOrderBeforeAndAfterGrowth) {
  Table table(0, kTestKey);
  constexpr int kBefore = 128;  // 8 per bucket in 16 buckets: the next name grows the table
  std::vector<std::string> names;
  std::vector<uint32_t> codes;
  for (int i = 0; i <= kBefore; ++i) {
    names.push_back("n" + std::to_string(i));
    codes.push_back(Hash_Code(table.get(), names.back().c_str()));
  }
  for (int i = 0; i < kBefore; ++i) Hash_CreateEntry(table.get(), names[i].c_str(), nullptr);
  ASSERT_EQ(table->bucketCount, 16);

  std::vector<std::string> expected;
  for (uint32_t b = 0; b < 16; ++b) {
    for (int i = kBefore - 1; i >= 0; --i) {
      if ((codes[i] & 15u) == b) expected.push_back(names[i]);
    }
  }
  EXPECT_EQ(Enumerate(table.get()), expected);

  Hash_CreateEntry(table.get(), names[kBefore].c_str(), nullptr);
  ASSERT_EQ(table->bucketCount, 32);
  expected.clear();
  for (uint32_t b = 0; b < 32; ++b) {
    if ((codes[kBefore] & 31u) == b) expected.push_back(names[kBefore]);
    for (int i = 0; i < kBefore; ++i) {
      if ((codes[i] & 31u) == b) expected.push_back(names[i]);
    }
  }
  EXPECT_EQ(Enumerate(table.get()), expected);
}

TEST(Hash, SharedChainReversesAcrossGrowth) {
  const auto [older, newer] = TwoNamesInOneChain(kTestKey, 31u);
  Table table(0, kTestKey);
  Hash_CreateEntry(table.get(), older.c_str(), nullptr);
  Hash_CreateEntry(table.get(), newer.c_str(), nullptr);
  EXPECT_EQ(Enumerate(table.get()), (std::vector<std::string>{newer, older}));
  for (int i = 0; table->bucketCount == 16; ++i) {
    Hash_CreateEntry(table.get(), ("fill" + std::to_string(i)).c_str(), nullptr);
  }
  std::vector<std::string> pair;
  for (const auto& name : Enumerate(table.get())) {
    if (name == older || name == newer) pair.push_back(name);
  }
  EXPECT_EQ(pair, (std::vector<std::string>{older, newer}));
}

TEST(Hash, CreateExistingNameChangesNothing) {
  const auto [first, second] = TwoNamesInOneChain(kTestKey, 15u);
  Table table(16, kTestKey);
  const uint32_t bucket = Hash_Code(table.get(), first.c_str()) & 15u;
  int32_t flag = -7;
  Hash_Item* a = Hash_CreateEntry(table.get(), first.c_str(), &flag);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(a->value, -1);
  EXPECT_EQ(table->buckets[bucket], a);
  a->value = 42;

  Hash_Item* b = Hash_CreateEntry(table.get(), second.c_str(), &flag);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(b->value, -1);
  EXPECT_EQ(table->buckets[bucket], b);  // the new item heads its chain
  EXPECT_EQ(b->next, a);

  flag = -7;
  EXPECT_EQ(Hash_CreateEntry(table.get(), first.c_str(), &flag), a);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(a->value, 42);
  EXPECT_EQ(table->itemCount, 2);
  EXPECT_EQ(table->buckets[bucket], b);  // no reordering on a hit

  // No flag reference, for a hit and for a creation.
  EXPECT_EQ(Hash_CreateEntry(table.get(), second.c_str(), nullptr), b);
  Hash_Item* abc = Hash_CreateEntry(table.get(), "abc", nullptr);
  ASSERT_NE(abc, nullptr);
  EXPECT_EQ(abc->value, -1);
  EXPECT_EQ(table->itemCount, 3);
}

TEST(Hash, CopiesTheCallersName) {
  Table table(16);
  char name[] = "xyz";
  Hash_Item* item = Hash_CreateEntry(table.get(), name, nullptr);
  name[0] = 'q';
  EXPECT_STREQ(item->name, "xyz");
  EXPECT_EQ(Hash_FindEntry(table.get(), "xyz"), item);
  EXPECT_EQ(Hash_FindEntry(table.get(), "qyz"), nullptr);
}

TEST(Hash, EmptyNameIsAKey) {
  Table table(8000);
  Hash_Item* item = Hash_CreateEntry(table.get(), "", nullptr);
  EXPECT_EQ(item->hashCode, Hash_Code(table.get(), ""));
  EXPECT_EQ(table->buckets[item->hashCode & table->mask], item);
  EXPECT_EQ(Hash_FindEntry(table.get(), ""), item);
}

TEST(Hash, DeleteThenFind) {
  const auto [first, second] = TwoNamesInOneChain(kTestKey, 15u);
  for (const bool deleteOlder : {true, false}) {
    SCOPED_TRACE(deleteOlder ? "delete the older" : "delete the newer");
    Table table(16, kTestKey);
    Hash_Item* a = Hash_CreateEntry(table.get(), first.c_str(), nullptr);
    Hash_Item* b = Hash_CreateEntry(table.get(), second.c_str(), nullptr);
    ASSERT_EQ(b->next, a);
    Hash_DeleteEntry(table.get(), deleteOlder ? a : b);
    EXPECT_EQ(table->itemCount, 1);
    const std::string& gone = deleteOlder ? first : second;
    const std::string& kept = deleteOlder ? second : first;
    EXPECT_EQ(Hash_FindEntry(table.get(), gone.c_str()), nullptr);
    EXPECT_EQ(Hash_FindEntry(table.get(), kept.c_str()), deleteOlder ? b : a);
    EXPECT_EQ(Enumerate(table.get()), (std::vector<std::string>{kept}));
  }
}

TEST(Hash, DeletingTheOnlyItemEmptiesTheTable) {
  Table table(8000);
  Hash_Item* item = Hash_CreateEntry(table.get(), "abc", nullptr);
  Hash_DeleteEntry(table.get(), item);
  EXPECT_EQ(table->itemCount, 0);
  Hash_Cursor cursor;
  EXPECT_EQ(Hash_EnumFirst(table.get(), &cursor), nullptr);
  EXPECT_EQ(Hash_FindEntry(table.get(), "abc"), nullptr);
}

TEST(Hash, DeleteOfNoItemIsIgnored) {
  Table table(16);
  Hash_Item* item = Hash_CreateEntry(table.get(), "abc", nullptr);
  Hash_DeleteEntry(table.get(), nullptr);
  EXPECT_EQ(table->itemCount, 1);
  EXPECT_EQ(Hash_FindEntry(table.get(), "abc"), item);
}

TEST(Hash, EnumerationStaysAtItsEnd) {
  Table table(4);
  Hash_CreateEntry(table.get(), "a", nullptr);
  Hash_CreateEntry(table.get(), "b", nullptr);
  Hash_Cursor cursor;
  int seen = 0;
  for (Hash_Item* item = Hash_EnumFirst(table.get(), &cursor); item != nullptr;
       item = Hash_EnumNext(&cursor)) {
    ++seen;
  }
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(Hash_EnumNext(&cursor), nullptr);
  EXPECT_EQ(Hash_EnumNext(&cursor), nullptr);
}

// Chain items compared to find every item of the table once: the k-th item
// of a chain costs k. Inserting the same names costs about as much again.
struct ChainCost {
  long long probes;
  int32_t longest;
};

ChainCost Cost(Hash_Store* table) {
  ChainCost cost{0, 0};
  for (int32_t b = 0; b < table->bucketCount; ++b) {
    int32_t length = 0;
    for (const Hash_Item* item = table->buckets[b]; item != nullptr; item = item->next) {
      ++length;
      cost.probes += length;
    }
    cost.longest = std::max(cost.longest, length);
  }
  return cost;
}

// Names built to share one code under the plain polynomial (all 80000 in one
// chain: some 3.2e9 probes) cost, under the keyed hash, what as many random
// names of the same length cost: about 3.4 probes a name at the load the
// programs' tables reach (hint 8000, grown once to 16384 buckets).
TEST(Hash, CraftedNamesCostNoMoreProbesThanRandomOnes) {
  constexpr uint32_t kNames = 80000;
  const struct {
    const char* label;
    bool processKey;
  } keys[] = {{"process key", true}, {"test key", false}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.label);
    Table crafted = k.processKey ? Table(8000) : Table(8000, kTestKey);
    Table random = k.processKey ? Table(8000) : Table(8000, kTestKey);
    for (uint32_t i = 0; i < kNames; ++i) {
      Hash_CreateEntry(crafted.get(), CraftedName(i).c_str(), nullptr);
      Hash_CreateEntry(random.get(), RandomName(i).c_str(), nullptr);
    }
    ASSERT_EQ(crafted->itemCount, static_cast<int32_t>(kNames));
    ASSERT_EQ(random->itemCount, static_cast<int32_t>(kNames));
    ASSERT_EQ(crafted->bucketCount, 16384);
    const ChainCost c = Cost(crafted.get());
    const ChainCost r = Cost(random.get());
    EXPECT_LT(c.probes, 2 * r.probes) << c.probes << " probes against " << r.probes;
    EXPECT_LT(r.probes, 5 * static_cast<long long>(kNames)) << r.probes;
    EXPECT_LE(c.longest, 40);
  }
}

TEST(HashDeathTest, DeletingAnItemOfAnotherTableAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The other table under the same key (same chain, another item) and under
  // another key (its code may select any chain).
  for (const bool sameKey : {true, false}) {
    Table mine(16);
    Table other = sameKey ? Table(16) : Table(16, kTestKey);
    Hash_CreateEntry(mine.get(), "x", nullptr);
    Hash_Item* foreign = Hash_CreateEntry(other.get(), "x", nullptr);
    // Exactly these bytes and nothing else on standard error, then SIGABRT.
    EXPECT_EXIT(Hash_DeleteEntry(mine.get(), foreign), testing::KilledBySignal(SIGABRT),
                "^bad call to Hash_DeleteEntry\n$");
  }
}

}  // namespace
