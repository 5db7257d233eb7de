// The built program under a pseudo-terminal. What only this level shows: the key wait on the
// real terminal device (not standard input), its raw mode and its restoring, job control, and
// runs that share one terminal. Every wait here is bounded.
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "dialogue_texts.h"
#include "program_run.h"
#include "test_support.h"

namespace quodrel {
namespace {

using namespace test;

// The terminal shows each line break as CR LF, so look for the text alone.
const std::string PRESS_ANY_KEY_TEXT = PRESS_ANY_KEY.substr(2);

// Answers for the typical run, followed by text that a key wait on standard input would take.
std::string answers_and_more() { return approved("typical.answers") + "more\nlines\n"; }

Launch on_terminal(const ScratchDir& dir, const std::string& command = Launch().command) {
  Launch launch;
  launch.folder = dir.root();
  launch.answers = answers_and_more();
  launch.command = command;
  launch.terminal = Terminal::pseudo;
  return launch;
}

// Brings a started session to its key wait.
void reach_key_wait(ProgramSession& session) {
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.wait_for_output(PRESS_ANY_KEY_TEXT)) << session.output();
  ASSERT_TRUE(session.wait_for_raw_mode());
}

TEST(KeyWait, WaitsForOneKeyOnTheTerminalWithoutEcho) {
  ScratchDir dir;
  ProgramSession session(on_terminal(dir));
  reach_key_wait(session);
  EXPECT_TRUE(session.still_running_after(300ms)) << "the rest of standard input ended the wait";
  // Both tables are complete on disk while the program waits.
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt"));

  session.type("x");
  ASSERT_TRUE(session.wait_for_exit());
  EXPECT_TRUE(exited_with(session.ending(), 0));
  EXPECT_EQ(session.output_after(PRESS_ANY_KEY_TEXT), "") << "the key was echoed";
  EXPECT_TRUE(session.settings_restored());
}

// Typed at the terminal: each prompt shows before its answer is read, and an extra Enter typed
// with the last answer does not end the wait.
TEST(KeyWait, InteractiveSession) {
  ScratchDir dir;
  ProgramSession session(on_terminal(dir, "exec \"$QUODREL\""));
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
  reach_key_wait(session);
  EXPECT_TRUE(session.still_running_after(300ms)) << "the extra Enter ended the wait";
  session.type("q");
  ASSERT_TRUE(session.wait_for_exit());
  EXPECT_TRUE(exited_with(session.ending(), 0));
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt"));
  EXPECT_TRUE(session.settings_restored());
}

// Each key ends the wait and leaves nothing behind: a special key's whole sequence is read, even
// when it arrives in two parts; the keys that send signals in cooked mode are ordinary keys.
TEST(KeyWait, EveryKeyEndsTheWaitAndLeavesNothingForTheShell) {
  struct Case {
    const char* name;
    const char* first;  // the bytes of the key, in two parts that arrive 30 ms apart
    const char* rest;
  };
  const Case cases[] = {
      {"cursor up", "\x1b[A", ""}, {"F5", "\x1b[15~", ""}, {"F5, slowly", "\x1b", "[15~"},
      {"Ctrl-C", "\x03", ""},      {"Ctrl-\\", "\x1c", ""}, {"Ctrl-Z", "\x1a", ""},
      {"Enter", "\r", ""},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    ProgramSession session(on_terminal(dir));
    reach_key_wait(session);
    session.type(c.first);
    std::this_thread::sleep_for(30ms);
    if (*c.rest != '\0') session.type(c.rest);
    ASSERT_TRUE(session.wait_for_exit()) << c.name;
    EXPECT_TRUE(exited_with(session.ending(), 0)) << c.name;
    EXPECT_TRUE(session.settings_restored()) << c.name;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(session.unread_input(), "") << c.name << ": left for the shell";
  }
}

TEST(KeyWait, EndingSignalsRestoreTheTerminalFirst) {
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
    ScratchDir dir;
    ProgramSession session(on_terminal(dir));
    reach_key_wait(session);
    kill(session.pid(), signal_number);
    ASSERT_TRUE(session.wait_for_exit()) << strsignal(signal_number);
    EXPECT_EQ(session.ending().signal, signal_number) << strsignal(signal_number);
    EXPECT_TRUE(session.settings_restored()) << strsignal(signal_number);
  }
}

