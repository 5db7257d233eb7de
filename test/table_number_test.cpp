// The table number format in-process, by property and against a slow printf reference over
// seeded random doubles. What only this level shows: every digit of every kind of value.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "number_reference.h"
#include "tables/response_table.h"

namespace quodrel {
namespace {

std::string formatted(double x) {
  const TableNumber text = format_table_number(x);
  return std::string(text.data(), text.size());
}

struct Case {
  double value;
  const char* text;
};

void expect_all(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(formatted(c->value), c->text) << "value " << c->value;
  }
}

#define EXPECT_CASES(cases) expect_all(std::begin(cases), std::end(cases))

TEST(TableNumber, DocumentedExamples) {
  const Case cases[] = {
      {10, "   1.0000e+001"},      {0.00001, "   1.0000e-005"}, {123456, "   1.2346e+005"},
      {-12.345, "  -1.2345e+001"}, {1e100, "   1.0000e+100"},  {1.03125, "   1.0313e+000"},
  };
  EXPECT_CASES(cases);
}

TEST(TableNumber, TiesRoundHalfUpAwayFromZero) {
  const Case cases[] = {
      {1.03125, "   1.0313e+000"},   // exact tie; printf's "%.4e" gives 1.0312
      {1.40625, "   1.4063e+000"},   // exact tie, odd kept digit
      {-1.03125, "  -1.0313e+000"},  // a negative tie moves away from zero too
      {0.999995, "   9.9999e-001"},  // its 17 digits are 9.9999499999999997: below the tie
  };
  EXPECT_CASES(cases);
}

// The digits are those of the 17-digit form, not of the exact binary value: 100.005 is stored as
// 100.00499999999999545..., whose 17 digits 1.0000500000000000e2 make a tie that rounds up.
TEST(TableNumber, SeventeenDigitsDecideTheSixth) {
  const Case cases[] = {
      {100.005, "   1.0001e+002"},
      {1000.05, "   1.0001e+003"},
      {0.100005, "   1.0001e-001"},
      {1000.15, "   1.0002e+003"},
  };
  EXPECT_CASES(cases);
}

TEST(TableNumber, CarriesThroughNinesIntoTheExponent) {
  const Case cases[] = {
      {99999.5, "   1.0000e+005"},   // exact tie carried into a new leading digit
      {9.99995, "   1.0000e+001"},   // stored a hair above the tie
      {-99999.5, "  -1.0000e+005"},
      {1.99995, "   1.9999e+000"},   // stored below the tie: no carry
      {9.99996e-100, "   1.0000e-099"},  // the carry crosses from e-100 to e-099
      {1.299996, "   1.3000e+000"},  // carry stops at the first digit that is not 9
  };
  EXPECT_CASES(cases);
}

TEST(TableNumber, ExponentAlwaysHasThreeDigits) {
  const Case cases[] = {
      {1.0, "   1.0000e+000"},     {0.1, "   1.0000e-001"},
      {1e-5, "   1.0000e-005"},    {1e100, "   1.0000e+100"},
      {1e-300, "   1.0000e-300"},  {DBL_MAX, "   1.7977e+308"},
      {DBL_MIN, "   2.2251e-308"},
  };
  EXPECT_CASES(cases);
}

TEST(TableNumber, Subnormals) {
  const Case cases[] = {
      {std::numeric_limits<double>::denorm_min(), "   4.9407e-324"},
      {1e-320, "   9.9999e-321"},  // stored as 9.99988867182683e-321
      {-std::numeric_limits<double>::denorm_min(), "  -4.9407e-324"},
  };
  EXPECT_CASES(cases);
}

TEST(TableNumber, ZeroHasNoSignAndNegativesTakeOneBlank) {
  const Case cases[] = {
      {0.0, "   0.0000e+000"},      {-0.0, "   0.0000e+000"},
      {-1e-300, "  -1.0000e-300"},  {-DBL_MAX, "  -1.7977e+308"},
  };
  EXPECT_CASES(cases);
}

TEST(TableNumber, ValuesThatAreNotFinite) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {nan, "           NaN"},
      {-nan, "           NaN"},
      {inf, "           Inf"},
      {-inf, "          -Inf"},
  };
  EXPECT_CASES(cases);
}

using test::reference_format;

TEST(TableNumber, MatchesReferenceOnRandomBitPatterns) {
  std::mt19937_64 random(20261211);
  for (int i = 0; i < 200000; ++i) {
    double x;
    const std::uint64_t bits = random();
    std::memcpy(&x, &bits, sizeof x);
    ASSERT_EQ(formatted(x), reference_format(x)) << "bits " << std::hex << bits;
  }
}

// Doubles next to five-digit ties "d.dddd5eE", where a wrong rounding step would show.
TEST(TableNumber, MatchesReferenceNearTies) {
  std::mt19937_64 random(8675309);
  std::uniform_int_distribution<int> mantissa(10000, 99999);
  std::uniform_int_distribution<int> exponent(-320, 305);
  for (int i = 0; i < 50000; ++i) {
    const int m = mantissa(random);
    char tie[40];
    std::snprintf(tie, sizeof tie, "%d.%04d5e%d", m / 10000, m % 10000, exponent(random));
    const double nearest = std::strtod(tie, nullptr);
    for (double x : {nearest, std::nextafter(nearest, 0.0), std::nextafter(nearest, DBL_MAX),
                     -nearest}) {
      ASSERT_EQ(formatted(x), reference_format(x)) << tie;
    }
  }
}

}  // namespace
}  // namespace quodrel
