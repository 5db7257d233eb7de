#include "program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace quodrel::test {

namespace fs = std::filesystem;

testing::AssertionResult exited_with(const Ending& ending, int status) {
  if (ending.exit_status == status) return testing::AssertionSuccess();
  if (!ending.ended) return testing::AssertionFailure() << "the run did not end";
  if (ending.signal != 0) {
    return testing::AssertionFailure() << "ended by signal " << ending.signal << " ("
                                       << strsignal(ending.signal) << "), not status " << status;
  }
  return testing::AssertionFailure() << "exit status " << ending.exit_status << ", not " << status;
}

ProgramSession::ProgramSession(const Launch& launch) {
  const std::string answers = private_.path("answers");
  write_file(answers, launch.answers);
  std::string program = QUODREL_PROGRAM;
  const bool unprivileged = launch.as_user != 0 && geteuid() == 0;
  if (unprivileged) {  // the build may be where that user cannot reach: run a copy from the folder
    program = launch.folder + "/.quodrel";
    fs::copy_file(QUODREL_PROGRAM, program, fs::copy_options::overwrite_existing);
    fs::permissions(launch.folder, fs::perms::all, fs::perm_options::add);
    fs::permissions(private_.root(), fs::perms::all, fs::perm_options::add);
  }
  std::string terminal_name;
  if (launch.terminal == Terminal::pseudo) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    terminal_name = ptsname(master_);
    terminal_ = open(terminal_name.c_str(), O_RDWR | O_NOCTTY);
    if (terminal_ < 0 || tcgetattr(terminal_, &settings_before_) != 0) return;
  }
  const std::string output = private_.path("output");
  const std::string errors = private_.path("errors");
  pid_ = fork();
  if (pid_ != 0) return;

  // The child: a new session, with the terminal or without one, then bash with the command.
  setsid();
  alarm(30);  // a stuck run ends anyway
  if (launch.terminal == Terminal::pseudo) {
    const int terminal = open(terminal_name.c_str(), O_RDWR);
    if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0 || dup2(terminal, 0) < 0 ||
        dup2(terminal, 1) < 0 || dup2(terminal, 2) < 0) {
      _exit(126);
    }
  } else {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(126);
    }
  }
  if (chdir(launch.folder.c_str()) != 0 || setenv("QUODREL", program.c_str(), 1) != 0 ||
      setenv("ANSWERS", answers.c_str(), 1) != 0) {
    _exit(126);
  }
  if (unprivileged && (setgid(launch.as_user) != 0 || setuid(launch.as_user) != 0)) _exit(126);
  execl("/bin/bash", "bash", "-c", launch.command.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

ProgramSession::~ProgramSession() {
  if (pid_ > 0 && !ending_.ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (terminal_ >= 0) close(terminal_);
  if (master_ >= 0) close(master_);
}

bool ProgramSession::wait_for_exit(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!reap(WNOHANG)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  if (master_ >= 0) {
    while (read_terminal_until(std::chrono::steady_clock::now() + 50ms)) {
    }
  } else {
    output_ = read_file(private_.path("output"));
    errors_ = read_file(private_.path("errors"));
  }
  return true;
}

bool ProgramSession::still_running_after(std::chrono::milliseconds time) {
  std::this_thread::sleep_for(time);
  return !reap(WNOHANG);
}

std::string ProgramSession::output_after(const std::string& text) const {
  const std::size_t at = output_.find(text);
  return at == std::string::npos ? "(not found)" : output_.substr(at + text.size());
}

bool ProgramSession::wait_for_output(const std::string& text, std::chrono::milliseconds limit,
                                     int times) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const auto count = [&] {
    int found = 0;
    for (std::size_t at = output_.find(text); at != std::string::npos; at = output_.find(text, at + 1)) {
      ++found;
    }
    return found;
  };
  while (count() < times) {
    if (!read_terminal_until(deadline)) return false;
  }
  return true;
}

bool ProgramSession::wait_for_raw_mode(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if ((settings().c_lflag & ECHO) == 0) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

void ProgramSession::type(const std::string& keys) {
  ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

termios ProgramSession::settings() const {
  termios now{};
  tcgetattr(terminal_, &now);
  return now;
}

bool ProgramSession::settings_restored() const {
  const termios now = settings();
  return now.c_iflag == settings_before_.c_iflag && now.c_oflag == settings_before_.c_oflag &&
         now.c_lflag == settings_before_.c_lflag && now.c_cflag == settings_before_.c_cflag &&
         now.c_cc[VMIN] == settings_before_.c_cc[VMIN] &&
         now.c_cc[VTIME] == settings_before_.c_cc[VTIME];
}

std::string ProgramSession::unread_input() const {
  termios raw = settings();  // read without line mode, which would hide a partial line
  raw.c_lflag &= ~ICANON;
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  tcsetattr(terminal_, TCSANOW, &raw);
  std::string unread;
  char buffer[256];
  for (ssize_t got; (got = read(terminal_, buffer, sizeof buffer)) > 0;) unread.append(buffer, got);
  return unread;
}

bool ProgramSession::read_terminal_until(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (master_ < 0 || left.count() <= 0) return false;
  pollfd ready = {master_, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(left.count())) != 1) return false;
  char buffer[4096];
  const ssize_t got = read(master_, buffer, sizeof buffer);
  if (got <= 0) return false;
  output_.append(buffer, static_cast<std::size_t>(got));
  return true;
}

bool ProgramSession::reap(int options) {
  if (ending_.ended) return true;
  int status = 0;
  if (pid_ <= 0 || waitpid(pid_, &status, options) != pid_) return false;
  ending_.ended = true;
  if (WIFEXITED(status)) ending_.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) ending_.signal = WTERMSIG(status);
  return true;
}

ProgramRun run_program(const Launch& launch) {
  ProgramSession session(launch);
  ProgramRun run;
  if (session.wait_for_exit()) {
    static_cast<Ending&>(run) = session.ending();
    run.output = session.output();
    run.errors = session.errors();
  }
  if (launch.as_user != 0) std::remove((launch.folder + "/.quodrel").c_str());
  return run;
}

ProgramRun run_program(const std::string& answers, const std::string& folder) {
  Launch launch;
  launch.folder = folder;
  launch.answers = answers;
  return run_program(launch);
}

}  // namespace quodrel::test
