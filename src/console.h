// The console device itself, apart from standard input and output. One source per platform.
#ifndef QUODREL_CONSOLE_H
#define QUODREL_CONSOLE_H

namespace quodrel {

// Waits for one key press on the console device, not on standard input: answers still pending
// there do not end the wait. The key is not echoed and needs no Enter; the console's settings
// are restored afterwards. Returns at once when there is no console or reading it fails.
void wait_for_key();

}  // namespace quodrel

#endif