TEST(KeyWait, WindowResizeIsNotAKey) {
  ScratchDir dir;
  ProgramSession session(on_terminal(dir));
  reach_key_wait(session);
  kill(session.pid(), SIGWINCH);
  EXPECT_TRUE(session.still_running_after(300ms));
  session.type(" ");
  ASSERT_TRUE(session.wait_for_exit());
  EXPECT_TRUE(exited_with(session.ending(), 0));
}

// Whether `condition` holds within `limit`, polled.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// Two runs that wait on one terminal at once (a script without job control starts both in the
// foreground) take turns: one key ends one wait, the other run then waits in raw mode, and the
// terminal ends with the settings it had before the first. With their output in files, neither
// has the terminal on a standard stream, and each finds its device by its number.
TEST(KeyWait, RunsOnOneTerminalTakeTurns) {
  struct Case {
    const char* what;
    const char* redirection;
  };
  const Case cases[] = {{"on the terminal", ""}, {"with their output in files", " > out 2> err"}};
  for (const Case& c : cases) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path("second"));
    // Each run leaves a mark in its folder once it has ended.
    const std::string run =
        "\"$QUODREL\" < \"$ANSWERS\"" + std::string(c.redirection) + "; touch ended";
    ProgramSession session(on_terminal(dir, "(" + run + ") & (cd second && " + run + ") & wait"));
    ASSERT_TRUE(session.started());
    const auto ended_runs = [&] {
      return int{file_exists(dir.path("ended"))} + int{file_exists(dir.path("second/ended"))};
    };
    // Both are at the wait, one waiting for a key and one for its turn: their tables are whole.
    ASSERT_TRUE(eventually([&] {
      return read_file(dir.path("pk.txt")) == approved("typical_peak.txt") &&
             read_file(dir.path("second/pk.txt")) == approved("typical_peak.txt");
    })) << c.what;
    if (*c.redirection == '\0') {
      ASSERT_TRUE(session.wait_for_output(PRESS_ANY_KEY_TEXT, 10s, 2)) << session.output();
    }
    ASSERT_TRUE(session.wait_for_raw_mode()) << c.what;
    session.type("x");
    // The first run restores the terminal before it ends, so raw mode after its end is the
    // second's, begun after it dropped the keys typed before: the next key is its own.
    ASSERT_TRUE(eventually([&] { return ended_runs() >= 1; })) << c.what << ": no run ended";
    EXPECT_TRUE(session.still_running_after(300ms)) << c.what << ": one key ended both waits";
    EXPECT_EQ(ended_runs(), 1) << c.what << ": one key ended both waits";
    EXPECT_TRUE(session.wait_for_raw_mode(2s)) << c.what << ": the second run does not wait raw";
    session.type("y");
    ASSERT_TRUE(session.wait_for_exit()) << c.what;
    EXPECT_TRUE(exited_with(session.ending(), 0)) << c.what;
    EXPECT_EQ(ended_runs(), 2) << c.what;
    EXPECT_TRUE(session.settings_restored()) << c.what;
  }
}

// A run in the background of its terminal would be stopped by job control at the key wait and
// never end by itself; it ends at once instead, as it does without a terminal.
TEST(KeyWait, ARunInTheBackgroundDoesNotWait) {
  ScratchDir dir;
  ProgramSession session(
      on_terminal(dir, "set -m; \"$QUODREL\" < \"$ANSWERS\" > /dev/null & wait $!"));
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.wait_for_exit(10s)) << "the background run is still waiting";
  EXPECT_TRUE(exited_with(session.ending(), 0));
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
  EXPECT_TRUE(session.settings_restored());
}

// Where standard output failed, the prompt for the key never showed: the run does not wait.
TEST(KeyWait, NoWaitWhenStandardOutputFailed) {
  ScratchDir dir;
  ProgramSession session(on_terminal(dir, "exec \"$QUODREL\" < \"$ANSWERS\" > /dev/full"));
  ASSERT_TRUE(session.started());
  ASSERT_TRUE(session.wait_for_exit(10s)) << "the run waits for a key";
  EXPECT_TRUE(exited_with(session.ending(), 3));
  EXPECT_NE(session.output().find("quodrel: standard output: No space left on device"),
            std::string::npos);
  EXPECT_TRUE(session.settings_restored());
}

}  // namespace
}  // namespace quodrel
