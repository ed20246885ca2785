#include "library/Fixed6.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace {

using u128 = unsigned __int128;

// Digits of n, most significant first, at out; returns the end.
char* WriteUnsigned(char* out, uint64_t n) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

}  // namespace

char* Fixed6_Write(char* out, double value) {
  const auto bits = std::bit_cast<uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  // The value is mantissa * 2^exponent exactly.
  const uint64_t mantissa = biased == 0 ? fraction : fraction | (uint64_t{1} << 52);
  const int exponent = (biased == 0 ? 1 : biased) - 1075;

  // Whole millionths fit in 64 bits below 2^44 or so; larger values and the
  // special ones take the general conversion.
  if (biased == 0x7FF || exponent > -10) {
    return std::to_chars(out, out + kFixed6Widest, value, std::chars_format::fixed, 6).ptr;
  }
  // millionths = round(mantissa * 10^6 / 2^-exponent), ties to even.
  const u128 scaled = u128{mantissa} * 1000000u;
  const int shift = -exponent;  // 10 .. 1074
  uint64_t millionths = 0;
  if (shift < 128) {
    const auto whole = static_cast<uint64_t>(scaled >> shift);
    const u128 rest = scaled & ((u128{1} << shift) - 1);
    const u128 half = u128{1} << (shift - 1);
    millionths = whole + ((rest > half || (rest == half && (whole & 1) != 0)) ? 1 : 0);
  }  // else the value is below 2^-74 and rounds to zero

  if (negative) *out++ = '-';
  out = WriteUnsigned(out, millionths / 1000000);
  *out++ = '.';
  uint64_t decimals = millionths % 1000000;
  for (int i = 5; i >= 0; --i) {
    out[i] = static_cast<char>('0' + decimals % 10);
    decimals /= 10;
  }
  return out + 6;
}
