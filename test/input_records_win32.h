// Console input records as the tests write them (Windows).
#ifndef QUODREL_TEST_INPUT_RECORDS_WIN32_H
#define QUODREL_TEST_INPUT_RECORDS_WIN32_H

#include <windows.h>

namespace quodrel::test {

// A key going down or up, with the character it yields (0 for none) and the modifier keys held.
inline INPUT_RECORD key(bool down, WORD virtual_key, wchar_t character, DWORD control_keys = 0) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtual_key;
  record.Event.KeyEvent.uChar.UnicodeChar = character;
  record.Event.KeyEvent.dwControlKeyState = control_keys;
  return record;
}

// A record of another kind (FOCUS_EVENT, MOUSE_EVENT, ...) with nothing else set.
inline INPUT_RECORD event_of_type(WORD type) {
  INPUT_RECORD record{};
  record.EventType = type;
  return record;
}

}  // namespace quodrel::test

#endif
