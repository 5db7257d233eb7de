// The dialogue run in-process, on string streams, with a stand-in for the key wait. What only
// this level shows: the exact order of prompts, reads and key waits, and the tables at the moment
// of the wait, on every platform (the Windows build runs these too).
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialogue_texts.h"
#include "escaped_text.h"
#include "quodrel.h"
#include "tables/response_table.h"
#include "test_support.h"

namespace quodrel {
namespace {

using namespace test;

// One in-process run in a scratch folder, which is the current folder while it lasts.
struct DialogueRun {
  ScratchDir dir;
  int status = -1;
  int key_waits = 0;
  std::string output;
  std::string peak_table;  // the tables pk.txt and rms.txt at the end of the run
  std::string grms_table;
  std::string peak_at_key_wait;  // and while the key wait lasts
  std::string grms_at_key_wait;

  // `answers` are the answers before the file names; `names` the rest of the input.
  explicit DialogueRun(const std::string& answers, const std::string& names = "pk.txt rms.txt") {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.root());
    std::istringstream in(answers + " " + names + "\n");
    std::ostringstream out;
    status = run_dialogue(in, out, [this] {
      ++key_waits;
      peak_at_key_wait = read_file("pk.txt");
      grms_at_key_wait = read_file("rms.txt");
    });
    std::filesystem::current_path(previous);
    output = out.str();
    if (file_exists(dir.path("pk.txt"))) peak_table = read_file(dir.path("pk.txt"));
    if (file_exists(dir.path("rms.txt"))) grms_table = read_file(dir.path("rms.txt"));
  }

  int rows() const { return static_cast<int>(peak_table.size() / TABLE_ROW_LENGTH); }
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Dialogue, TablesAreCompleteBeforeTheKeyWait) {
  const DialogueRun run(TYPICAL_NUMBERS);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.key_waits, 1);
  EXPECT_EQ(run.rows(), 24);
  EXPECT_EQ(run.peak_at_key_wait, run.peak_table);
  EXPECT_EQ(run.grms_at_key_wait, run.grms_table);
  EXPECT_EQ(run.grms_table.size(), run.peak_table.size());
  // The output has ended with the last message when the wait begins.
  EXPECT_EQ(tail(run.output, PRESS_ANY_KEY.size()), PRESS_ANY_KEY);
}

TEST(Dialogue, RatioAndTheEquivalentQGiveIdenticalTables) {
  const DialogueRun ratio(TYPICAL_NUMBERS);
  const DialogueRun q("100 2 2 10 10 20");
  EXPECT_TRUE(contains(ratio.output, RATIO_PROMPT));
  EXPECT_TRUE(contains(q.output, Q_PROMPT));
  EXPECT_EQ(q.peak_table, ratio.peak_table);
  EXPECT_EQ(q.grms_table, ratio.grms_table);
}

TEST(Dialogue, EveryFormatButOneAsksForQ) {
  for (const char* format : {"2", "0", "3", "-1", "+2"}) {
    const DialogueRun run(std::string("100 2 ") + format + " 10 10 20");
    EXPECT_TRUE(contains(run.output, Q_PROMPT)) << format;
    EXPECT_FALSE(contains(run.output, RATIO_PROMPT)) << format;
    EXPECT_EQ(run.status, 0) << format;
  }
}

TEST(Dialogue, FormatOnePointFiveLeavesPointFiveAsTheRatio) {
  const DialogueRun run("100 2 1.5 10 20");
  const DialogueRun half("100 2 1 0.5 10 20");
  EXPECT_TRUE(contains(run.output, RATIO_PROMPT + START_PROMPT));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.peak_table, half.peak_table);
}

TEST(Dialogue, DampingCheck) {
  struct Case {
    const char* damping;  // the format and the ratio or Q
    bool refused;
  };
  const Case cases[] = {
      {"1 1", true},     {"1 1.0000001", true}, {"1 0.99", false}, {"1 0", false},
      {"1 -0.5", false}, {"1 1e999", true},     {"2 0.5", true},   {"2 0.6", false},
      {"2 0", true},     {"2 -10", false},      {"2 0.0001", true},
      // Q is 0 however its exponent is written; the sum of exponents once overflowed to +inf.
      {"2 0.01e-9223372036854775807", true},
  };
  for (const Case& c : cases) {
    const DialogueRun run(std::string("100 2 ") + c.damping + " 10 20");
    EXPECT_EQ(run.status, c.refused ? 1 : 0) << c.damping;
    EXPECT_EQ(contains(run.output, REFUSAL), c.refused) << c.damping;
    if (c.refused) {
      // Nothing follows the refusal: no further question, no table, no key wait.
      EXPECT_EQ(tail(run.output, REFUSAL.size()), REFUSAL) << c.damping;
      EXPECT_FALSE(file_exists(run.dir.path("pk.txt"))) << c.damping;
      EXPECT_EQ(run.key_waits, 0) << c.damping;
    }
  }
}

TEST(Dialogue, NegativeQGivesTheTablesOfItsMagnitude) {
  const DialogueRun negative("100 2 2 -10 10 20");
  const DialogueRun positive("100 2 2 10 10 20");
  EXPECT_EQ(negative.peak_table, positive.peak_table);
}

