// The built program as a separate process, with its real exit status, files and terminal: one
// launcher for every such test, with no terminal at all or with a new pseudo-terminal (POSIX).
#ifndef QUODREL_TEST_PROGRAM_RUN_H
#define QUODREL_TEST_PROGRAM_RUN_H

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "test_support.h"

namespace quodrel::test {

using namespace std::chrono_literals;

enum class Terminal {
  none,    // no controlling terminal: the key wait ends at once
  pseudo,  // a new pseudo-terminal is the controlling terminal, standard output and error
};

struct Launch {
  std::string folder;   // the current folder of the run
  std::string answers;  // the bytes of the answers file, $ANSWERS
  // A bash command line, with $QUODREL the built program. Without a terminal, standard input is
  // the null device, and standard output and error are kept for output() and errors().
  std::string command = "exec \"$QUODREL\" < \"$ANSWERS\"";
  Terminal terminal = Terminal::none;
  uid_t as_user = 0;  // as root, run a copy of the program as this user (the folder opened to all)
};

// How a run ended, for EXPECT_TRUE(exited_with(session, 0)): says how it ended otherwise.
struct Ending {
  bool ended = false;
  int exit_status = -1;  // -1 unless it exited
  int signal = 0;        // the signal that ended it, 0 if none
};
testing::AssertionResult exited_with(const Ending& ending, int status);

// A started run. Every wait is bounded, the child has alarm(30), and the destructor kills a run
// that is still going.
class ProgramSession {
 public:
  explicit ProgramSession(const Launch& launch);
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Waits for the run to end, for at most `limit`; then takes the rest of its output.
  bool wait_for_exit(std::chrono::milliseconds limit = 30s);
  const Ending& ending() const { return ending_; }
  bool still_running_after(std::chrono::milliseconds time);

  // What the run wrote: on the terminal, or to standard output and error without one.
  const std::string& output() const { return output_; }
  const std::string& errors() const { return errors_; }
  std::string output_after(const std::string& text) const;

  // With a terminal: collects its output until `text` has appeared in it `times` times, for at
  // most `limit`.
  bool wait_for_output(const std::string& text, std::chrono::milliseconds limit = 10s,
                       int times = 1);
  // Waits until the terminal's echo is off, that is, until a key wait has begun.
  bool wait_for_raw_mode(std::chrono::milliseconds limit = 10s);
  void type(const std::string& keys);
  termios settings() const;
  bool settings_restored() const;  // the terminal's settings are those it had at the start
  // Bytes typed on the terminal that nobody has read: what the shell would get after the exit.
  std::string unread_input() const;

 private:
  bool read_terminal_until(std::chrono::steady_clock::time_point deadline);
  bool reap(int options);

  ScratchDir private_;  // the answers, the captured output, a copy of the program
  int master_ = -1;
  int terminal_ = -1;  // the pseudo-terminal, to inspect it from here
  termios settings_before_{};
  pid_t pid_ = -1;
  Ending ending_;
  std::string output_;
  std::string errors_;
};

// Runs the program to its end with no terminal, with `answers` as standard input.
struct ProgramRun : Ending {
  std::string output;
  std::string errors;
};
ProgramRun run_program(const Launch& launch);
ProgramRun run_program(const std::string& answers, const std::string& folder);

}  // namespace quodrel::test

#endif
