// The console on Windows: the standard streams made safe at start, answers typed on the console
// read as UTF-16, text written to it as UTF-16, and the key wait on CONIN$.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>
#include <utility>

#include "console.h"
#include "console_win32.h"
#include "escaped_text.h"
#include "tables/table_file.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_INPUT
#define ENABLE_VIRTUAL_TERMINAL_INPUT 0x0200
#endif

namespace quodrel {

namespace {

// Set when Ctrl+C or Ctrl+Break arrives. Its handler runs on a thread of its own while the read
// of an answer returns empty; the default handling that follows ends the process.
HANDLE g_break_event = nullptr;

BOOL WINAPI note_break(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) SetEvent(g_break_event);
  return FALSE;  // and let the default handling end the process, with status 0xC000013A
}

// Answers typed on the console, read as the UTF-16 it holds and handed on as UTF-8: narrow reads
// get them in the console's input code page, and with code page 65001 lose every character
// beyond ASCII.
class ConsoleInput : public std::streambuf {
 public:
  explicit ConsoleInput(HANDLE console) : console_(console) {}

 protected:
  int_type underflow() override {
    while (gptr() == egptr()) {
      if (ended_) return traits_type::eof();
      read_more();
    }
    return traits_type::to_int_type(*gptr());
  }

 private:
  static constexpr DWORD WIDE_SIZE = 1024;

  void read_more() {
    wchar_t wide[WIDE_SIZE];
    DWORD count = 0;
    if (high_surrogate_ != 0) wide[count++] = std::exchange(high_surrogate_, L'\0');
    DWORD read = 0;
    if (!ReadConsoleW(console_, wide + count, WIDE_SIZE - count, &read, nullptr) || read == 0) {
      // A line read returns at least its line end; empty, it was interrupted. After Ctrl+C the
      // process is ending: the empty read is not the user's answer, so wait for the end here.
      if (WaitForSingleObject(g_break_event, 500) == WAIT_OBJECT_0) Sleep(INFINITE);
      ended_ = true;
    }
    count += read;
    for (DWORD i = 0; i < count; ++i) {
      if (wide[i] == 0x1a) {  // Ctrl+Z: the end of input, for every later read too
        count = i;
        ended_ = true;
      }
    }
    // A character cut in two by the read waits for its second half.
    if (!ended_ && count > 0 && wide[count - 1] >= 0xd800 && wide[count - 1] < 0xdc00) {
      high_surrogate_ = wide[--count];
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(count), utf8_,
                                           sizeof utf8_, nullptr, nullptr);
    setg(utf8_, utf8_, utf8_ + length);
  }

  HANDLE console_;
  bool ended_ = false;
  wchar_t high_surrogate_ = L'\0';
  char utf8_[3 * WIDE_SIZE];  // each UTF-16 unit is at most three bytes of UTF-8
};

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0;
}

bool output_is_console() {
  static const bool console = is_console(GetStdHandle(STD_OUTPUT_HANDLE));
  return console;
}

// The length of the longest start of `text` that ends with a whole UTF-8 character.
std::size_t whole_characters(const std::string& text) {
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xc0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
    return length > back ? text.size() - back : text.size();
  }
  return text.size();
}

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
         virtual_key == VK_INSERT || virtual_key == VK_DELETE || virtual_key == VK_ESCAPE ||
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
  // Answers from a file or a pipe are bytes: text mode would end them at a Ctrl+Z byte, which
  // UTF-16 answers may hold inside a character.
  _setmode(0, _O_BINARY);
  g_break_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(note_break, TRUE);
  return output_was_closed;
}

std::istream& standard_input() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!is_console(input)) return std::cin;
  static ConsoleInput console(input);
  static std::istream stream(&console);
  return stream;
}

bool write_standard_output(const char* text, std::size_t length) {
  if (!output_is_console()) return std::fwrite(text, 1, length, stdout) == length;
  static std::string pending;  // the start of a character whose other bytes are still to come
  pending.append(text, length);
  const std::size_t whole = whole_characters(pending);
  std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(
                        CP_UTF8, 0, pending.data(), static_cast<int>(whole), nullptr, 0)),
                    L'\0');
  MultiByteToWideChar(CP_UTF8, 0, pending.data(), static_cast<int>(whole), wide.data(),
                      static_cast<int>(wide.size()));
  pending.erase(0, whole);
  for (std::size_t at = 0; at < wide.size();) {
    DWORD written = 0;
    if (!WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), wide.data() + at,
                       static_cast<DWORD>(wide.size() - at), &written, nullptr) ||
        written == 0) {
      errno = EIO;
      return false;
    }
    at += written;
  }
  return true;
}

bool flush_standard_output() { return output_is_console() || std::fflush(stdout) == 0; }

std::string name_for_console(const std::string& name, bool escaped) {
  // Redirected output keeps the bytes as they were read; only C0 and DEL are escaped there.
  std::filesystem::path path;
  std::string reason;
  if (!output_is_console() || !system_name(name, path, reason)) {
    return escaped ? escaped_controls(name) : name;
  }
  // On the console, the characters the name denotes, as UTF-8 (see write_standard_output), and
  // in a message escaped as on a terminal that reads UTF-8.
  const std::wstring& wide = path.native();
  const int wide_length = static_cast<int>(wide.size());
  std::string text(static_cast<std::size_t>(WideCharToMultiByte(
                       CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, text.data(),
                      static_cast<int>(text.size()), nullptr, nullptr);
  return escaped ? escaped_utf8(text) : text;
}

bool console_closes_with_this_process() {
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;  // Explorer is not on the console
}

bool ends_key_wait(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT) return false;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  // Alt+Numpad entry and pasted characters the keyboard lacks arrive on Alt's release.
  if (!key.bKeyDown) return key.wVirtualKeyCode == VK_MENU && key.uChar.UnicodeChar != 0;
  return key.uChar.UnicodeChar != 0 || is_special_key(key.wVirtualKeyCode);
}

void wait_for_key() {
  // A console without a window (a program started with CREATE_NO_WINDOW, a scheduled task) has
  // no one to press a key. Windows Terminal's pseudo-console has a window handle.
  if (GetConsoleWindow() == nullptr) return;
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

  // Keys typed before the wait do not count. They go before the mode changes: the change is
  // what shows the wait has begun, and a key pressed after it must not be discarded.
  FlushConsoleInputBuffer(console);
  // One key, unechoed, without Enter; Ctrl+C is a key like any other; keys arrive as key
  // events, not as escape sequences.
  SetConsoleMode(console, mode & ~(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT |
                                   ENABLE_VIRTUAL_TERMINAL_INPUT));
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
