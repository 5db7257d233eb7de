// Which console input records end the key wait on Windows, in-process. What only this level
// shows: records that no keyboard, terminal or wine console can be made to send.
#include <windows.h>

#include <gtest/gtest.h>

#include "console_win32.h"
#include "input_records_win32.h"

namespace quodrel {
namespace {

using test::event_of_type;
using test::key;

TEST(ConsoleKeys, OnlyKeyPressesThatGiveACharacterOrAreSpecialEndTheWait) {
  struct Case {
    const char* what;
    INPUT_RECORD record;
    bool ends_wait;
  };
  const Case cases[] = {
      {"letter a", key(true, 'A', L'a'), true},
      {"Enter", key(true, VK_RETURN, L'\r'), true},
      {"Esc", key(true, VK_ESCAPE, 27), true},
      {"Esc without a character", key(true, VK_ESCAPE, 0), true},
      {"Alt released after Alt+Numpad 0233", key(false, VK_MENU, 0xe9), true},
      {"Alt released after a paste of a CJK character", key(false, VK_MENU, 0x6f22), true},
      {"the number pad keys of Alt+Numpad", key(true, VK_NUMPAD2, 0, LEFT_ALT_PRESSED), false},
      {"Alt released without a character", key(false, VK_MENU, 0), false},
      {"release of Esc", key(false, VK_ESCAPE, 27), false},
      {"Ctrl+C, no longer a break", key(true, 'C', 3, LEFT_CTRL_PRESSED), true},
      {"a letter beyond Latin-1", key(true, 'E', 0x20AC), true},
      {"F5, no enhanced-key flag", key(true, VK_F5, 0), true},
      {"F12", key(true, VK_F12, 0), true},
      {"F1", key(true, VK_F1, 0), true},
      {"cursor up", key(true, VK_UP, 0, ENHANCED_KEY), true},
      {"Home on the number pad", key(true, VK_HOME, 0), true},
      {"Page Down", key(true, VK_NEXT, 0, ENHANCED_KEY), true},
      {"Insert", key(true, VK_INSERT, 0, ENHANCED_KEY), true},
      {"Delete", key(true, VK_DELETE, 0, ENHANCED_KEY), true},
      {"Shift alone", key(true, VK_SHIFT, 0, SHIFT_PRESSED), false},
      {"right Ctrl alone", key(true, VK_CONTROL, 0, RIGHT_CTRL_PRESSED | ENHANCED_KEY), false},
      {"Alt alone", key(true, VK_MENU, 0, LEFT_ALT_PRESSED), false},
      {"Caps Lock", key(true, VK_CAPITAL, 0, CAPSLOCK_ON), false},
      {"left Windows key", key(true, VK_LWIN, 0, ENHANCED_KEY), false},
      {"Num Lock", key(true, VK_NUMLOCK, 0, ENHANCED_KEY), false},
      {"release of Enter", key(false, VK_RETURN, L'\r'), false},
      {"release of F5", key(false, VK_F5, 0), false},
      {"release of a", key(false, 'A', L'a'), false},
      {"focus event", event_of_type(FOCUS_EVENT), false},
      {"mouse event", event_of_type(MOUSE_EVENT), false},
      {"window size event", event_of_type(WINDOW_BUFFER_SIZE_EVENT), false},
      {"menu event", event_of_type(MENU_EVENT), false},
  };
  for (const Case& c : cases) EXPECT_EQ(ends_key_wait(c.record), c.ends_wait) << c.what;
}

}  // namespace
}  // namespace quodrel
