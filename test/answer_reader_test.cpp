// The formatted reads in-process, on string streams. What only this level shows: each read's
// value and what it leaves in the input, for texts the dialogue cannot easily reach.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "answer_reader.h"

namespace quodrel {
namespace {

// Performs one read per letter of `kinds` (r: real, i: integer, w: word) on `input`, each into a
// target holding 7 beforehand, and describes the outcomes: "12 fail(7)", then "| rest" and the
// words still in the input.
std::string reads(const std::string& input, const std::string& kinds) {
  std::istringstream in(input);
  AnswerReader reader(in);
  std::string outcome;
  for (char kind : kinds) {
    char text[64];
    if (kind == 'r') {
      double real = 7;
      const bool ok = reader.read_real(real);
      char shortest[32];
      *std::to_chars(shortest, shortest + sizeof shortest - 1, real).ptr = '\0';
      std::snprintf(text, sizeof text, ok ? "%s" : "fail(%s)", shortest);
    } else if (kind == 'i') {
      std::int32_t integer = 7;
      const bool ok = reader.read_integer(integer);
      std::snprintf(text, sizeof text, ok ? "%d" : "fail(%d)", static_cast<int>(integer));
    } else {
      std::string word = "7";
      const bool ok = reader.read_word(word);
      std::snprintf(text, sizeof text, ok ? "%s" : "fail(%s)", word.c_str());
    }
    outcome += text;
    outcome += ' ';
  }
  outcome += "| rest";
  for (std::string word; reader.read_word(word);) outcome += " " + word;
  return outcome;
}

TEST(AnswerReader, Reads) {
  struct Case {
    std::string input;
    const char* kinds;
    const char* outcome;
  };
  const Case cases[] = {
      // Answers typed ahead on one line, and spread over lines with CR LF ends.
      {"100 2 1 0.05 10 20 pk.txt rms.txt", "rririrww",
       "100 2 1 0.05 10 20 pk.txt rms.txt | rest"},
      {"\r\n100\r\n2\r\n\t 1\r\n", "rri", "100 2 1 | rest"},
      // Only text of the item's grammar is consumed; the rest stays for the next read.
      {"12abc", "rr", "12 fail(7) | rest abc"},
      {"1.5", "ir", "1 0.5 | rest"},
      {"1.2.3", "rr", "1.2 0.3 | rest"},
      {"1e+x", "r", "1 | rest e+x"},
      {"0x10", "r", "0 | rest x10"},
      {"5e", "r", "5 | rest e"},
      // The number grammar: signs, a lone point on either side, exponents.
      {"+.5 5. -0 1e5 1E-2 -2.5e+1", "rrrrrr", "0.5 5 -0 1e+05 0.01 -25 | rest"},
      {". 5", "r", "fail(7) | rest . 5"},
      {"- 5", "ri", "fail(7) fail(7) | rest - 5"},
      {"inf nan", "r", "fail(7) | rest inf nan"},
      // Beyond the double range: infinity or zero, as formatted input of a double gives.
      {"1e999 -1e999 1e-999 -1e-999 2e308", "rrrrr", "inf -inf 0 -0 inf | rest"},
      {"1" + std::string(400, '0'), "r", "inf | rest"},
      {"1e99999999999999999999 -1e-99999999999999999999 0e99999", "rrr", "inf -0 0 | rest"},
      {"0." + std::string(400, '0') + "1", "r", "0 | rest"},
      {"0." + std::string(399, '0') + "1e400", "r", "1 | rest"},
      // Integers: 32 bits, clamped beyond.
      {"2147483647 -2147483648 2147483648 -99999999999 +0042", "iiiii",
       "2147483647 -2147483648 2147483647 -2147483648 42 | rest"},
      {"1e5", "i", "1 | rest e5"},
      // Nothing to read: the target keeps its value.
      {"", "riw", "fail(7) fail(7) fail(7) | rest"},
      {" \r\n\t ", "w", "fail(7) | rest"},
      {"abc", "riw", "fail(7) fail(7) abc | rest"},
      // A word ends at white space.
      {"peak data.txt", "ww", "peak data.txt | rest"},
      {"pk.txt\r\nrms.txt\r\n", "ww", "pk.txt rms.txt | rest"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reads(c.input, c.kinds), c.outcome) << "input \"" << c.input << "\"";
  }
}

// Found by the reads fuzzer: the exponent was added to the digits' own in 64-bit arithmetic,
// which overflowed (undefined behaviour) and turned 0 into infinity and infinity into 0.
TEST(AnswerReader, ExponentsOfAnyLengthReadAsTheValueTheTextDenotes) {
  struct Case {
    std::string input;
    const char* outcome;
  };
  const Case cases[] = {
      {"0.01e-9223372036854775807", "0 | rest"},
      {"1000e9223372036854775807", "inf | rest"},
      {"-1000e9223372036854775807 -0.01e-9223372036854775807", "-inf -0 | rest"},
      {"1e+9223372036854775808 1e-9223372036854775809", "inf 0 | rest"},
      {"1e" + std::string(100, '0') + "1", "10 | rest"},
      {"1e-" + std::string(100, '0') + "1", "0.1 | rest"},
      {"5e" + std::string(40, '9') + " 5e-" + std::string(40, '9'), "inf 0 | rest"},
      {"0." + std::string(30, '0') + "1e-" + std::string(25, '9'), "0 | rest"},
  };
  for (const Case& c : cases) {
    const std::string kinds(std::count(c.outcome, c.outcome + std::strlen(c.outcome), ' ') - 1, 'r');
    EXPECT_EQ(reads(c.input, kinds), c.outcome) << "input \"" << c.input << "\"";
  }
}

// A stream that reports its end once and then has more, as a terminal after Ctrl-D or a
// Windows console after Ctrl+Z Enter does.
class EndsThenGoesOn : public std::streambuf {
 protected:
  int_type underflow() override {
    if (part_ == 3) return traits_type::eof();
    static char parts[3][8] = {"1 ", "", "2 3"};
    char* text = parts[part_++];
    setg(text, text, text + std::strlen(text));
    return std::strlen(text) == 0 ? traits_type::eof() : traits_type::to_int_type(*text);
  }

