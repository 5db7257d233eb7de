// The built program as a process without a terminal. What only this level shows: the real exit
// status, the system's own errors, what the standard streams are, and which files a run leaves.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialogue_texts.h"
#include "program_run.h"
#include "test_support.h"

namespace quodrel {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Program, TypicalRunMatchesTheApprovedTranscriptAndTables) {
  // The same answers with LF and with CR LF line ends.
  for (const std::string answers : {"approved/typical.answers", "answers/crlf.answers"}) {
    ScratchDir dir;
    write_file(dir.path("pk.txt"), std::string(5000, 'x'));  // an existing table is emptied first
    const ProgramRun run = run_program(read_file(TEST_DIR "/" + answers), dir.root());
    EXPECT_TRUE(exited_with(run, 0)) << answers;
    EXPECT_EQ(run.output, approved("typical.out")) << answers;
    EXPECT_EQ(run.errors, "") << answers;
    EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt")) << answers;
    EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt")) << answers;
  }
}

// Answers as Windows saves them (Notepad's UTF-8 with a mark, PowerShell 5.1's UTF-16 LE, and
// UTF-16 BE) give the same run, tables and names as plain UTF-8.
TEST(Program, AnswersInEveryEncodingWindowsSavesGiveTheSameRun) {
  ScratchDir plain_dir;
  const ProgramRun plain = run_program(read_file(TEST_DIR "/answers/names-utf8.answers"),
                                       plain_dir.root());
  EXPECT_TRUE(exited_with(plain, 0));
  EXPECT_NE(plain.output.find("\n Pr\xc3\xbc" "fung.txt:  natural frequency (Hz)"),
            std::string::npos);
  for (const char* answers : {"names-utf8-bom", "names-utf16le", "names-utf16be"}) {
    ScratchDir dir;
    const ProgramRun run =
        run_program(read_file(TEST_DIR "/answers/" + std::string(answers) + ".answers"), dir.root());
    EXPECT_TRUE(exited_with(run, 0)) << answers;
    EXPECT_EQ(run.output, plain.output) << answers;
    EXPECT_EQ(read_file(dir.path("Pr\xc3\xbc" "fung.txt")), approved("typical_peak.txt")) << answers;
    EXPECT_EQ(read_file(dir.path("Ma\xc3\x9f.txt")), approved("typical_grms.txt")) << answers;
    EXPECT_EQ(file_names(dir.root()).size(), 2u) << answers;
  }
}

TEST(Program, DampingRefusalEndsWithStatusOneBeforeAnyFile) {
  const std::string transcript = approved("typical.out");
  const std::string through_format =
      transcript.substr(0, transcript.find(FORMAT_QUESTION) + FORMAT_QUESTION.size());
  struct Case {
    const char* answers;
    std::string prompt;  // the damping prompt the run shows before the refusal
  };
  const Case cases[] = {
      {"100 2 1 1 10 20 pk.txt rms.txt", RATIO_PROMPT},
      {"100 2 2 0.5 10 20 pk.txt rms.txt", Q_PROMPT},
      {"100 2 2 0 10 20 pk.txt rms.txt", Q_PROMPT},
      // A failed read leaves the rest unread: the format stays 0, Q stays 0, ratio +inf.
      {"abc 2 1 0.05 10 20 pk.txt rms.txt", Q_PROMPT},
      {"12abc 2 1 0.05 10 20 pk.txt rms.txt", Q_PROMPT},
      {"", Q_PROMPT},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const ProgramRun run = run_program(c.answers, dir.root());
    EXPECT_TRUE(exited_with(run, 1)) << c.answers;
    EXPECT_EQ(run.output, through_format + c.prompt + REFUSAL) << c.answers;
    EXPECT_TRUE(file_names(dir.root()).empty()) << c.answers;
  }
}

