// The built quodrel.exe on the Windows console that these tests share with it, fed with input
// records (WriteConsoleInputW). What only this level shows: the key wait's real code on a console
// input buffer, answers typed on the console, and the console's modes before and after. Under
// wine a console exists only on a terminal: CTest runs these through test/with-terminal.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "dialogue_texts.h"
#include "input_records_win32.h"
#include "test_support.h"

namespace quodrel {
namespace {

using namespace std::chrono_literals;
using namespace test;
namespace fs = std::filesystem;


// Each character of `text` pressed and released, as the keyboard sends it; '\r' is Enter.
std::vector<INPUT_RECORD> typed(const std::wstring& text) {
  std::vector<INPUT_RECORD> records;
  for (const wchar_t c : text) {
    const WORD virtual_key = c == L'\r' ? VK_RETURN : c == 0x1a ? 'Z' : 0;
    const DWORD control_keys = c == 0x1a ? LEFT_CTRL_PRESSED : 0;
    records.push_back(key(true, virtual_key, c, control_keys));
    records.push_back(key(false, virtual_key, c, control_keys));
  }
  return records;
}

HANDLE console_input() {
  static const HANDLE console =
      CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  return console;
}

DWORD input_mode(HANDLE console = console_input()) {
  DWORD mode = 0;
  GetConsoleMode(console, &mode);
  return mode;
}

bool send(const std::vector<INPUT_RECORD>& records, HANDLE console = console_input()) {
  DWORD written = 0;
  return WriteConsoleInputW(console, records.data(), static_cast<DWORD>(records.size()),
                            &written) &&
         written == records.size();
}

// A whole file, by its wide name: a narrow name would be read in the ANSI code page.
std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Text as the program writes it to a file in the console's text mode: with CR LF.
std::string console_text(const std::string& text) {
  std::string result;
  for (const char c : text) result += c == '\n' ? "\r\n" : std::string(1, c);
  return result;
}

// quodrel.exe beside this test program's folder, as the build puts it.
std::wstring program_path() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return (fs::path(path).parent_path().parent_path() / "quodrel.exe").wstring();
}

HANDLE inheritable(const fs::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One start of quodrel.exe on this console, in a folder of its own, with its output in a file.
// Its answers come from a file, or, when `answers` is empty, from the console.
class ConsoleRun {
 public:
  // Where output goes: a file, or the console's screen.
  enum class Output { file, screen };

  ConsoleRun(const std::string& folder, const std::string& answers, DWORD creation_flags = 0,
             Output shown = Output::file)
      : folder_(folder), input_mode_before_(input_mode()) {
    write_file(folder + "/answers", answers);
    const HANDLE input = answers.empty() ? inheritable(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                                       OPEN_EXISTING)
                                         : inheritable(folder + "/answers", GENERIC_READ,
                                                       OPEN_EXISTING);
    const HANDLE output =
        shown == Output::screen
            ? inheritable(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING)
            : inheritable(folder + "/output", GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring command = L"\"" + program_path() + L"\"";
    const std::wstring current_folder = fs::path(folder).wstring();
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, creation_flags,
                              nullptr, current_folder.c_str(), &startup, &process_);
    CloseHandle(input);
    CloseHandle(output);
  }

  ~ConsoleRun() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
      // A run ended here may have left the console in its key wait's mode, with keys unread:
      // the console is shared, so the next case starts from the state this one found.
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
      FlushConsoleInputBuffer(console_input());
      SetConsoleMode(console_input(), input_mode_before_);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }

  bool started() const { return started_; }

  void resume() { ResumeThread(process_.hThread); }

  // Waits until the console has left line input, that is, until the key wait has begun.
  bool wait_for_key_wait(std::chrono::milliseconds limit = 10s, HANDLE console = console_input()) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while ((input_mode(console) & ENABLE_LINE_INPUT) != 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }

  bool still_running_after(std::chrono::milliseconds time) {
    return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(time.count())) ==
           WAIT_TIMEOUT;
  }

  // The exit status, once the run has ended within `limit`; -1 if it has not.
  long exit_status(std::chrono::milliseconds limit = 10s) {
    DWORD status = 0;
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) !=
            WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_.hProcess, &status)) {
      return -1;
    }
    return static_cast<long>(status);
  }

  std::string output() const { return read_file(folder_ + "/output"); }

 private:
  std::string folder_;
  DWORD input_mode_before_;
  bool started_ = false;
  PROCESS_INFORMATION process_{};
};

