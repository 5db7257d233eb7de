// Text from the user as a message shows it: every byte that could control the screen is written
// as \xNN, so that a name cannot move the cursor, clear the screen or set the window title.
#ifndef QUODREL_ESCAPED_TEXT_H
#define QUODREL_ESCAPED_TEXT_H

#include <string>

namespace quodrel {

// Text read as UTF-8: the control characters (C0, DEL and C1) and every byte that is not part of
// well-formed UTF-8 are escaped.
//   "pk\x1b[2J.txt" -> "pk\\x1b[2J.txt"   "Pr\xc3\xbc" "fung.txt" stays   "\xe9" -> "\\xe9"
std::string escaped_utf8(const std::string& text);

// Text in a code page that may not be UTF-8: only C0 and DEL, which every such code page shares
// with ASCII, are escaped.   "pk\x1b.txt" -> "pk\\x1b.txt"   "\xe9" stays
std::string escaped_controls(const std::string& text);

}  // namespace quodrel

#endif
