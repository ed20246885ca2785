// The name table: hash codes over signed bytes, bucket counts, growth,
// chain and enumeration order, deletion and the misuse guard.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "containers/hash.h"

namespace {

// A table set up for one test and torn down after it.
class Table {
 public:
  explicit Table(int32_t hint) { Hash_InitTable(&store_, hint); }
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

struct CodeCase {
  const char* label;
  std::string name;
  uint32_t code;     // h = h * 31 + signed byte, mod 2^32, worked out by hand
  uint32_t bucket;   // in a table of 8192 buckets
};

// abc: 97*961 + 98*31 + 99. Aa and BB: 65*31+97 = 66*31+66. The four-byte
// names are two such halves: 2112*961 + 2112 = 248*8192 + 128. 0xE9 is -23
// as a signed byte, so its code is 2^32 - 23 (bucket 8192 - 23), not 233;
// a followed by 0xE9 is 97*31 - 23.
const CodeCase kCodes[] = {
    {"empty", "", 0u, 0u},
    {"abc", "abc", 96354u, 6242u},
    {"Aa", "Aa", 2112u, 2112u},
    {"BB", "BB", 2112u, 2112u},
    {"AaAa", "AaAa", 2031744u, 128u},
    {"BBBB", "BBBB", 2031744u, 128u},
    {"AaBB", "AaBB", 2031744u, 128u},
    {"BBAa", "BBAa", 2031744u, 128u},
    {"E9", "\xE9", 4294967273u, 8169u},
    {"aE9", "a\xE9", 2984u, 2984u},
};

TEST(Hash, CodesAndBucketsOfKnownNames) {
  Table table(8000);
  ASSERT_EQ(table->bucketCount, 8192);
  std::vector<Hash_Item*> items;
  for (const auto& c : kCodes) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Hash_Code(c.name.c_str()), c.code);
    Hash_Item* item = Hash_CreateEntry(table.get(), c.name.c_str(), nullptr);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->hashCode, c.code);
    EXPECT_TRUE(InChain(table.get(), c.bucket, item));
    items.push_back(item);
  }
  // Names that share a code are still distinct items, each found by its own name.
  EXPECT_EQ(table->itemCount, static_cast<int32_t>(std::size(kCodes)));
  for (size_t k = 0; k < std::size(kCodes); ++k) {
    SCOPED_TRACE(kCodes[k].label);
    EXPECT_EQ(Hash_FindEntry(table.get(), kCodes[k].name.c_str()), items[k]);
    EXPECT_STREQ(items[k]->name, kCodes[k].name.c_str());
  }
  EXPECT_EQ(Hash_FindEntry(table.get(), "Ab"), nullptr);
  // The byte 0xE9 must not be read as unsigned (bucket 233).
  EXPECT_FALSE(InChain(table.get(), 233u, items[8]));
}

TEST(Hash, SignedByteInSixteenBuckets) {
  Table table(0);
  Hash_Item* item = Hash_CreateEntry(table.get(), "\xE9", nullptr);
  EXPECT_TRUE(InChain(table.get(), 9u, item));
}

TEST(Hash, BucketCountFromHint) {
  const struct {
    int32_t hint;
    int32_t buckets;
  } cases[] = {{-5, 16}, {0, 16}, {1, 2}, {2, 2}, {3, 4}, {8000, 8192}, {8192, 8192}, {8193, 16384}};
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
    ASSERT_TRUE(InChain(table.get(), items[i]->hashCode & table->mask, items[i])) << names[i];
  }
  EXPECT_EQ(Enumerate(table.get()).size(), static_cast<size_t>(kNames));
}

