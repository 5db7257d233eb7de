// Formatted reads of the user's answers, with the conventions of standard formatted input.
#ifndef QUODREL_ANSWER_READER_H
#define QUODREL_ANSWER_READER_H

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>

namespace quodrel {

// Reads answers from a stream. Each read first skips white space (blank, tab, CR, LF, VT, FF),
// so answers may share a line or be spread over several. When what follows cannot start the
// item, or the input has ended, the read returns false, the target keeps its value and the text
// stays in the input, so that the next numeric read meets it again. A read consumes only text
// of its own grammar: "12abc" gives 12 and leaves "abc"; "1e+x" gives 1 and leaves "e+x".
// Answers as Windows saves them read as the text they hold: a UTF-8 byte-order mark at the start
// is skipped, and after a UTF-16 mark (FF FE or FE FF) the answers are UTF-16, read as UTF-8.
class AnswerReader {
 public:
  explicit AnswerReader(std::istream& in) : in_(in) {}

  // [+-] digits [. [digits]] or [+-] . digits, then optionally [eE] [+-] digits.
  // A magnitude beyond the double range reads as infinity: "1e999" -> inf, "1e-999" -> 0,
  // whatever the length of the exponent: "0.01e-9223372036854775807" -> 0.
  bool read_real(double& target);

  // [+-] digits, clamped to the 32-bit range: "99999999999" -> 2147483647.
  bool read_integer(std::int32_t& target);

  // Every character up to the next white space, of any length.
  bool read_word(std::string& target);

 private:
  // The character `ahead` places after the next unconsumed one, or EOF.
  int peek(std::size_t ahead = 0);
  // The next byte of the answers as UTF-8, or EOF.
  int next_byte();
  // Reads the start of the answers: a byte-order mark chooses the encoding and is dropped.
  void read_start();
  // The next byte of the stream, or EOF.
  int next_stream_byte();
  // Decodes one UTF-16 character into decoded_ as UTF-8; false at the end of input. A surrogate
  // without its partner, and a lone last byte, stand for U+FFFD.
  bool decode_utf16();
  // The next UTF-16 code unit, or END_OF_UNITS.
  long next_utf16_unit();
  // Skips white space; false at the end of input.
  bool skip_white_space();
  // The number of characters from `ahead` on that are decimal digits.
  std::size_t count_digits(std::size_t ahead);

  std::istream& in_;
  std::string pending_;  // taken from the stream but not yet consumed by a read
  std::size_t next_ = 0;  // the first unconsumed character of pending_
  bool ended_ = false;    // the stream has reported its end; it is not asked again
  enum class Encoding { unknown, utf8, utf16_little_endian, utf16_big_endian };
  Encoding encoding_ = Encoding::unknown;  // known once the start has been read
  std::string decoded_;   // bytes read from the stream but not yet handed on, in order
  static constexpr long NO_UNIT = -2, END_OF_UNITS = -1;
  long unit_ahead_ = NO_UNIT;  // a UTF-16 unit read ahead that is still to be decoded
};

}  // namespace quodrel

#endif