// A table that cannot be created or written, or a second name for the first table, ends the run
// at once with status 2 and the reason: no summary, no key wait. The tables the run created or
// emptied are removed, so that no one loads a table cut off mid-row; nothing else is touched.
TEST(Program, TableFailuresEndTheRunWithStatusTwoAndLeaveNoTable) {
  struct Case {
    std::string names;    // the answers to the two file-name questions
    std::string error;    // the error line's text
    std::string removed;  // the line that follows it, if any
  };
  const std::string removed_pk = " The incomplete table pk.txt was removed. \n";
  const Case cases[] = {
      {"no/such/folder/pk.txt rms.txt", "no/such/folder/pk.txt: No such file or directory", ""},
      {"pk.txt no/such/folder/rms.txt", "no/such/folder/rms.txt: No such file or directory",
       removed_pk},
      {"folder rms.txt", "folder: Is a directory", ""},
      {"", "(empty file name): No such file or directory", ""},
      {"pk.txt", "(empty file name): No such file or directory", removed_pk},
      // A device is written into but never removed.
      {"/dev/full rms.txt", "/dev/full: No space left on device",
       " The incomplete table rms.txt was removed. \n"},
      {"pk.txt /dev/full", "/dev/full: No space left on device", removed_pk},
      {"pk.txt pk.txt", "pk.txt: names the same file as pk.txt", removed_pk},
      {"pk.txt ./pk.txt", "./pk.txt: names the same file as pk.txt", removed_pk},
      {"pk.txt folder/../pk.txt", "folder/../pk.txt: names the same file as pk.txt", removed_pk},
      {"pk.txt link.txt", "link.txt: names the same file as pk.txt", removed_pk},
      // The system would see only the text before a NUL and create another file than named.
      {std::string("pk\0.txt rms.txt", 15), "pk\\x00.txt: Invalid argument", ""},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    fs::create_directory(dir.path("folder"));
    fs::create_symlink("pk.txt", dir.path("link.txt"));
    const ProgramRun run = run_program(TYPICAL_NUMBERS + c.names, dir.root());
    EXPECT_TRUE(exited_with(run, 2)) << c.names;
    const std::string ending = "\n Error:  " + c.error + " \n" + c.removed;
    EXPECT_EQ(tail(run.output, ending.size()), ending) << c.names;
    EXPECT_EQ(run.output.find("Calculation complete"), std::string::npos) << c.names;
    EXPECT_EQ(sorted(file_names(dir.root())), (std::vector<std::string>{"folder", "link.txt"}))
        << c.names;
  }
}

// A FIFO is written into like a device, and never removed; the reader got nothing.
TEST(Program, AFifoIsNeverRemoved) {
  ScratchDir dir;
  Launch launch;
  launch.folder = dir.root();
  launch.answers = TYPICAL_NUMBERS + "f no/such/folder/rms.txt";
  launch.command = "mkfifo f && { cat f > got.txt & } && \"$QUODREL\" < \"$ANSWERS\"; "
                   "status=$?; wait; exit $status";
  const ProgramRun run = run_program(launch);
  EXPECT_TRUE(exited_with(run, 2));
  const std::string ending = "\n Error:  no/such/folder/rms.txt: No such file or directory \n";
  EXPECT_EQ(tail(run.output, ending.size()), ending);
  struct stat status;
  EXPECT_TRUE(lstat(dir.path("f").c_str(), &status) == 0 && S_ISFIFO(status.st_mode));
  EXPECT_EQ(read_file(dir.path("got.txt")), "");
}

