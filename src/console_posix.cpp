// The key wait on a POSIX terminal: the controlling terminal in raw mode for one key.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "console.h"

namespace quodrel {

namespace {

// Signals that end the process during the wait; their handler puts the terminal back first.
constexpr int ENDING_SIGNALS[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr int ENDING_SIGNAL_COUNT = sizeof ENDING_SIGNALS / sizeof ENDING_SIGNALS[0];

// What the handler needs: set before raw mode begins, cleared after it ends.
int g_terminal = -1;
termios g_saved_settings;
volatile std::sig_atomic_t g_raw_mode = 0;

extern "C" void restore_terminal_and_reraise(int signal_number) {
  if (g_raw_mode) tcsetattr(g_terminal, TCSANOW, &g_saved_settings);
  struct sigaction default_action = {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal_number, &default_action, nullptr);
  raise(signal_number);  // blocked until this handler returns, then ends the process
}

// Reads one key. A special key sends a sequence (F5 is ESC [ 1 5 ~); the rest of it is read too,
// so that none of it reaches the shell after the program ends.
void read_one_key(int terminal, const termios& raw) {
  unsigned char key;
  ssize_t got;
  do {
    got = read(terminal, &key, 1);
  } while (got < 0 && errno == EINTR);
  if (got != 1 || key != 0x1b) return;
  termios draining = raw;
  draining.c_cc[VMIN] = 0;   // return what has come ...
  draining.c_cc[VTIME] = 1;  // ... once 0.1 s passes without a byte: a lone ESC ends here
  if (tcsetattr(terminal, TCSANOW, &draining) != 0) return;
  unsigned char rest[64];
  while (read(terminal, rest, sizeof rest) > 0) {
  }
}

}  // namespace

void wait_for_key() {
  const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) return;  // no controlling terminal: nothing to wait on
  termios saved;
  if (tcgetattr(terminal, &saved) != 0) {
    close(terminal);
    return;
  }

  // Catch the ending signals for the wait, keeping any that the caller chose to ignore (nohup).
  g_terminal = terminal;
  g_saved_settings = saved;
  struct sigaction previous[ENDING_SIGNAL_COUNT];
  struct sigaction restoring = {};
  restoring.sa_handler = restore_terminal_and_reraise;
  sigemptyset(&restoring.sa_mask);
  for (int signal_number : ENDING_SIGNALS) sigaddset(&restoring.sa_mask, signal_number);
  for (int i = 0; i < ENDING_SIGNAL_COUNT; ++i) {
    sigaction(ENDING_SIGNALS[i], nullptr, &previous[i]);
    if (previous[i].sa_handler != SIG_IGN) sigaction(ENDING_SIGNALS[i], &restoring, nullptr);
  }

  termios raw = saved;
  raw.c_lflag &= ~(ECHO | ICANON | IEXTEN | ISIG);  // no echo, no line editing, Ctrl-C is a key
  raw.c_iflag &= ~(IXON | ICRNL | BRKINT | INPCK | ISTRIP);  // Ctrl-S and Ctrl-Q are keys too
  raw.c_cc[VMIN] = 1;  // block until one byte arrives
  raw.c_cc[VTIME] = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_raw_mode = 1;
  // TCSAFLUSH drops keys typed before the wait began, so only a new key ends it.
  if (tcsetattr(terminal, TCSAFLUSH, &raw) == 0) read_one_key(terminal, raw);
  tcsetattr(terminal, TCSAFLUSH, &saved);  // also drops any rest of what the key sent
  g_raw_mode = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);

  for (int i = 0; i < ENDING_SIGNAL_COUNT; ++i) sigaction(ENDING_SIGNALS[i], &previous[i], nullptr);
  close(terminal);
}

}  // namespace quodrel
