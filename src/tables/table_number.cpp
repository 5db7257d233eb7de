#include <charconv>
#include <cmath>
#include <cstring>

#include "tables/response_table.h"

namespace quodrel {

namespace {

// Right-aligns text in a field of TABLE_NUMBER_WIDTH blanks.
TableNumber right_aligned(const char* text) {
  TableNumber field;
  field.fill(' ');
  const std::size_t length = std::strlen(text);
  std::memcpy(field.data() + TABLE_NUMBER_WIDTH - length, text, length);
  return field;
}

}  // namespace

TableNumber format_table_number(double x) {
  if (std::isnan(x)) return right_aligned("NaN");
  if (std::isinf(x)) return right_aligned(x > 0 ? "Inf" : "-Inf");

  // Step 1: |x| to 17 significant digits, "d.dddddddddddddddde[+-]dd[d]". to_chars rounds
  // correctly and ignores the locale, unlike printf.
  char scientific[32];
  const std::to_chars_result converted = std::to_chars(
      scientific, scientific + sizeof scientific, std::fabs(x), std::chars_format::scientific, 16);
  const char* exponent_text = scientific + 19;  // after "d.dddddddddddddddde" and the sign
  int exponent = 0;
  std::from_chars(exponent_text + 1, converted.ptr, exponent);
  if (*exponent_text == '-') exponent = -exponent;

  // Step 2: keep five digits and round half-up on the sixth; only the sixth digit decides.
  char digits[5] = {scientific[0], scientific[2], scientific[3], scientific[4], scientific[5]};
  if (scientific[6] >= '5') {
    int i = 4;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {  // 9.99995 -> 1.0000 and one more in the exponent
      digits[0] = '1';
      ++exponent;
    }
  }

  // Step 3: "[-]d.dddde[+-]ddd", padded on the left to the field width.
  TableNumber field;
  field.fill(' ');
  char* out = field.data() + 3;
  if (x < 0) out[-1] = '-';  // -0.0 is not below zero and keeps its blank
  *out++ = digits[0];
  *out++ = '.';
  std::memcpy(out, digits + 1, 4);
  out += 4;
  *out++ = 'e';
  *out++ = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  *out++ = static_cast<char>('0' + magnitude / 100);
  *out++ = static_cast<char>('0' + magnitude / 10 % 10);
  *out = static_cast<char>('0' + magnitude % 10);
  return field;
}

}  // namespace quodrel