// On a disk that fills up during the run (a 40 KB tmpfs, mounted in a mount namespace of its
// own), both tables are cut off mid-row: both are removed.
TEST(Program, AFullDiskLeavesNoTable) {
  if (geteuid() != 0 || system("unshare -m true 2>/dev/null") != 0) {
    GTEST_SKIP() << "needs root and mount namespaces (unshare -m) to mount a small tmpfs";
  }
  ScratchDir dir;
  fs::create_directory(dir.path("small"));
  Launch launch;
  launch.folder = dir.root();
  launch.answers = "100 2 1 0.05 1 1e30 pk.txt rms.txt";  // 1000 rows: 66,000 bytes in all
  launch.command = "exec unshare -m bash -c 'mount -t tmpfs -o size=40k tmpfs small && cd small &&"
                   " \"$QUODREL\" < \"$ANSWERS\"; status=$?; ls -A > ../left.txt; exit $status'";
  const ProgramRun run = run_program(launch);
  EXPECT_TRUE(exited_with(run, 2)) << run.errors;
  EXPECT_TRUE(std::regex_search(run.output,
                                std::regex("\n Error:  (pk|rms)\\.txt: No space left on device \n"
                                           " The incomplete tables pk.txt and rms.txt were "
                                           "removed\\. \n$")))
      << tail(run.output, 200);
  EXPECT_EQ(read_file(dir.path("left.txt")), "");
}

TEST(Program, TableInAFolderWithoutWritePermission) {
  ScratchDir dir;
  fs::create_directory(dir.path("locked"));
  chmod(dir.path("locked").c_str(), 0555);
  Launch launch;
  launch.folder = dir.root();
  launch.answers = TYPICAL_NUMBERS + "locked/pk.txt rms.txt";
  launch.as_user = 65534;  // root may write anywhere, so as root run the program as nobody
  const ProgramRun run = run_program(launch);
  EXPECT_TRUE(exited_with(run, 2));
  const std::string ending = "\n Error:  locked/pk.txt: Permission denied \n";
  EXPECT_EQ(tail(run.output, ending.size()), ending);
}

// A name is used whole, however long: no 260-character buffer to truncate or overflow.
TEST(Program, LongFileNamesAreUsedWhole) {
  ScratchDir dir;
  const std::string folder(200, 'f');
  fs::create_directory(dir.path(folder));
  const std::string peak_name = folder + "/" + std::string(150, 'p') + ".txt";
  const std::string grms_name = folder + "/" + std::string(150, 'g') + ".txt";
  const ProgramRun run = run_program(TYPICAL_NUMBERS + peak_name + " " + grms_name, dir.root());
  EXPECT_TRUE(exited_with(run, 0));
  EXPECT_EQ(read_file(dir.path(peak_name)), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path(grms_name)), approved("typical_grms.txt"));
  EXPECT_NE(run.output.find("\n " + peak_name + ":  natural frequency (Hz)"), std::string::npos);
}

