#include "graph/formats/Number.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// [+-]digits[.digits][(e|E)[+-]digits] with at most 19 digits in all, an
// integer mantissa of at most 2^53 and a power of ten within 10^+-22: then
// mantissa and power are both exact doubles, and one multiplication or
// division rounds once, to the correctly rounded value strtod returns.
// False when text is not of that form; the caller then asks strtod.
bool ReadPlainDecimal(std::string_view text, double& value) {
  const char* p = text.data();
  const char* const end = p + text.size();
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  uint64_t mantissa = 0;
  int digits = 0;
  int exponent = 0;
  for (; p != end && *p >= '0' && *p <= '9'; ++p, ++digits) {
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
  }
  if (p != end && *p == '.') {
    for (++p; p != end && *p >= '0' && *p <= '9'; ++p, ++digits, --exponent) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
  }
  if (digits == 0 || digits > 19) return false;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool down = false;
    if (p != end && (*p == '+' || *p == '-')) down = *p++ == '-';
    int written = 0;
    int power = 0;
    for (; p != end && *p >= '0' && *p <= '9' && written < 4; ++p, ++written) {
      power = power * 10 + (*p - '0');
    }
    if (written == 0) return false;
    exponent += down ? -power : power;
  }
  if (p != end) return false;
  if (mantissa == 0) {  // zero, whatever the exponent
    value = negative ? -0.0 : 0.0;
    return true;
  }
  if (mantissa > (uint64_t{1} << 53) || exponent < -22 || exponent > 22) return false;
  double v = static_cast<double>(mantissa);
  v = exponent >= 0 ? v * kPowersOfTen[exponent] : v / kPowersOfTen[-exponent];
  value = negative ? -v : v;
  return true;
}

bool ReadWithStrtod(std::string_view text, double& value) {
  // strtod needs a terminated string; a NUL inside text stops it short, so
  // such text is rightly not a number.
  char small[64];
  std::string large;
  const char* start = small;
  if (text.size() < sizeof small) {
    text.copy(small, text.size());
    small[text.size()] = '\0';
  } else {
    large.assign(text);
    start = large.c_str();
  }
  char* stop = nullptr;
  const double v = std::strtod(start, &stop);
  if (static_cast<size_t>(stop - start) != text.size()) return false;
  value = v;
  return true;
}

}  // namespace

bool Number_Read(std::string_view text, double& value) {
  if (text.empty()) return false;
  return ReadPlainDecimal(text, value) || ReadWithStrtod(text, value);
}
