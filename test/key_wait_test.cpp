// The built program under a pseudo-terminal, its answers redirected from a file: the key wait
// must read the terminal, not the rest of standard input. Every wait here is bounded.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"

namespace quodrel {
namespace {

using namespace std::chrono_literals;
using test::approved;
using test::read_file;
using test::ScratchDir;
using test::write_file;

// The terminal shows each line break as CR LF, so look for the text alone.
const char PRESS_ANY_KEY[] = " Press any key to exit.";

// The program started with a pseudo-terminal as its controlling terminal and standard output,
// and an answers file as standard input; without answers, the terminal is standard input too.
class TerminalSession {
 public:
  explicit TerminalSession(const ScratchDir& dir, const char* answers = nullptr) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const std::string terminal_name = ptsname(master_);
    terminal_ = open(terminal_name.c_str(), O_RDWR | O_NOCTTY);  // to inspect it from here
    if (terminal_ < 0 || tcgetattr(terminal_, &settings_before_) != 0) return;
    if (answers != nullptr) write_file(dir.path(".answers"), answers);
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      alarm(30);  // a stuck program ends anyway
      const int terminal = open(terminal_name.c_str(), O_RDWR);  // becomes the controlling one
      const int in = answers != nullptr ? open(dir.path(".answers").c_str(), O_RDONLY) : terminal;
      if (terminal < 0 || in < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0 || dup2(in, 0) < 0 ||
          dup2(terminal, 1) < 0 || dup2(terminal, 2) < 0 || chdir(dir.root().c_str()) != 0) {
        _exit(126);
      }
      execl(QUODREL_PROGRAM, QUODREL_PROGRAM, static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  ~TerminalSession() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) close(terminal_);
    if (master_ >= 0) close(master_);
  }

  // Collects the terminal's output until `text` has appeared in it, for at most `limit`.
  bool wait_for_output(const std::string& text, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (output_.find(text) == std::string::npos) {
      if (!read_output_until(deadline)) return false;
    }
    return true;
  }

  // Waits until the program has switched echo off, that is, until its key wait has begun.
  bool wait_for_raw_mode(std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      if ((settings().c_lflag & ECHO) == 0) return true;
      std::this_thread::sleep_for(5ms);
    }
    return false;
  }

  // Whether the program is still running after `time` has passed.
  bool still_running_after(std::chrono::milliseconds time) {
    std::this_thread::sleep_for(time);
    return !reap(WNOHANG);
  }

  // Waits for the program to end, for at most `limit`; then takes the rest of its output.
  bool wait_for_exit(std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!reap(WNOHANG)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(5ms);
    }
    while (read_output_until(std::chrono::steady_clock::now() + 50ms)) {
    }
    return true;
  }

  void type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  termios settings() const {
    termios now{};
    tcgetattr(terminal_, &now);
    return now;
  }

  bool settings_restored() const {
    const termios now = settings();
    return now.c_iflag == settings_before_.c_iflag && now.c_oflag == settings_before_.c_oflag &&
           now.c_lflag == settings_before_.c_lflag && now.c_cflag == settings_before_.c_cflag &&
           now.c_cc[VMIN] == settings_before_.c_cc[VMIN] &&
           now.c_cc[VTIME] == settings_before_.c_cc[VTIME];
  }

  // Bytes typed on the terminal that nobody has read: what the shell would get after the exit.
  // Read without line mode, which would hide a partial line.
  std::string unread_input() const {
    termios raw = settings();
    raw.c_lflag &= ~ICANON;
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcsetattr(terminal_, TCSANOW, &raw);
    std::string unread;
    char buffer[256];
    for (ssize_t got; (got = read(terminal_, buffer, sizeof buffer)) > 0;) unread.append(buffer, got);
    return unread;
  }

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  int status() const { return status_; }
  const std::string& output() const { return output_; }
  std::string output_after(const std::string& text) const {
    const std::size_t at = output_.find(text);
    return at == std::string::npos ? "(not found)" : output_.substr(at + text.size());
  }

 private:
  bool read_output_until(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready = {master_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) != 1) return false;
    char buffer[4096];
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) return false;
    output_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  bool reap(int options) {
    if (ended_) return true;
    if (waitpid(pid_, &status_, options) != pid_) return false;
    ended_ = true;
    return true;
  }

  int master_ = -1;
  int terminal_ = -1;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
  termios settings_before_{};
  std::string output_;
};

// Answers for the typical run, followed by text that a key wait on standard input would take.
const char ANSWERS_AND_MORE[] = "100\n2\n1\n0.05\n10\n20\npk.txt\nrms.txt\nmore\nlines\n";

// Starts a session and brings it to the key wait.
void start_and_reach_key_wait(TerminalSession& session) {
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.wait_for_output(PRESS_ANY_KEY)) << session.output();
  ASSERT_TRUE(session.wait_for_raw_mode());
}

