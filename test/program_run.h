// Runs of the built program as a separate process, with piped answers and no terminal (POSIX).
#ifndef QUODREL_TEST_PROGRAM_RUN_H
#define QUODREL_TEST_PROGRAM_RUN_H

#include <sys/types.h>

#include <string>

namespace quodrel::test {

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
