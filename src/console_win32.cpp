// The key wait on the Windows console, read from CONIN$ so that standard input does not matter.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include "console.h"
#include "console_win32.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_INPUT
#define ENABLE_VIRTUAL_TERMINAL_INPUT 0x0200
#endif

namespace quodrel {

namespace {

// The console and its input mode before the wait, for the break handler.
HANDLE waiting_console = INVALID_HANDLE_VALUE;
DWORD saved_mode = 0;

// Ctrl+Break and closing the window end the process even without processed input: put the mode
// back first, then let the default handling go on.
BOOL WINAPI restore_before_ending(DWORD) {
  SetConsoleMode(waiting_console, saved_mode);
  return FALSE;
}

bool is_special_key(WORD virtual_key) {
  return (virtual_key >= VK_PRIOR && virtual_key <= VK_DOWN) ||  // PgUp PgDn End Home arrows
         virtual_key == VK_INSERT || virtual_key == VK_DELETE ||
         (virtual_key >= VK_F1 && virtual_key <= VK_F24);
}

}  // namespace

bool prepare_standard_streams() {
  // Windows has no SIGPIPE: a write to a closed pipe fails on its own.
  bool output_was_closed = false;
  for (int descriptor = 0; descriptor < 3; ++descriptor) {
    const intptr_t handle = _get_osfhandle(descriptor);
    if (handle != -1 && handle != -2) continue;  // -2: no standard handle behind the descriptor
    const int null = _open("NUL", _O_RDWR | _O_BINARY);
    if (null >= 0 && null != descriptor) {
      _dup2(null, descriptor);
      _close(null);
    }
    if (descriptor == 1) output_was_closed = true;
  }
  return output_was_closed;
}

bool ends_key_wait(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) return false;
  return record.Event.KeyEvent.uChar.UnicodeChar != 0 ||
         is_special_key(record.Event.KeyEvent.wVirtualKeyCode);
}

void wait_for_key() {
  const HANDLE console = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) {
    CloseHandle(console);
    return;
  }
  waiting_console = console;
  saved_mode = mode;
  SetConsoleCtrlHandler(restore_before_ending, TRUE);

  // One key, unechoed, without Enter; Ctrl+C is a key like any other; keys arrive as key
  // events, not as escape sequences. Keys typed before the wait do not count.
  SetConsoleMode(console, mode & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT |
                                   ENABLE_VIRTUAL_TERMINAL_INPUT));
  FlushConsoleInputBuffer(console);
  INPUT_RECORD record;
  DWORD count = 0;
  while (ReadConsoleInputW(console, &record, 1, &count) && count == 1 && !ends_key_wait(record)) {
  }

  // Nothing typed during the wait, the key's own release among it, is left for the shell.
  FlushConsoleInputBuffer(console);
  SetConsoleMode(console, mode);
  SetConsoleCtrlHandler(restore_before_ending, FALSE);
  CloseHandle(console);
}

}  // namespace quodrel