// Within a chain new items go first, so before any growth a bucket lists its
// items newest first. Growth walks each old chain from its head and pushes
// every item onto its new chain, which turns that order around: oldest first,
// with any item inserted after the growth in front.
TEST(Hash, EnumerationOrderBeforeAndAfterGrowth) {
  Table table(0);
  constexpr int kBefore = 128;  // 8 per bucket in 16 buckets: the next name grows the table
  std::vector<std::string> names;
  std::vector<uint32_t> codes;
  for (int i = 0; i <= kBefore; ++i) {
    names.push_back("n" + std::to_string(i));
    codes.push_back(Hash_Code(names.back().c_str()));
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
  Table table(0);
  Hash_CreateEntry(table.get(), "Aa", nullptr);
  Hash_CreateEntry(table.get(), "BB", nullptr);
  // 2112 is 0 modulo 16 and modulo 32: one chain before and after.
  EXPECT_EQ(Enumerate(table.get()), (std::vector<std::string>{"BB", "Aa"}));
  for (int i = 0; table->bucketCount == 16; ++i) {
    Hash_CreateEntry(table.get(), ("fill" + std::to_string(i)).c_str(), nullptr);
  }
  std::vector<std::string> pair;
  for (const auto& name : Enumerate(table.get())) {
    if (name == "Aa" || name == "BB") pair.push_back(name);
  }
  EXPECT_EQ(pair, (std::vector<std::string>{"Aa", "BB"}));
}

TEST(Hash, CreateExistingNameChangesNothing) {
  Table table(16);
  int32_t flag = -7;
  Hash_Item* aa = Hash_CreateEntry(table.get(), "Aa", &flag);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(aa->value, -1);
  EXPECT_EQ(table->buckets[0], aa);
  aa->value = 42;

  Hash_Item* bb = Hash_CreateEntry(table.get(), "BB", &flag);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(bb->value, -1);
  EXPECT_EQ(table->buckets[0], bb);  // the new item heads its chain
  EXPECT_EQ(bb->next, aa);

  flag = -7;
  EXPECT_EQ(Hash_CreateEntry(table.get(), "Aa", &flag), aa);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(aa->value, 42);
  EXPECT_EQ(table->itemCount, 2);
  EXPECT_EQ(table->buckets[0], bb);  // no reordering on a hit

  // No flag reference, for a hit and for a creation.
  EXPECT_EQ(Hash_CreateEntry(table.get(), "BB", nullptr), bb);
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
  EXPECT_EQ(item->hashCode, 0u);
  EXPECT_EQ(table->buckets[0], item);
  EXPECT_EQ(Hash_FindEntry(table.get(), ""), item);
}

TEST(Hash, DeleteThenFind) {
  for (const bool deleteOlder : {true, false}) {
    SCOPED_TRACE(deleteOlder ? "delete Aa" : "delete BB");
    Table table(16);
    Hash_Item* aa = Hash_CreateEntry(table.get(), "Aa", nullptr);
    Hash_Item* bb = Hash_CreateEntry(table.get(), "BB", nullptr);
    Hash_DeleteEntry(table.get(), deleteOlder ? aa : bb);
    EXPECT_EQ(table->itemCount, 1);
    EXPECT_EQ(Hash_FindEntry(table.get(), deleteOlder ? "Aa" : "BB"), nullptr);
    EXPECT_EQ(Hash_FindEntry(table.get(), deleteOlder ? "BB" : "Aa"), deleteOlder ? bb : aa);
    EXPECT_EQ(Enumerate(table.get()), (std::vector<std::string>{deleteOlder ? "BB" : "Aa"}));
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

TEST(HashDeathTest, DeletingAnItemOfAnotherTableAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Table mine(16);
  Table other(16);
  Hash_CreateEntry(mine.get(), "x", nullptr);
  Hash_Item* foreign = Hash_CreateEntry(other.get(), "x", nullptr);
  // Exactly these bytes and nothing else on standard error, then SIGABRT.
  EXPECT_EXIT(Hash_DeleteEntry(mine.get(), foreign), testing::KilledBySignal(SIGABRT),
              "^bad call to Hash_DeleteEntry\n$");
}

}  // namespace
