// Fuzzes the formatted reads against a model built on the C library's own conversions.
//
// Input: the first line names the reads, one character each ('r' real, 'i' integer, 'w' word;
// any other byte picks one by its value); everything after it is the pending input. After those
// reads, words are read until the input ends, so every character is accounted for.
//   "rriw\n100 2 1 pk.txt\n"
// Each read must return what the model returns and leave the target as the model says: the
// value the consumed text denotes, or unchanged when the read fails. The pending input may start
// with a byte-order mark; the model reads it with iconv.
#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>

#include "answer_reader.h"
#include "fuzz_check.h"

namespace {

bool is_white_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The answers as text: a UTF-8 mark dropped; after a UTF-16 mark, the rest converted by iconv,
// with U+FFFD for each unit that it cannot convert (a surrogate alone, a lone last byte).
std::string as_text(const std::string& bytes) {
  if (bytes.compare(0, 3, "\xef\xbb\xbf") == 0) return bytes.substr(3);
  const bool little_endian = bytes.compare(0, 2, "\xff\xfe") == 0;
  if (!little_endian && bytes.compare(0, 2, "\xfe\xff") != 0) return bytes;
  const iconv_t converter = iconv_open("UTF-8", little_endian ? "UTF-16LE" : "UTF-16BE");
  FUZZ_CHECK(converter != reinterpret_cast<iconv_t>(-1));
  std::string text;
  char* in = const_cast<char*>(bytes.data()) + 2;
  std::size_t in_left = bytes.size() - 2;
  while (in_left > 0) {
    char buffer[256];
    char* out = buffer;
    std::size_t out_left = sizeof buffer;
    const std::size_t converted = iconv(converter, &in, &in_left, &out, &out_left);
    text.append(buffer, static_cast<std::size_t>(out - buffer));
    if (converted == static_cast<std::size_t>(-1) && errno != E2BIG) {
      text += "\xef\xbf\xbd";
      const std::size_t skipped = std::min<std::size_t>(2, in_left);
      in += skipped;
      in_left -= skipped;
    }
  }
  iconv_close(converter);
  return text;
}

// The pending input as a position in a string. strtod and strtoll decide what each numeric
// read consumes, apart from what they take beyond the program's grammar: hexadecimal numbers
// and the words inf and nan.
class Model {
 public:
  explicit Model(std::string text) : text_(std::move(text)) {}

  std::optional<double> read_real() {
    if (!skip_white_space()) return std::nullopt;
    const std::size_t sign = (peek(0) == '+' || peek(0) == '-') ? 1 : 0;
    if (std::isalpha(static_cast<unsigned char>(peek(sign)))) return std::nullopt;  // inf, nan
    if (peek(sign) == '0' && (peek(sign + 1) == 'x' || peek(sign + 1) == 'X')) {
      const bool negative = peek(0) == '-';
      pos_ += sign + 1;  // only the 0 is a number of the grammar
      return negative ? -0.0 : 0.0;
    }
    const std::string rest = text_.substr(pos_);
    char* end = nullptr;
    const double value = std::strtod(rest.c_str(), &end);
    if (end == rest.c_str()) return std::nullopt;
    pos_ += static_cast<std::size_t>(end - rest.c_str());
    return value;
  }

  std::optional<std::int32_t> read_integer() {
    if (!skip_white_space()) return std::nullopt;
    const std::string rest = text_.substr(pos_);
    char* end = nullptr;
    const long long value = std::strtoll(rest.c_str(), &end, 10);
    if (end == rest.c_str()) return std::nullopt;
    pos_ += static_cast<std::size_t>(end - rest.c_str());
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
  }

  std::optional<std::string> read_word() {
    if (!skip_white_space()) return std::nullopt;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !is_white_space(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

 private:
  bool skip_white_space() {
    while (pos_ < text_.size() && is_white_space(text_[pos_])) ++pos_;
    return pos_ < text_.size();
  }
  // The character `ahead` places from the position, or NUL beyond the end.
  char peek(std::size_t ahead) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  std::string text_;
  std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t line_end = input.find('\n');
  const std::string reads = line_end == std::string::npos ? "" : input.substr(0, line_end);
  const std::string pending = line_end == std::string::npos ? input : input.substr(line_end + 1);

  std::istringstream stream(pending);
  quodrel::AnswerReader reader(stream);
  Model model(as_text(pending));
  double real = 1.5;  // the targets carry over from read to read, as the dialogue's do
  std::int32_t integer = 7;
  std::string word = "before";

  for (const char read : reads) {
    const int kind = read == 'r'   ? 0
                     : read == 'i' ? 1
                     : read == 'w' ? 2
                                   : static_cast<unsigned char>(read) % 3;
    if (kind == 0) {
      const std::optional<double> expected = model.read_real();
      const double before = real;
      FUZZ_CHECK(reader.read_real(real) == expected.has_value());
      FUZZ_CHECK(same_bits(real, expected.value_or(before)));
    } else if (kind == 1) {
      const std::optional<std::int32_t> expected = model.read_integer();
      const std::int32_t before = integer;
      FUZZ_CHECK(reader.read_integer(integer) == expected.has_value());
      FUZZ_CHECK(integer == expected.value_or(before));
    } else {
      const std::optional<std::string> expected = model.read_word();
      const std::string before = word;
      FUZZ_CHECK(reader.read_word(word) == expected.has_value());
      FUZZ_CHECK(word == expected.value_or(before));
    }
  }

  // The rest of the input, word by word: the reader and the model stand at the same place, and
  // each successful read takes at least one character, so this ends.
  std::size_t words = 0;
  for (;;) {
    const std::optional<std::string> expected = model.read_word();
    const bool read = reader.read_word(word);
    FUZZ_CHECK(read == expected.has_value());
    if (!read) break;
    FUZZ_CHECK(word == *expected);
    FUZZ_CHECK(!word.empty());
    for (const char c : word) FUZZ_CHECK(!is_white_space(c));
    FUZZ_CHECK(++words <= 2 * pending.size());
  }
  return 0;
}
