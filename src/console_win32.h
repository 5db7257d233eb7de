// The Windows console's input records, as the key wait sees them.
#ifndef QUODREL_CONSOLE_WIN32_H
#define QUODREL_CONSOLE_WIN32_H

#include <windows.h>

namespace quodrel {

// Whether an input record ends the key wait: a key going down that yields a character (Enter and
// Ctrl+C among them) or is a special key (Esc, cursor and editing keys, F1 to F24), decided by
// the virtual-key code, since F-keys carry no enhanced-key flag; and the release of Alt that
// carries a character (Alt+Numpad entry, a pasted character the keyboard lacks). Other key
// releases, modifier keys alone, dead keys, and focus, mouse, menu and size events do not.
bool ends_key_wait(const INPUT_RECORD& record);

}  // namespace quodrel

#endif
