#include <charconv>
#include <cmath>
#include <cstring>

#include "tables/response_table.h"

namespace quodrel {

namespace {

// Blanks the field and returns where a text of `length` characters starts when it is
// right-aligned in it: the one way every value is padded ("NaN" -> "           NaN").
char* right_aligned(TableNumber& field, std::size_t length) {
  field.fill(' ');
  return field.data() + TABLE_NUMBER_WIDTH - length;
}

TableNumber word(const char* text, std::size_t length) {
  TableNumber field;
  std::memcpy(right_aligned(field, length), text, length);
  return field;
}

}  // namespace

TableNumber format_table_number(double x) {
  if (std::isnan(x)) return word("NaN", 3);
  if (std::isinf(x)) return x > 0 ? word("Inf", 3) : word("-Inf", 4);

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

  // Step 3: "[-]d.dddde[+-]ddd", right-aligned in the field: 11 characters, and the sign.
  const bool negative = x < 0;  // -0.0 is not below zero and has no sign
  TableNumber field;
  char* out = right_aligned(field, negative ? 12 : 11);
  if (negative) *out++ = '-';
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