// A table on a file that a standard stream reads or writes would destroy the answers or mix rows
// into the transcript, whatever kind of file it is: the name is refused and the file untouched.
TEST(Program, ATableNamedAfterAStandardStreamIsRefused) {
  struct Case {
    const char* what;
    std::string command;  // bash, in the run's folder, which holds answers.txt
    std::string names;
    std::string error;       // "" where the run goes on
    const char* transcript;  // the file standard output goes to, or "" for the captured output
  };
  const std::string run = "\"$QUODREL\" < answers.txt";
  const Case cases[] = {
      {"the answers file", "exec " + run, "answers.txt rms.txt",
       "answers.txt: names the same file as standard input", ""},
      {"the answers, as /dev/stdin", "exec " + run, "/dev/stdin rms.txt",
       "/dev/stdin: names the same file as standard input", ""},
      {"a pipe of answers", "cat answers.txt | \"$QUODREL\"", "pk.txt /dev/stdin",
       "/dev/stdin: names the same file as standard input", ""},
      {"the transcript", "exec " + run + " > log.txt", "pk.txt log.txt",
       "log.txt: names the same file as standard output", "log.txt"},
      {"the transcript, as /dev/stdout", "exec " + run + " > log.txt", "/dev/stdout rms.txt",
       "/dev/stdout: names the same file as standard output", "log.txt"},
      {"standard error", "exec " + run + " 2> err.txt", "err.txt rms.txt",
       "err.txt: names the same file as standard error", ""},
      {"a FIFO as both tables", "mkfifo f && { cat f > got.txt & } && " + run +
       "; status=$?; wait; exit $status", "f f", "f: names the same file as f", ""},
      // The null device loses nothing, however many write to it.
      {"the null device twice", "exec " + run, "/dev/null /dev/null", "", ""},
      {"the null device as the transcript too", "exec " + run + " > /dev/null", "/dev/null rms.txt",
       "", ""},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const std::string answers = TYPICAL_NUMBERS + c.names + "\n";
    write_file(dir.path("answers.txt"), answers);
    Launch launch;
    launch.folder = dir.root();
    launch.command = c.command;
    const ProgramRun result = run_program(launch);
    EXPECT_EQ(read_file(dir.path("answers.txt")), answers) << c.what;
    const std::string transcript =
        *c.transcript != '\0' ? read_file(dir.path(c.transcript)) : result.output;
    if (c.error.empty()) {
      EXPECT_TRUE(exited_with(result, 0)) << c.what;
      continue;
    }
    EXPECT_TRUE(exited_with(result, 2)) << c.what;
    const std::string message = "\n Error:  " + c.error + " \n";
    EXPECT_NE(transcript.find(message), std::string::npos) << c.what << ":\n" << transcript;
    EXPECT_FALSE(file_exists(dir.path("pk.txt"))) << c.what;
    EXPECT_FALSE(file_exists(dir.path("rms.txt"))) << c.what;
    if (file_exists(dir.path("got.txt"))) {
      EXPECT_EQ(read_file(dir.path("got.txt")), "") << c.what;  // the FIFO's reader got nothing
    }
  }
}

// Standard output that fails, or was closed at the start, loses the dialogue but not the tables:
// they are written whole, standard error says what happened, and the status is 3; a refusal and
// a table failure keep their own statuses. A closed standard stream is opened on the null device
// first, so that no table takes its number.
TEST(Program, FailingStandardOutputCostsNoTable) {
  struct Case {
    const char* what;
    std::string command;
    std::string answers;
    int status;
    std::string errors;
  };
  const std::string run = "exec \"$QUODREL\" < \"$ANSWERS\"";
  const std::string typical = approved("typical.answers");
  // A pipe whose only reader has gone: opened read-write, the writer added, the reader closed.
  const std::string reader_gone = "mkfifo p && exec 3<>p 4>p 3<&- && " + run + " >&4 4>&-";
  const Case cases[] = {
      {"a pipe whose reader has gone", reader_gone, typical, 3,
       "quodrel: standard output: Broken pipe\n"},
      {"a full disk", run + " > /dev/full", typical, 3,
       "quodrel: standard output: No space left on device\n"},
      {"closed", run + " >&-", typical, 3, "quodrel: standard output: Bad file descriptor\n"},
      {"closed, with a refusal", run + " >&-", "100 2 1 1", 1,
       "quodrel: standard output: Bad file descriptor\n"},
      {"closed, with a table failure", run + " >&-", TYPICAL_NUMBERS + "pk.txt no/such/rms.txt", 2,
       "quodrel: standard output: Bad file descriptor\n"},
      {"standard error closed", run + " 2>&-", typical, 0, ""},
      {"standard input closed", "exec \"$QUODREL\" <&-", "", 1, ""},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    Launch launch;
    launch.folder = dir.root();
    launch.answers = c.answers;
    launch.command = c.command;
    const ProgramRun result = run_program(launch);
    EXPECT_TRUE(exited_with(result, c.status)) << c.what;
    EXPECT_EQ(result.errors, c.errors) << c.what;
    if (c.status == 0 || c.status == 3) {
      EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt")) << c.what;
      EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt")) << c.what;
    } else {
      EXPECT_FALSE(file_exists(dir.path("pk.txt"))) << c.what;
    }
  }
}

}  // namespace
}  // namespace quodrel
