#include "program_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "test_support.h"

namespace quodrel::test {

namespace fs = std::filesystem;

ProgramRun run_program(const std::string& answers, const std::string& folder, uid_t as_user) {
  const std::string answers_path = folder + "/.answers";
  const std::string output_path = folder + "/.output";
  write_file(answers_path, answers);
  std::string program = QUODREL_PROGRAM;
  const bool unprivileged = as_user != 0 && geteuid() == 0;
  if (unprivileged) {  // the build may be where that user cannot reach: run a copy from here
    program = folder + "/.quodrel";
    fs::copy_file(QUODREL_PROGRAM, program, fs::copy_options::overwrite_existing);
    fs::permissions(folder, fs::perms::all, fs::perm_options::add);
  }
  const pid_t child = fork();
  if (child == 0) {
    setsid();  // no controlling terminal: the key wait has nothing to wait on
    alarm(30);
    const int in = open(answers_path.c_str(), O_RDONLY);
    const int out = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || chdir(folder.c_str()) != 0) {
      _exit(126);
    }
    if (unprivileged && (setgid(as_user) != 0 || setuid(as_user) != 0)) _exit(126);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ProgramRun run;
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return run;
  if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.output = read_file(output_path);
  std::remove(answers_path.c_str());
  std::remove(output_path.c_str());
  if (unprivileged) std::remove(program.c_str());
  return run;
}

}  // namespace quodrel::test
