// A slow reference for the table number format, by another route than the program's: the 17
// digits from printf's "%.16e", rounded half-up at the sixth in integer arithmetic. Used by the
// unit tests and the number fuzzer.
#ifndef QUODREL_TEST_NUMBER_REFERENCE_H
#define QUODREL_TEST_NUMBER_REFERENCE_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quodrel::test {

inline std::string reference_format(double x) {
  if (std::isnan(x)) return "           NaN";
  if (std::isinf(x)) return x > 0 ? "           Inf" : "          -Inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.16e", std::fabs(x));
  long first_six = (text[0] - '0') * 100000L + std::atol(std::string(text + 2, 5).c_str());
  int exponent = std::atoi(std::strchr(text, 'e') + 1);
  long kept = first_six / 10 + (first_six % 10 >= 5 ? 1 : 0);
  if (kept == 100000) {
    kept = 10000;
    ++exponent;
  }
  char result[64];
  std::snprintf(result, sizeof result, "%s%ld.%04lde%c%03d", x < 0 ? "-" : "", kept / 10000,
                kept % 10000, exponent < 0 ? '-' : '+', std::abs(exponent));
  std::string padded(result);
  return std::string(14 - padded.size(), ' ') + padded;
}

}  // namespace quodrel::test

#endif
