#include "test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace quodrel::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "quodrel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

bool file_exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

std::vector<std::string> file_names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

std::string tail(const std::string& text, std::size_t length) {
  return text.substr(text.size() - std::min(length, text.size()));
}

std::string approved(const std::string& name) {
  const std::string path = std::string(APPROVED_DIR) + "/" + name;
  EXPECT_TRUE(file_exists(path)) << path;
  return read_file(path);
}

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
