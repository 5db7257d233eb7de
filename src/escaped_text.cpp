#include "escaped_text.h"

namespace quodrel {

namespace {

// Appends "\xNN" for the byte.
void append_escape(std::string& text, unsigned char byte) {
  static constexpr char HEX[] = "0123456789abcdef";
  text += {'\\', 'x', HEX[byte >> 4], HEX[byte & 0xf]};
}

// The length of the printable character whose UTF-8 bytes start at `at`, or 0 where the bytes
// there are a control character (C0, DEL or C1) or not well-formed UTF-8.
std::size_t printable_length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const unsigned lead = byte(0);
  if (lead < 0x80) return lead >= 0x20 && lead != 0x7f ? 1 : 0;
  // The well-formed sequences: the lead byte gives the length and the range of the second byte.
  struct Form {
    unsigned lead_low, lead_high, second_low, second_high;
    std::size_t length;
  };
  static constexpr Form FORMS[] = {
      {0xc2, 0xc2, 0xa0, 0xbf, 2},  // from U+00A0: C2 80 to C2 9F are the C1 controls
      {0xc3, 0xdf, 0x80, 0xbf, 2}, {0xe0, 0xe0, 0xa0, 0xbf, 3}, {0xe1, 0xec, 0x80, 0xbf, 3},
      {0xed, 0xed, 0x80, 0x9f, 3},  // not the surrogates
      {0xee, 0xef, 0x80, 0xbf, 3}, {0xf0, 0xf0, 0x90, 0xbf, 4}, {0xf1, 0xf3, 0x80, 0xbf, 4},
      {0xf4, 0xf4, 0x80, 0x8f, 4},  // up to U+10FFFF
  };
  for (const Form& form : FORMS) {
    if (lead < form.lead_low || lead > form.lead_high) continue;
    if (byte(1) < form.second_low || byte(1) > form.second_high) return 0;
    for (std::size_t i = 2; i < form.length; ++i) {
      if ((byte(i) & 0xc0) != 0x80) return 0;
    }
    return form.length;
  }
  return 0;
}

}  // namespace

std::string escaped_utf8(const std::string& text) {
  std::string result;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = printable_length(text, at);
    if (length > 0) {
      result.append(text, at, length);
      at += length;
    } else {
      append_escape(result, static_cast<unsigned char>(text[at++]));
    }
  }
  return result;
}

std::string escaped_controls(const std::string& text) {
  std::string result;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      append_escape(result, byte);
    } else {
      result += c;
    }
  }
  return result;
}

}  // namespace quodrel
