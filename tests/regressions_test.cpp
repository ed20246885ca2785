// Faults that the sanitizer build and the fuzzer found, kept from coming back.
// Several of these fail only in the sanitizer build, where the undefined
// behaviour they guard against is reported and ends the test.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "library/Output.h"

namespace {

// An empty name's view has no data pointer, nor has a buffer that has not
// grown yet; copying zero bytes from or to a null pointer is undefined.
TEST(Regressions, TextBufferTakesEmptyPiecesAnywhere) {
  struct Case {
    std::vector<std::string_view> pieces;
    std::string expected;
  };
  const Case cases[] = {
      {{std::string_view{}}, ""},
      {{std::string_view{}, "a", std::string_view{}}, "a"},
      {{"ab", std::string_view{}, "", "c"}, "abc"},
  };
  for (const Case& c : cases) {
    TextBuffer text;
    for (const std::string_view piece : c.pieces) text.Append(piece);
    EXPECT_EQ(c.expected, text.View());
  }
}

}  // namespace
