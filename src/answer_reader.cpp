#include "answer_reader.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

namespace quodrel {

namespace {

constexpr int END_OF_INPUT = std::char_traits<char>::eof();

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
    const int c = next_byte();
    if (c == END_OF_INPUT) return c;
    pending_.push_back(static_cast<char>(c));
  }
  return static_cast<unsigned char>(pending_[next_ + ahead]);
}

int AnswerReader::next_stream_byte() {
  // The end of input is final: a terminal after Ctrl-D, or a console after Ctrl+Z, would
  // deliver more to a later read, which must not happen in the middle of the dialogue.
  if (ended_) return END_OF_INPUT;
  const int c = in_.rdbuf()->sbumpc();
  if (c == END_OF_INPUT) ended_ = true;
  return c;
}

void AnswerReader::read_start() {
  encoding_ = Encoding::utf8;
  // Look only as far as a mark could go, so that a typed first answer is read at once: no answer
  // starts with FF or FE, and after EF more bytes of its character follow anyway.
  const int first = next_stream_byte();
  if (first != 0xef && first != 0xff && first != 0xfe) {
    if (first != END_OF_INPUT) decoded_ += static_cast<char>(first);
    return;
  }
  const int second = next_stream_byte();
  if (first == 0xff && second == 0xfe) {
    encoding_ = Encoding::utf16_little_endian;
    return;
  }
  if (first == 0xfe && second == 0xff) {
    encoding_ = Encoding::utf16_big_endian;
    return;
  }
  const int third = first == 0xef && second == 0xbb ? next_stream_byte() : END_OF_INPUT;
  if (third == 0xbf) return;  // the UTF-8 mark
  for (int c : {first, second, third}) {  // no mark after all: these are answers
    if (c != END_OF_INPUT) decoded_ += static_cast<char>(c);
  }
}

int AnswerReader::next_byte() {
  if (encoding_ == Encoding::unknown) read_start();
  if (decoded_.empty()) {
    if (encoding_ == Encoding::utf8) return next_stream_byte();
    if (!decode_utf16()) return END_OF_INPUT;
  }
  const auto c = static_cast<unsigned char>(decoded_.front());
  decoded_.erase(0, 1);
  return c;
}

long AnswerReader::next_utf16_unit() {
  if (unit_ahead_ != NO_UNIT) return std::exchange(unit_ahead_, NO_UNIT);
  const int first = next_stream_byte();
  if (first == END_OF_INPUT) return END_OF_UNITS;
  const int second = next_stream_byte();
  if (second == END_OF_INPUT) return 0xfffd;  // a lone last byte
  return encoding_ == Encoding::utf16_little_endian ? second << 8 | first : first << 8 | second;
}

bool AnswerReader::decode_utf16() {
  const long unit = next_utf16_unit();
  if (unit == END_OF_UNITS) return false;
  long code_point = unit;
  if (unit >= 0xd800 && unit < 0xdc00) {  // a high surrogate, which a low one must follow
    const long low = next_utf16_unit();
    if (low >= 0xdc00 && low < 0xe000) {
      code_point = 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00);
    } else {
      code_point = 0xfffd;
      unit_ahead_ = low;  // read for itself next
    }
  } else if (unit >= 0xdc00 && unit < 0xe000) {
    code_point = 0xfffd;  // a low surrogate alone
  }
  // Step 2: the code point as UTF-8.
  if (code_point < 0x80) {
    decoded_ += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    decoded_ += {static_cast<char>(0xc0 | code_point >> 6), static_cast<char>(0x80 | (code_point & 0x3f))};
  } else if (code_point < 0x10000) {
    decoded_ += {static_cast<char>(0xe0 | code_point >> 12),
                 static_cast<char>(0x80 | (code_point >> 6 & 0x3f)),
                 static_cast<char>(0x80 | (code_point & 0x3f))};
  } else {
    decoded_ += {static_cast<char>(0xf0 | code_point >> 18),
                 static_cast<char>(0x80 | (code_point >> 12 & 0x3f)),
                 static_cast<char>(0x80 | (code_point >> 6 & 0x3f)),
                 static_cast<char>(0x80 | (code_point & 0x3f))};
  }
  return true;
}

bool AnswerReader::skip_white_space() {
  while (is_white_space(peek())) ++next_;
  if (next_ == pending_.size()) {  // nothing left to look at: start the buffer afresh
    pending_.clear();
    next_ = 0;
  }
  return peek() != END_OF_INPUT;
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
  while (peek(length) != END_OF_INPUT && !is_white_space(peek(length))) ++length;
  target.assign(pending_, next_, length);
  next_ += length;
  return true;
}

}  // namespace quodrel
