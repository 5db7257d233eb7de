// The console on POSIX: the standard streams made safe at start, and the key wait on the
// controlling terminal in raw mode.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "console.h"
#include "escaped_text.h"

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

// The controlling terminal's own device (/dev/pts/3), opened for reading, or -1. Not /dev/tty,
// which is one file for every terminal: a lock on it would make runs on other terminals wait.
int open_terminal_device() {
  for (int descriptor = 0; descriptor < 3; ++descriptor) {
    if (isatty(descriptor) && tcgetsid(descriptor) == getsid(0)) {
      if (const char* name = ttyname(descriptor)) return open(name, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    }
  }
  // None of the standard streams is on it: on Linux, look for the node with its device number,
  // the seventh field of /proc/self/stat (after the command name, which may hold blanks).
  std::FILE* process = std::fopen("/proc/self/stat", "re");
  if (process == nullptr) return -1;
  char line[1024];
  const bool read = std::fgets(line, sizeof line, process) != nullptr;
  std::fclose(process);
  const char* after_name = read ? std::strrchr(line, ')') : nullptr;
  unsigned long device = 0;
  if (after_name == nullptr || std::sscanf(after_name, ") %*c %*d %*d %*d %lu", &device) != 1 ||
      device == 0) {
    return -1;
  }
  for (const char* folder : {"/dev/pts/", "/dev/"}) {
    DIR* entries = opendir(folder);
    if (entries == nullptr) continue;
    std::string found;
    while (const dirent* entry = readdir(entries)) {
      const std::string path = std::string(folder) + entry->d_name;
      struct stat status;
      if (stat(path.c_str(), &status) == 0 && S_ISCHR(status.st_mode) &&
          status.st_rdev == static_cast<dev_t>(device)) {
        found = path;
        break;
      }
    }
    closedir(entries);
    if (!found.empty()) return open(found.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  }
  return -1;
}

// Whether this process may use the terminal now: a run in the background of its terminal would
// be stopped by job control at the first change of settings, and never end by itself.
bool in_foreground(int terminal) { return tcgetpgrp(terminal) == getpgrp(); }

}  // namespace

bool prepare_standard_streams() {
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe fails the write; the tables are still written
  bool output_was_closed = false;
  for (int descriptor = 0; descriptor < 3; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free number, which is this one.
    if (open("/dev/null", O_RDWR) == descriptor && descriptor == 1) output_was_closed = true;
  }
  return output_was_closed;
}

std::istream& standard_input() { return std::cin; }

bool write_standard_output(const char* text, std::size_t length) {
  return std::fwrite(text, 1, length, stdout) == length;
}

bool flush_standard_output() { return std::fflush(stdout) == 0; }

std::string name_for_console(const std::string& name, bool escaped) {
  return escaped ? escaped_utf8(name) : name;  // a terminal today reads UTF-8
}

bool console_closes_with_this_process() { return false; }

void wait_for_key() {
  const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) return;  // no controlling terminal: nothing to wait on
  // Runs that wait on one terminal take turns, each saving and restoring the settings in turn,
  // so that the terminal ends as it was before the first. The lock goes with the descriptor.
  const int turn = in_foreground(terminal) ? open_terminal_device() : -1;
  if (turn >= 0) {
    while (flock(turn, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  termios saved;
  if (!in_foreground(terminal) || tcgetattr(terminal, &saved) != 0) {
    if (turn >= 0) close(turn);
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
  raw.c_iflag &= ~(IXON | BRKINT);  // Ctrl-S and Ctrl-Q are keys; a break is not an interrupt
  raw.c_iflag &= ~(ICRNL | INPCK | ISTRIP);  // each byte arrives as the key sent it, all 8 bits
  raw.c_cc[VMIN] = 1;  // block until one byte arrives
  raw.c_cc[VTIME] = 0;
  // The handler may run between any two statements: the compiler must not move the store of the
  // saved settings (an ordinary variable) after the flag that tells the handler to use them.
  // Clearing the flag needs no fence: it cannot move before tcsetattr, a call it cannot see into.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_raw_mode = 1;
  // TCSAFLUSH drops keys typed before the wait began, so only a new key ends it.
  if (tcsetattr(terminal, TCSAFLUSH, &raw) == 0) read_one_key(terminal, raw);
  tcsetattr(terminal, TCSAFLUSH, &saved);  // also drops any rest of what the key sent
  g_raw_mode = 0;

  for (int i = 0; i < ENDING_SIGNAL_COUNT; ++i) sigaction(ENDING_SIGNALS[i], &previous[i], nullptr);
  if (turn >= 0) close(turn);  // the next run's turn
  close(terminal);
}

}  // namespace quodrel
