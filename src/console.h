// The console device itself, apart from standard input and output. One source per platform.
#ifndef QUODREL_CONSOLE_H
#define QUODREL_CONSOLE_H

#include <cstddef>
#include <istream>
#include <string>

namespace quodrel {

// Makes the standard streams safe for a run: writing to a closed pipe fails instead of ending
// the process, and a standard descriptor that is closed is opened on the null device, so that no
// table can take its place. Returns whether standard output was closed.
bool prepare_standard_streams();

// The answers' stream. On Windows, a console standard input is read as the UTF-16 the console
// holds and handed on as UTF-8, whatever its code page (chcp 65001 among them), and Ctrl+Z ends
// it; other standard input is read as bytes, unchanged.
std::istream& standard_input();

// Writes to standard output, and flushes what is buffered there. On failure, returns false and
// sets errno. On Windows a console is given the text, which is then UTF-8, as UTF-16: the C
// runtime would hand it on in a code page of its own choosing.
bool write_standard_output(const char* text, std::size_t length);
bool flush_standard_output();

// A name as the console shows it: on Windows, as UTF-8 when standard output is a console (see
// write_standard_output), and as the bytes that were read otherwise. With `escaped`, as a message
// shows it: every character that could control the screen is written \xNN.
std::string name_for_console(const std::string& name, bool escaped);

// Whether the console closes when this process ends: it was started on a console of its own, as
// a double-click in Explorer starts it. Never on POSIX.
bool console_closes_with_this_process();

// Waits for one key press on the console device, not on standard input: answers still pending
// there do not end the wait. The key is not echoed and needs no Enter; the console's settings
// are restored afterwards. Returns at once when there is no console or reading it fails, and
// when no one could press a key (a run in the background of its terminal).
void wait_for_key();

}  // namespace quodrel

#endif
