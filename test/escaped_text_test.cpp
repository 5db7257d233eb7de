// How messages show text from the user, by both rules, on every platform.
#include <string>

#include <gtest/gtest.h>

#include "escaped_text.h"

namespace quodrel {
namespace {

TEST(EscapedText, ControlCharactersAndBytesThatAreNotCharactersAreEscaped) {
  struct Case {
    std::string text;
    std::string as_utf8;      // escaped_utf8: a terminal that reads UTF-8
    std::string as_any_code_page;  // escaped_controls: bytes in an ANSI code page
  };
  const Case cases[] = {
      {"pk.txt", "pk.txt", "pk.txt"},
      {"pk\x1b[2J\x1b]0;title\x07.txt", "pk\\x1b[2J\\x1b]0;title\\x07.txt",
       "pk\\x1b[2J\\x1b]0;title\\x07.txt"},
      {std::string("nul\0.txt", 8), "nul\\x00.txt", "nul\\x00.txt"},
      {"del\x7f tab\t", "del\\x7f tab\\x09", "del\\x7f tab\\x09"},
      {"csi\xc2\x9b" "2J", "csi\\xc2\\x9b" "2J", "csi\xc2\x9b" "2J"},  // the C1 CSI, in UTF-8
      {"nbsp\xc2\xa0", "nbsp\xc2\xa0", "nbsp\xc2\xa0"},                // the first after C1
      {"Pr\xc3\xbc" "fung Ma\xc3\x9f", "Pr\xc3\xbc" "fung Ma\xc3\x9f", "Pr\xc3\xbc" "fung Ma\xc3\x9f"},
      {"\xe2\x82\xac\xf0\x9f\x93\x88\xf4\x8f\xbf\xbf", "\xe2\x82\xac\xf0\x9f\x93\x88\xf4\x8f\xbf\xbf",
       "\xe2\x82\xac\xf0\x9f\x93\x88\xf4\x8f\xbf\xbf"},  // euro, a chart, U+10FFFF
      {"latin\xe9", "latin\\xe9", "latin\xe9"},        // Latin-1 or code page 1252, not UTF-8
      {"\x84quote\x93", "\\x84quote\\x93", "\x84quote\x93"},
      {"cut\xe2\x82", "cut\\xe2\\x82", "cut\xe2\x82"},  // a sequence cut short
      {"over\xc0\xaf", "over\\xc0\\xaf", "over\xc0\xaf"},  // an overlong '/'
      {"over\xe0\x80\xaf", "over\\xe0\\x80\\xaf", "over\xe0\x80\xaf"},
      {"sur\xed\xa0\x80", "sur\\xed\\xa0\\x80", "sur\xed\xa0\x80"},  // a surrogate
      {"big\xf4\x90\x80\x80", "big\\xf4\\x90\\x80\\x80", "big\xf4\x90\x80\x80"},  // above U+10FFFF
      {"back\\slash", "back\\slash", "back\\slash"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(escaped_utf8(c.text), c.as_utf8) << c.as_utf8;
    EXPECT_EQ(escaped_controls(c.text), c.as_any_code_page) << c.as_utf8;
  }
}

}  // namespace
}  // namespace quodrel