// Only a key that yields a character, a special key, or Alt's release with a character ends the
// wait: an Enter typed ahead, key releases, Shift alone and focus events do not. The console's
// input mode is what it was before.
TEST(ConsoleKeyWait, OnlyARealKeyEndsTheWait) {
  struct Case {
    const char* what;
    std::vector<INPUT_RECORD> ending;
  };
  const Case cases[] = {
      {"a letter", {key(true, 'X', L'x')}},
      {"F5", {key(true, VK_F5, 0)}},
      {"Esc without a character", {key(true, VK_ESCAPE, 0)}},
      {"Alt+Numpad 0233 (\xc3\xa9)",
       {key(true, VK_MENU, 0, LEFT_ALT_PRESSED), key(true, VK_NUMPAD0, 0, LEFT_ALT_PRESSED),
        key(false, VK_NUMPAD0, 0, LEFT_ALT_PRESSED), key(true, VK_NUMPAD2, 0, LEFT_ALT_PRESSED),
        key(false, VK_NUMPAD2, 0, LEFT_ALT_PRESSED), key(true, VK_NUMPAD3, 0, LEFT_ALT_PRESSED),
        key(false, VK_NUMPAD3, 0, LEFT_ALT_PRESSED), key(true, VK_NUMPAD3, 0, LEFT_ALT_PRESSED),
        key(false, VK_NUMPAD3, 0, LEFT_ALT_PRESSED), key(false, VK_MENU, 0xe9)}},
  };
  const std::vector<INPUT_RECORD> not_ending = {
      key(true, VK_SHIFT, 0, SHIFT_PRESSED), key(false, VK_SHIFT, 0), key(false, 'A', L'a'),
      event_of_type(FOCUS_EVENT), key(true, VK_MENU, 0, LEFT_ALT_PRESSED), key(false, VK_MENU, 0)};
  for (const Case& c : cases) {
    ScratchDir dir;
    const DWORD mode_before = input_mode();
    ASSERT_TRUE(send(typed(L"\r")));  // an Enter typed ahead, before the wait begins
    ConsoleRun run(dir.root(), approved("typical.answers"));
    ASSERT_TRUE(run.started()) << c.what;
    ASSERT_TRUE(run.wait_for_key_wait()) << c.what << ": " << run.output();
    ASSERT_TRUE(send(not_ending));
    EXPECT_TRUE(run.still_running_after(300ms)) << c.what << ": ended without a key";
    ASSERT_TRUE(send(c.ending));
    EXPECT_EQ(run.exit_status(), 0) << c.what;
    EXPECT_EQ(input_mode(), mode_before) << c.what;
    EXPECT_EQ(tail(run.output(), console_text(PRESS_ANY_KEY).size()), console_text(PRESS_ANY_KEY))
        << c.what;
    EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt")) << c.what;
    FlushConsoleInputBuffer(console_input());
  }
}

// A console without a window (a program that starts it with CREATE_NO_WINDOW) has no one to press
// a key: the wait ends at once.
TEST(ConsoleKeyWait, NoWaitOnAConsoleWithoutAWindow) {
  ScratchDir dir;
  ConsoleRun run(dir.root(), approved("typical.answers"), CREATE_NO_WINDOW);
  ASSERT_TRUE(run.started());
  EXPECT_EQ(run.exit_status(), 0) << "still waiting for a key";
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
}

// Names typed on the console are read as the characters the console holds, whatever its input
// code page, and become exactly those file names.
TEST(ConsoleAnswers, ATypedNameKeepsItsCharactersInEveryCodePage) {
  const UINT code_page_before = GetConsoleCP();
  for (const UINT code_page : {code_page_before, 850u, 1252u, 65001u}) {
    ASSERT_TRUE(SetConsoleCP(code_page)) << code_page;
    ScratchDir dir;
    ConsoleRun run(dir.root(), "");
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(send(typed(L"100 2 1 0.05 10 20 Pr\u00fcfung.txt Ma\u00df\u20ac.txt\r")));
    ASSERT_TRUE(run.wait_for_key_wait()) << code_page << ": " << run.output();
    ASSERT_TRUE(send(typed(L"x")));
    EXPECT_EQ(run.exit_status(), 0) << code_page;
    std::string listing;
    for (const auto& entry : fs::directory_iterator(dir.root())) {
      listing += entry.path().filename().u8string() + " ";
    }
    EXPECT_EQ(read_file(fs::path(dir.root()) / L"Pr\u00fcfung.txt"), approved("typical_peak.txt"))
        << code_page << ": " << listing;
    EXPECT_EQ(read_file(fs::path(dir.root()) / L"Ma\u00df\u20ac.txt"), approved("typical_grms.txt"))
        << code_page << ": " << listing;
  }
  SetConsoleCP(code_page_before);
}

// The console's screen as text, row by row.
std::wstring screen_text() {
  const HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(screen, &info);
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  std::wstring text(cells, L' ');
  DWORD read = 0;
  ReadConsoleOutputCharacterW(screen, text.data(), cells, COORD{0, 0}, &read);
  CloseHandle(screen);
  text.resize(read);
  return text;
}

