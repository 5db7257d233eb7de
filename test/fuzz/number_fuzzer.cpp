// Fuzzes the table number format: any 8 bytes as a double.
// Properties: 14 characters of the form " ... [-]d.dddde[+-]ddd" for every finite value, the
// agreed spellings for the others, the slow reference's text, and a value that reads back within
// half a unit of the fifth significant digit (plus what the 17-digit step may add).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "number_reference.h"
#include "tables/response_table.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Whether text is blanks, then "[-]d.dddde[+-]ddd" ending at the last character.
bool has_table_form(const std::string& text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string::npos) return false;
  if (text[at] == '-') ++at;
  const std::string number = text.substr(at);
  if (number.size() != 11) return false;
  for (const std::size_t digit : {0, 2, 3, 4, 5, 8, 9, 10}) {
    if (!is_digit(number[digit])) return false;
  }
  return number[1] == '.' && number[6] == 'e' && (number[7] == '+' || number[7] == '-');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size != sizeof(double)) return -1;  // not an input of this target: keep it out of the corpus
  double x;
  std::memcpy(&x, data, sizeof x);

  const quodrel::TableNumber field = quodrel::format_table_number(x);
  const std::string text(field.data(), field.size());
  FUZZ_CHECK(text == quodrel::test::reference_format(x));
  if (std::isnan(x)) {
    FUZZ_CHECK(text == "           NaN");
    return 0;
  }
  if (std::isinf(x)) {
    FUZZ_CHECK(text == (x > 0 ? "           Inf" : "          -Inf"));
    return 0;
  }
  FUZZ_CHECK(text.size() == 14 && has_table_form(text));
  FUZZ_CHECK((text.find('-') < text.find('e')) == (x < 0));

  // The five digits come from the 17-digit decimal form of x, so the error is at most half a
  // unit in the fifth digit of that form plus half a unit in its seventeenth. Long double holds
  // the difference exactly and reads "1.7977e+308" back without overflow.
  char seventeen[32];
  std::snprintf(seventeen, sizeof seventeen, "%.16e", x);
  const int exponent = std::atoi(std::strchr(seventeen, 'e') + 1);
  const long double unit = std::pow(10.0L, exponent - 4);
  const long double allowed = 0.5L * unit * (1 + 1e-12L) + 1e-15L * unit;
  const long double read_back = std::strtold(text.c_str(), nullptr);
  FUZZ_CHECK(std::fabs(read_back - static_cast<long double>(x)) <= allowed);
  return 0;
}