TEST(KeyWait, WaitsForOneKeyOnTheTerminalWithoutEcho) {
  ScratchDir dir;
  TerminalSession session(dir, ANSWERS_AND_MORE);
  start_and_reach_key_wait(session);
  EXPECT_TRUE(session.still_running_after(300ms)) << "the rest of standard input ended the wait";
  // Both tables are complete on disk while the program waits.
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt"));

  session.type("x");
  ASSERT_TRUE(session.wait_for_exit());
  EXPECT_TRUE(WIFEXITED(session.status()) && WEXITSTATUS(session.status()) == 0);
  EXPECT_EQ(session.output_after(PRESS_ANY_KEY), "") << "the key was echoed";
  EXPECT_TRUE(session.settings_restored());
}

// Typed at the terminal: each prompt shows before its answer is read, and an extra Enter typed
// with the last answer does not end the wait.
TEST(KeyWait, InteractiveSession) {
  ScratchDir dir;
  TerminalSession session(dir);
  ASSERT_TRUE(session.started());
  const char* const prompts_and_answers[][2] = {
      {"Enter excitation frequency (Hz)", "100"},
      {"Enter input amplitude (G)", "2"},
      {"1= damping ratio   2= Q", "1"},
      {"Enter damping ratio (typically 0.05) ", "0.05"},
      {"Enter starting analysis frequency (Hz)", "10"},
      {"Enter final analysis frequency (Hz)", "20"},
      {"Enter the output filename for peak G response:", "pk.txt"},
      {"Enter the output filename for GRMS response:", "rms.txt\r"},
  };
  for (const auto& [prompt, answer] : prompts_and_answers) {
    ASSERT_TRUE(session.wait_for_output(prompt)) << session.output();
    session.type(std::string(answer) + "\r");
  }
  ASSERT_TRUE(session.wait_for_output(PRESS_ANY_KEY)) << session.output();
  ASSERT_TRUE(session.wait_for_raw_mode());
  EXPECT_TRUE(session.still_running_after(300ms)) << "the extra Enter ended the wait";
  session.type("q");
  ASSERT_TRUE(session.wait_for_exit());
  EXPECT_TRUE(WIFEXITED(session.status()) && WEXITSTATUS(session.status()) == 0);
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt"));
  EXPECT_TRUE(session.settings_restored());
}

TEST(KeyWait, SpecialKeysAreConsumedWhole) {
  struct Case {
    const char* name;
    const char* first;  // the bytes of the key, in two parts that arrive 30 ms apart
    const char* rest;
  };
  const Case cases[] = {
      {"cursor up", "\x1b[A", ""},
      {"F5", "\x1b[15~", ""},
      {"F5, slowly", "\x1b", "[15~"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    TerminalSession session(dir, ANSWERS_AND_MORE);
    start_and_reach_key_wait(session);
    session.type(c.first);
    std::this_thread::sleep_for(30ms);
    if (*c.rest != '\0') session.type(c.rest);
    ASSERT_TRUE(session.wait_for_exit()) << c.name;
    EXPECT_TRUE(WIFEXITED(session.status()) && WEXITSTATUS(session.status()) == 0) << c.name;
    EXPECT_TRUE(session.settings_restored()) << c.name;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(session.unread_input(), "") << c.name << ": left for the shell";
  }
}

TEST(KeyWait, SignalKeysAreOrdinaryKeys) {
  for (const char* key : {"\x03", "\x1c", "\x1a", "\r"}) {  // Ctrl-C, Ctrl-\, Ctrl-Z, Enter
    ScratchDir dir;
    TerminalSession session(dir, ANSWERS_AND_MORE);
    start_and_reach_key_wait(session);
    session.type(key);
    ASSERT_TRUE(session.wait_for_exit()) << int{key[0]};
    EXPECT_TRUE(WIFEXITED(session.status()) && WEXITSTATUS(session.status()) == 0) << int{key[0]};
    EXPECT_TRUE(session.settings_restored()) << int{key[0]};
  }
}

TEST(KeyWait, EndingSignalsRestoreTheTerminalFirst) {
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
    ScratchDir dir;
    TerminalSession session(dir, ANSWERS_AND_MORE);
    start_and_reach_key_wait(session);
    kill(session.pid(), signal_number);
    ASSERT_TRUE(session.wait_for_exit()) << strsignal(signal_number);
    EXPECT_TRUE(WIFSIGNALED(session.status()) && WTERMSIG(session.status()) == signal_number)
        << strsignal(signal_number);
    EXPECT_TRUE(session.settings_restored()) << strsignal(signal_number);
  }
}

TEST(KeyWait, WindowResizeIsNotAKey) {
  ScratchDir dir;
  TerminalSession session(dir, ANSWERS_AND_MORE);
  start_and_reach_key_wait(session);
  kill(session.pid(), SIGWINCH);
  EXPECT_TRUE(session.still_running_after(300ms));
  session.type(" ");
  ASSERT_TRUE(session.wait_for_exit());
  EXPECT_TRUE(WIFEXITED(session.status()) && WEXITSTATUS(session.status()) == 0);
}

}  // namespace
}  // namespace quodrel
