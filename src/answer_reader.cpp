#include "answer_reader.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

namespace quodrel {

namespace {

bool is_white_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Whether a number text that from_chars found out of range is too large for a double rather
// than too small: whether the decimal exponent of its first significant digit is at least zero.
// That exponent is the digits' own (bounded by the text's length) plus the written one, which
// saturates: "1e-9223372036854775808" and longer exponents must not overflow the sum.
bool overflows(const std::string& text) {
  constexpr long long SATURATED = 1LL << 59;  // beyond any double and any text, either way
  const std::size_t exponent_at = std::min(text.find_first_of("eE"), text.size());
  const std::size_t point = std::min(text.find('.'), exponent_at);
  const std::size_t first = text.find_first_of("123456789");  // zero is never out of range
  long long exponent = first < point ? static_cast<long long>(point - first) - 1
                                     : -static_cast<long long>(first - point);
  if (exponent_at < text.size()) {
    std::size_t at = exponent_at + 1;
    const bool negative = text[at] == '-';
    if (text[at] == '+' || text[at] == '-') ++at;
    long long written = 0;
    for (; at < text.size(); ++at) written = std::min(SATURATED, written * 10 + (text[at] - '0'));
    exponent += negative ? -written : written;
  }
  return exponent >= 0;
}

}  // namespace

int AnswerReader::peek(std::size_t ahead) {
  while (pending_.size() - next_ <= ahead) {
    // The end of input is final: a terminal after Ctrl-D, or a console after Ctrl+Z, would
    // deliver more to a later read, which must not happen in the middle of the dialogue.
    if (ended_) return std::char_traits<char>::eof();
    const int c = in_.rdbuf()->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      ended_ = true;
      return c;
    }
    pending_.push_back(static_cast<char>(c));
  }
  return static_cast<unsigned char>(pending_[next_ + ahead]);
}

bool AnswerReader::skip_white_space() {
  while (is_white_space(peek())) ++next_;
  if (next_ == pending_.size()) {  // nothing left to look at: start the buffer afresh
    pending_.clear();
    next_ = 0;
  }
  return peek() != std::char_traits<char>::eof();
}

std::size_t AnswerReader::count_digits(std::size_t ahead) {
  std::size_t count = 0;
  while (is_digit(peek(ahead + count))) ++count;
  return count;
}

bool AnswerReader::read_real(double& target) {
  if (!skip_white_space()) return false;
  // Step 1: find the longest prefix that is a whole number of the grammar.
  std::size_t length = (peek() == '+' || peek() == '-') ? 1 : 0;
  const std::size_t integer_digits = count_digits(length);
  length += integer_digits;
  std::size_t fraction_digits = 0;
  if (peek(length) == '.') {
    fraction_digits = count_digits(length + 1);
    if (integer_digits > 0 || fraction_digits > 0) length += 1 + fraction_digits;
  }
  if (integer_digits == 0 && fraction_digits == 0) return false;
  if (peek(length) == 'e' || peek(length) == 'E') {
    const std::size_t sign = (peek(length + 1) == '+' || peek(length + 1) == '-') ? 1 : 0;
    const std::size_t exponent_digits = count_digits(length + 1 + sign);
    if (exponent_digits > 0) length += 1 + sign + exponent_digits;
  }

  // Step 2: convert it; from_chars takes no '+' and leaves the value alone when out of range.
  const std::string text = pending_.substr(next_, length);
  next_ += length;
  const bool negative = text[0] == '-';
  const std::size_t unsigned_start = (text[0] == '+' || text[0] == '-') ? 1 : 0;
  double magnitude = 0.0;
  const std::from_chars_result converted =
      std::from_chars(text.data() + unsigned_start, text.data() + text.size(), magnitude);
  if (converted.ec == std::errc::result_out_of_range) {
    magnitude = overflows(text) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  target = negative ? -magnitude : magnitude;
  return true;
}

bool AnswerReader::read_integer(std::int32_t& target) {
  if (!skip_white_space()) return false;
  const std::size_t sign = (peek() == '+' || peek() == '-') ? 1 : 0;
  const std::size_t digits = count_digits(sign);
  if (digits == 0) return false;
  const bool negative = peek() == '-';
  constexpr long long LIMIT = 1LL << 31;  // saturate here; the clamp below picks the bound
  long long magnitude = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    magnitude = std::min(LIMIT, magnitude * 10 + (peek(sign + i) - '0'));
  }
  next_ += sign + digits;
  const long long value = negative ? -magnitude : magnitude;
  target = static_cast<std::int32_t>(
      std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                            std::numeric_limits<std::int32_t>::max()));
  return true;
}

bool AnswerReader::read_word(std::string& target) {
  if (!skip_white_space()) return false;
  std::size_t length = 0;
  while (peek(length) != std::char_traits<char>::eof() && !is_white_space(peek(length))) ++length;
  target.assign(pending_, next_, length);
  next_ += length;
  return true;
}

}  // namespace quodrel