TEST(Dialogue, UnreadableAnswerAfterTheDampingBecomesTheFileName) {
  // Start and final stay 0, so the grid is 1000 zeros whose responses are not numbers; "x" and
  // "10" are taken as the file names.
  const DialogueRun run("100 2 1 0.05 x 10 20", "");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(contains(run.output, "\n x:  natural frequency (Hz)   accel (G peak) \n"));
  EXPECT_TRUE(contains(run.output, "\n 10:  natural frequency (Hz)   accel (GRMS)   \n"));
  const std::string peak_table = read_file(run.dir.path("x"));
  ASSERT_EQ(peak_table.size(), 1000u * TABLE_ROW_LENGTH);
  EXPECT_EQ(peak_table.substr(0, TABLE_ROW_LENGTH), "   0.0000e+000 \t            NaN\r\n");
}

TEST(Dialogue, NameWithABlankGivesBothNames) {
  const DialogueRun run(TYPICAL_NUMBERS, "peak data.txt");
  EXPECT_TRUE(file_exists(run.dir.path("peak")));
  EXPECT_TRUE(file_exists(run.dir.path("data.txt")));
  EXPECT_EQ(run.status, 0);
}

// Two names for one file would give two streams that corrupt it: the GRMS name is refused and the
// peak table, which the run emptied, is removed. Windows adds its own spellings of one name, and
// bytes beyond ASCII, which it reads in the ANSI code page unless they are UTF-8 (0x84 is a
// quotation mark in code page 1252, and a control character if read as Latin-1).
TEST(Dialogue, TwoSpellingsOfOneFileAreRefused) {
  struct Case {
    std::string peak_name;
    std::string grms_name;
  };
  std::vector<Case> cases = {
      {"pk.txt", "pk.txt"}, {"pk.txt", "./pk.txt"}, {"\xc3\xa4.txt", "\xc3\xa4.txt"},
      {"\x84.txt", "\x84.txt"}, {"\xff\xfe.txt", "\xff\xfe.txt"}};
#ifdef _WIN32
  cases.insert(cases.end(), {{"pk.txt", "PK.TXT"}, {"pk.txt", ".\\pk.txt"}, {"pk.txt", ".\\PK.txt"}});
  const auto shown = escaped_controls;  // the bytes as read, as Windows reads a redirected name
#else
  const auto shown = escaped_utf8;
#endif
  for (const Case& c : cases) {
    const DialogueRun run(TYPICAL_NUMBERS, c.peak_name + " " + c.grms_name);
    EXPECT_EQ(run.status, 2) << c.grms_name;
    const std::string message = "\n Error:  " + shown(c.grms_name) + ": names the same file as " +
                                shown(c.peak_name) + " \n The incomplete table " +
                                shown(c.peak_name) + " was removed. \n";
    EXPECT_EQ(tail(run.output, message.size()), message) << c.grms_name;
    EXPECT_TRUE(file_names(run.dir.root()).empty()) << c.grms_name;
    EXPECT_EQ(run.key_waits, 0) << c.grms_name;
  }
}

// A message shows a name with its control characters escaped, so that a name cannot clear the
// screen or set the window title; the summary shows it as typed. (What else is escaped depends
// on how the platform reads names: see EscapedText.)
TEST(Dialogue, MessagesShowNamesWithoutControlCharacters) {
  struct Case {
    std::string name;
    std::string shown;
  };
  const Case cases[] = {
      {"pk\x1b[2J\x1b]0;title\x07.txt", "pk\\x1b[2J\\x1b]0;title\\x07.txt"},
      {"del\x7f.txt", "del\\x7f.txt"},
      {"Pr\xc3\xbc" "fung.txt", "Pr\xc3\xbc" "fung.txt"},
      {"back\\slash.txt", "back\\slash.txt"},
  };
  for (const Case& c : cases) {
    // The reason is the system's: Windows refuses control characters in a name outright.
    const DialogueRun run(TYPICAL_NUMBERS, "no_such_folder/" + c.name + " rms.txt");
    const std::string start = "\n Error:  no_such_folder/" + c.shown + ": ";
    const std::size_t at = run.output.rfind(start);
    ASSERT_NE(at, std::string::npos) << c.shown << " in " << run.output;
    EXPECT_EQ(run.output.find_first_of("\x1b\x07\x7f", at), std::string::npos) << c.shown;
    EXPECT_EQ(tail(run.output, 2), " \n") << c.shown;
  }
#ifndef _WIN32
  const DialogueRun run(TYPICAL_NUMBERS, "pk\x1b[1m.txt rms.txt");
  EXPECT_TRUE(contains(run.output, "\n pk\x1b[1m.txt:  natural frequency (Hz)   accel (G peak) \n"));
#endif
}

TEST(Dialogue, RowCountsFollowTheGrid) {
  struct Case {
    const char* range;
    int rows;
  };
  const Case cases[] = {{"10 10", 1}, {"10 5", 1}, {"10 20", 24}, {"1 1e30", 1000}};
  for (const Case& c : cases) {
    const DialogueRun run(std::string("100 2 1 0.05 ") + c.range);
    EXPECT_EQ(run.rows(), c.rows) << c.range;
    EXPECT_EQ(run.grms_table.size(), run.peak_table.size()) << c.range;
  }
}

}  // namespace
}  // namespace quodrel
