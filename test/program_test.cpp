// The built program, run with piped answers and no terminal, compared with approved files.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "program_run.h"
#include "test_support.h"

namespace quodrel {
namespace {

using test::approved;
using test::file_exists;
using test::file_names;
using test::read_file;
using test::run_program;
using test::ScratchDir;
using test::tail;
using test::write_file;

const char TYPICAL_ANSWERS[] = "100\n2\n1\n0.05\n10\n20\npk.txt\nrms.txt\n";

TEST(Program, TypicalRunMatchesTheApprovedTranscriptAndTables) {
  ScratchDir dir;
  write_file(dir.path("pk.txt"), std::string(5000, 'x'));  // an existing table is emptied first
  const test::ProgramRun run = run_program(TYPICAL_ANSWERS, dir.root());
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, approved("typical.out"));
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt"));
}

TEST(Program, AnswersWithCrLfLineEndsGiveTheSameRun) {
  ScratchDir dir;
  const test::ProgramRun run =
      run_program("100\r\n2\r\n1\r\n0.05\r\n10\r\n20\r\npk.txt\r\nrms.txt\r\n", dir.root());
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.output, approved("typical.out"));
  EXPECT_EQ(read_file(dir.path("pk.txt")), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path("rms.txt")), approved("typical_grms.txt"));
}

// The dialogue up to and including the damping-format question, as the approved run shows it.
std::string transcript_through_damping_format() {
  const std::string transcript = approved("typical.out");
  const std::string question = "\n Enter damping format. \n 1= damping ratio   2= Q \n";
  return transcript.substr(0, transcript.find(question) + question.size());
}

TEST(Program, DampingRefusalEndsWithStatusOneBeforeAnyFile) {
  const std::string refusal = "\n Error:  damping value must be < 1 \n";
  const std::string q_prompt = "\n Enter amplification factor Q (typically 10) ";
  const std::string ratio_prompt = "\n Enter damping ratio (typically 0.05) ";
  struct Case {
    const char* answers;
    std::string prompt;  // the damping prompt the run shows before the refusal
  };
  const Case cases[] = {
      {"100 2 1 1 10 20 pk.txt rms.txt", ratio_prompt},
      {"100 2 2 0.5 10 20 pk.txt rms.txt", q_prompt},
      {"100 2 2 0 10 20 pk.txt rms.txt", q_prompt},
      // A failed read leaves the rest unread: the format stays 0, Q stays 0, ratio +inf.
      {"abc 2 1 0.05 10 20 pk.txt rms.txt", q_prompt},
      {"12abc 2 1 0.05 10 20 pk.txt rms.txt", q_prompt},
      {"", q_prompt},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    const test::ProgramRun run = run_program(c.answers, dir.root());
    EXPECT_EQ(run.exit_status, 1) << c.answers;
    EXPECT_EQ(run.output, transcript_through_damping_format() + c.prompt + refusal) << c.answers;
    EXPECT_TRUE(file_names(dir.root()).empty()) << c.answers;
  }
}

// A table that cannot be created or written, or a second name for the first table, ends the run
// at once with status 2 and the reason: no summary, no "Calculation complete", no key wait.
TEST(Program, TableFailuresEndTheRunWithStatusTwo) {
  struct Case {
    std::string names;  // the answers to the two file-name questions
    std::string error;  // the message that ends the output
  };
  const Case cases[] = {
      {"no/such/folder/pk.txt rms.txt", "no/such/folder/pk.txt: No such file or directory"},
      {"pk.txt no/such/folder/rms.txt", "no/such/folder/rms.txt: No such file or directory"},
      {"folder rms.txt", "folder: Is a directory"},
      {"", "(empty file name): No such file or directory"},
      {"pk.txt", "(empty file name): No such file or directory"},
      {"/dev/full rms.txt", "/dev/full: No space left on device"},
      {"pk.txt /dev/full", "/dev/full: No space left on device"},
      {"pk.txt pk.txt", "pk.txt: names the same file as pk.txt"},
      {"pk.txt ./pk.txt", "./pk.txt: names the same file as pk.txt"},
      {"pk.txt folder/../pk.txt", "folder/../pk.txt: names the same file as pk.txt"},
      {"pk.txt link.txt", "link.txt: names the same file as pk.txt"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path("folder"));
    std::filesystem::create_symlink("pk.txt", dir.path("link.txt"));
    const test::ProgramRun run = run_program("100 2 1 0.05 10 20 " + c.names, dir.root());
    EXPECT_EQ(run.exit_status, 2) << c.names;
    const std::string ending = "\n Error:  " + c.error + " \n";
      EXPECT_EQ(tail(run.output, ending.size()), ending) << c.names;
    EXPECT_EQ(run.output.find("Calculation complete"), std::string::npos) << c.names;
    // Nothing was written to a table that was created before the failure showed.
    if (c.error.find("same file") != std::string::npos) {
      EXPECT_EQ(read_file(dir.path("pk.txt")), "") << c.names;
      EXPECT_FALSE(file_exists(dir.path("rms.txt"))) << c.names;
    }
  }
}

// The system would see only the text before a NUL byte and create another file than the one named.
TEST(Program, NameWithANulByteIsRefusedNotCut) {
  ScratchDir dir;
  const std::string name("pk\0.txt", 7);
  const test::ProgramRun run = run_program("100 2 1 0.05 10 20 " + name + " rms.txt", dir.root());
  EXPECT_EQ(run.exit_status, 2);
  const std::string ending = "\n Error:  " + name + ": Invalid argument \n";
  EXPECT_EQ(tail(run.output, ending.size()), ending);
  EXPECT_TRUE(file_names(dir.root()).empty());
}

TEST(Program, TableInAFolderWithoutWritePermission) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.path("locked"));
  chmod(dir.path("locked").c_str(), 0555);
  const uid_t nobody = 65534;  // root may write anywhere, so as root run the program as nobody
  const test::ProgramRun run =
      run_program("100 2 1 0.05 10 20 locked/pk.txt rms.txt", dir.root(), nobody);
  EXPECT_EQ(run.exit_status, 2);
  const std::string ending = "\n Error:  locked/pk.txt: Permission denied \n";
  EXPECT_EQ(tail(run.output, ending.size()), ending);
}

// A name is used whole, however long: no 260-character buffer to truncate or overflow.
TEST(Program, LongFileNamesAreUsedWhole) {
  ScratchDir dir;
  const std::string folder(200, 'f');
  std::filesystem::create_directory(dir.path(folder));
  const std::string peak_name = folder + "/" + std::string(150, 'p') + ".txt";
  const std::string grms_name = folder + "/" + std::string(150, 'g') + ".txt";
  const test::ProgramRun run =
      run_program("100 2 1 0.05 10 20 " + peak_name + " " + grms_name, dir.root());
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(read_file(dir.path(peak_name)), approved("typical_peak.txt"));
  EXPECT_EQ(read_file(dir.path(grms_name)), approved("typical_grms.txt"));
  EXPECT_NE(run.output.find("\n " + peak_name + ":  natural frequency (Hz)"), std::string::npos);
}

}  // namespace
}  // namespace quodrel
