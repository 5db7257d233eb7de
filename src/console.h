// The console device itself, apart from standard input and output. One source per platform.
#ifndef QUODREL_CONSOLE_H
#define QUODREL_CONSOLE_H

namespace quodrel {

// Makes the standard streams safe for a run: writing to a closed pipe fails instead of ending
// the process, and a standard descriptor that is closed is opened on the null device, so that no
// table can take its place. Returns whether standard output was closed.
bool prepare_standard_streams();

// Waits for one key press on the console device, not on standard input: answers still pending
// there do not end the wait. The key is not echoed and needs no Enter; the console's settings
// are restored afterwards. Returns at once when there is no console or reading it fails, and
// when no one could press a key (a run in the background of its terminal).
void wait_for_key();

}  // namespace quodrel

#endif
