// Helpers shared by the tests: scratch folders, whole files, and runs of the built program.
#ifndef QUODREL_TEST_SUPPORT_H
#define QUODREL_TEST_SUPPORT_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace quodrel::test {

// A new empty folder, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& root() const { return root_; }
  std::string path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
std::vector<std::string> file_names(const std::string& folder);

// The last `length` characters of `text`, or all of it when it is shorter.
std::string tail(const std::string& text, std::size_t length);

// The approved copy of a file the program writes, from the test/approved folder.
std::string approved(const std::string& name);

struct ProgramRun {
  int exit_status = -1;  // -1 when it did not exit normally
  int signal = 0;        // the signal that ended it, if one did
  std::string output;
};

// Runs the built program in `folder` with `answers` as standard input and no controlling
// terminal, so that its key wait ends at once. As root, `as_user` (a uid other than 0) runs a
// copy of it unprivileged, with `folder` opened to all. A run that takes longer than 30 s is
// killed by SIGALRM.
ProgramRun run_program(const std::string& answers, const std::string& folder, uid_t as_user = 0);

}  // namespace quodrel::test

#endif