// On the console, the summary shows the characters of a name that the user wrote, whatever the
// encoding of the answers and the console's output code page.
TEST(ConsoleAnswers, TheSummaryShowsNamesLegiblyOnTheConsole) {
  const UINT code_page_before = GetConsoleOutputCP();
  for (const UINT code_page : {850u, 1252u, 65001u}) {
    ASSERT_TRUE(SetConsoleOutputCP(code_page)) << code_page;
    ScratchDir dir;
    ConsoleRun run(dir.root(), read_file(TEST_DIR "/answers/names-utf16le.answers"), 0,
                   ConsoleRun::Output::screen);
    ASSERT_TRUE(run.started());
    ASSERT_TRUE(run.wait_for_key_wait()) << code_page;
    const std::wstring screen = screen_text();
    ASSERT_TRUE(send(typed(L"x")));
    EXPECT_EQ(run.exit_status(), 0) << code_page;
    EXPECT_NE(screen.find(L" Pr\u00fcfung.txt:  natural frequency (Hz)   accel (G peak)"),
              std::wstring::npos)
        << code_page;
    EXPECT_NE(screen.find(L" Ma\u00df.txt:  natural frequency (Hz)   accel (GRMS)"),
              std::wstring::npos)
        << code_page;
  }
  SetConsoleOutputCP(code_page_before);
}

// On the console, a message shows the characters of a name, with every character that could
// control the screen written as its UTF-8 bytes, \xNN, as on a terminal on Linux.
TEST(ConsoleAnswers, AMessageShowsANameLegiblyWithItsControlsEscaped) {
  ScratchDir dir;
  ConsoleRun run(dir.root(),
                 "100 2 1 0.05 10 20 Pr\xc3\xbc" "f\x1b[2J\xc2\x85no\\such\\pk.txt rms.txt", 0,
                 ConsoleRun::Output::screen);
  ASSERT_TRUE(run.started());
  EXPECT_EQ(run.exit_status(), 2);
  const std::wstring screen = screen_text();
  // The reason is the system's: Windows takes no control characters in a name.
  EXPECT_NE(screen.find(L" Error:  Pr\u00fcf\\x1b[2J\\xc2\\x85no\\such\\pk.txt: "),
            std::wstring::npos)
      << std::string(screen.begin(), screen.end());
}

// Ctrl+Z Enter ends the answers for good: no later question waits for more.
TEST(ConsoleAnswers, CtrlZIsALastingEndOfInput) {
  ScratchDir dir;
  ConsoleRun run(dir.root(), "");
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(send(typed(L"100\r\x1a\r")));
  EXPECT_EQ(run.exit_status(), 1) << "a later question waited for more: " << run.output();
  EXPECT_EQ(tail(run.output(), console_text(Q_PROMPT + REFUSAL).size()),
            console_text(Q_PROMPT + REFUSAL));
}

// Started on a console of its own, as a double-click in Explorer starts it, a run that ends with
// an error keeps its message on screen until a key is pressed: the window closes with the process.
// To be quodrel.exe's console alone, this process starts it suspended and leaves the console,
// keeping a handle to its input; it cannot come back, so each case needs a process of its own, as
// CTest gives every test.
void expect_error_waits_for_a_key(const std::string& answers, long status,
                                  const std::string& ending) {
  static bool left_console = false;
  if (left_console) GTEST_SKIP() << "this process has left its console: run each test alone";
  ScratchDir dir;
  const HANDLE console = console_input();
  ConsoleRun run(dir.root(), answers, CREATE_SUSPENDED);
  ASSERT_TRUE(run.started());
  left_console = FreeConsole();
  run.resume();
  ASSERT_TRUE(run.wait_for_key_wait(10s, console)) << "no key wait: " << run.output();
  EXPECT_TRUE(run.still_running_after(300ms));
  EXPECT_EQ(tail(run.output(), console_text(ending).size()), console_text(ending));
  ASSERT_TRUE(send(typed(L"x"), console));
  EXPECT_EQ(run.exit_status(), status);
}

TEST(ConsoleErrorsOnAConsoleOfItsOwn, ARefusalWaitsForAKey) {
  expect_error_waits_for_a_key("100 2 1 1", 1, REFUSAL + PRESS_ANY_KEY);
}

TEST(ConsoleErrorsOnAConsoleOfItsOwn, ATableFailureWaitsForAKey) {
  expect_error_waits_for_a_key("100 2 1 0.05 10 20 no\\such\\folder\\pk.txt rms.txt", 2,
                               ": No such file or directory \n" + PRESS_ANY_KEY);
}

}  // namespace
}  // namespace quodrel
