// The fast loader's own shortcuts against the plain way: the name table,
// which holds short names whole in its slots, against a map of names; and
// the conversion of plain decimal weights against strtod, bit for bit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "graph/EdgeList.h"
#include "tests/TestSupport.h"

namespace {

// Names of 0 to 20 bytes, with shared first bytes, lengths either side of
// what a slot holds whole, and NUL and high bytes inside.
TEST(EdgeListRead, NameTableFindsEveryNameItWasGiven) {
  std::mt19937_64 rng(31);
  const std::string alphabet("ab\0\xff", 4);
  std::vector<std::string> names;
  for (int i = 0; i < 60000; ++i) {
    std::string name;
    const size_t length = rng() % 21;
    for (size_t k = 0; k < length; ++k) name += alphabet[rng() % (k < 5 ? 1 : alphabet.size())];
    names.push_back(name);
  }
  for (const std::string& fixed : {std::string("abcdefg"), std::string("abcdefgh"),
                                  std::string("abcdefgi"), std::string("abcdefg\0", 8),
                                  std::string("abcdef")}) {
    names.push_back(fixed);
  }
  EdgeListBuilder builder;
  std::map<std::string, int32_t> want;
  for (int round = 0; round < 2; ++round) {
    for (const std::string& name : names) {
      const auto it = want.emplace(name, static_cast<int32_t>(want.size())).first;
      ASSERT_EQ(it->second, builder.Intern(name)) << "round " << round << ", name of "
                                                   << name.size() << " bytes";
    }
  }
  const EdgeList list = builder.Finish();
  ASSERT_EQ(static_cast<int32_t>(want.size()), list.NodeCount());
  for (const auto& [name, id] : want) ASSERT_EQ(name, list.names.Name(id));
}

// Weights written as plain decimals of every length, and the forms that
// leave the shortcut, each read as strtod reads it.
TEST(EdgeListRead, WeightsAreReadAsStrtodReadsThem) {
  std::mt19937_64 rng(53);
  std::vector<std::string> weights = {
      "0", "-0", "+0", "5", "5.", ".5", "+.5", "-.25", "007", "0.1", "0.2", "0.3",
      "9007199254740992", "9007199254740993", "9007199254740993.0", "1234567890123456789",
      "12345678901234567890", "0.0000000000000000000001", "0.00000000000000000000001",
      "1e3", "1E-3", "0x1p-4", "inf", "-Infinity", "nan", "1.5abc", "2,5", "1_000",
      "4.9406564584124654e-324", "1.7976931348623157e308", "123456789012345678901234567890"};
  for (int i = 0; i < 3000; ++i) {
    std::string w = rng() % 4 == 0 ? "-" : "";
    const int whole = static_cast<int>(rng() % 12), part = static_cast<int>(rng() % 25);
    for (int k = 0; k < whole; ++k) w += static_cast<char>('0' + rng() % 10);
    if (part > 0 || rng() % 2 == 0) w += '.';
    for (int k = 0; k < part; ++k) w += static_cast<char>('0' + rng() % 10);
    if (w.find_first_of("0123456789") == std::string::npos) w += "1";
    weights.push_back(w);
  }
  std::string text;
  for (size_t i = 0; i < weights.size(); ++i) {
    text += "a b " + weights[i] + (i % 3 == 0 ? "\n" : i % 3 == 1 ? " tail\n" : "\t\r\n");
  }
  TempFile file(text);
  RunSettings settings = SettingsWithPath(Deliverable::Anypairs, file.path());
  settings.nodeCapacity = 10;
  const EdgeList list = EdgeList_Read(settings);
  ASSERT_EQ(weights.size(), list.EdgeCount());
  for (size_t i = 0; i < weights.size(); ++i) {
    const double want = std::strtod(weights[i].c_str(), nullptr);
    const double got = list.weights[i];
    ASSERT_EQ(0, std::memcmp(&want, &got, sizeof want)) << weights[i];
  }
}

}  // namespace