 private:
  int part_ = 0;
};

TEST(AnswerReader, TheEndOfInputIsFinal) {
  EndsThenGoesOn source;
  std::istream in(&source);
  AnswerReader reader(in);
  double real = 7;
  EXPECT_TRUE(reader.read_real(real));
  EXPECT_EQ(real, 1);
  EXPECT_FALSE(reader.read_real(real));
  EXPECT_FALSE(reader.read_real(real)) << "a read after the end asked the stream again";
  std::string word = "7";
  EXPECT_FALSE(reader.read_word(word));
  EXPECT_EQ(real, 1);
  EXPECT_EQ(word, "7");
}

// The bytes of UTF-16 text with its byte-order mark, as Windows PowerShell 5.1 and Notepad save it.
std::string utf16(const std::u16string& text, bool little_endian) {
  std::string bytes = little_endian ? "\xff\xfe" : "\xfe\xff";
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xff), high = static_cast<char>(unit >> 8);
    bytes += little_endian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

// Answers with a byte-order mark read as the text they hold, UTF-8 in the end; text that only
// starts like a mark is read as it stands.
TEST(AnswerReader, AnswersAsWindowsSavesThem) {
  const char* typical = "100 2 1 0.05 10 20 Pr\xc3\xbc" "fung.txt Ma\xc3\x9f.txt | rest";
  const std::u16string typed = u"100\r\n2\r\n1\r\n0.05\r\n10\r\n20\r\nPr\u00fcfung.txt\r\nMa\u00df.txt\r\n";
  struct Case {
    const char* what;
    std::string input;
    const char* kinds;
    std::string outcome;
  };
  const Case cases[] = {
      {"UTF-8 with a mark", "\xef\xbb\xbf" "100\r\n2\r\n1\r\n0.05\r\n10\r\n20\r\nPr\xc3\xbc" "fung.txt\r\nMa\xc3\x9f.txt",
       "rririrww", typical},
      {"UTF-16 LE", utf16(typed, true), "rririrww", typical},
      {"UTF-16 BE", utf16(typed, false), "rririrww", typical},
      {"UTF-16 beyond the basic plane", utf16(u"\U0001F4C8.txt x", true), "ww",
       "\xf0\x9f\x93\x88.txt x | rest"},
      // A surrogate without its partner, and a lone last byte, are U+FFFD (EF BF BD).
      {"UTF-16 lone surrogates", utf16(std::u16string{u'a', 0xd800, u'b', u' ', 0xdc00}, true), "ww",
       "a\xef\xbf\xbd" "b \xef\xbf\xbd | rest"},
      {"UTF-16 two high surrogates", utf16(std::u16string{0xd83d, 0xd83d, 0xdcc8}, true), "w",
       "\xef\xbf\xbd\xf0\x9f\x93\x88 | rest"},
      {"UTF-16 with a lone last byte", utf16(u"7 ", true) + "x", "rw", "7 \xef\xbf\xbd | rest"},
      {"a mark alone", "\xff\xfe", "w", "fail(7) | rest"},
      // Only at the very start, and only whole, is it a mark.
      {"a mark later", "7 \xef\xbb\xbf", "rw", "7 \xef\xbb\xbf | rest"},
      {"FF without FE", "\xff" "7", "w", "\xff" "7 | rest"},
      {"EF BB without BF", "\xef\xbb" "7", "rw", "fail(7) \xef\xbb" "7 | rest"},
      {"EF alone", "\xef", "w", "\xef | rest"},
  };
  for (const Case& c : cases) EXPECT_EQ(reads(c.input, c.kinds), c.outcome) << c.what;
}

TEST(AnswerReader, WordsKeepEveryByteButWhiteSpace) {
  std::istringstream in(std::string("a\0b\xff\xe9 c", 7));
  AnswerReader reader(in);
  std::string word;
  ASSERT_TRUE(reader.read_word(word));
  EXPECT_EQ(word, std::string("a\0b\xff\xe9", 5));
}

TEST(AnswerReader, LongAnswersAreReadWhole) {
  const std::string name(100000, 'n');
  std::istringstream in(name + " " + std::string(5000, '3') + "e-4999");
  AnswerReader reader(in);
  std::string word;
  double real = 0;
  ASSERT_TRUE(reader.read_word(word));
  EXPECT_EQ(word, name);
  ASSERT_TRUE(reader.read_real(real));
  EXPECT_DOUBLE_EQ(real, 3.333333333333333);
}

}  // namespace
}  // namespace quodrel
