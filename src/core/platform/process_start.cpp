// SPDX-License-Identifier: MIT
#include "core/platform/process_start.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace glyphor {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Between fork and exec only async-signal-safe calls are allowed (the window
// runs other threads), so the child gets everything prepared.
struct TChildPlan {
  const char* program;
  std::vector<char*> argv;
  int errorPipe;  // close-on-exec: closed by a successful exec, else the errno arrives
  int devNull;
};

// dup2 onto itself keeps close-on-exec; /dev/null may have landed on a closed
// standard descriptor.
void Redirect(int from, int to) {
  if (from == to)
    ::fcntl(to, F_SETFD, 0);
  else
    ::dup2(from, to);
}

[[noreturn]] void ExecChild(const TChildPlan& plan) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &dfl, nullptr);
  // Never our standard streams: a detached program that kept the caller's
  // pipe open would hold up `glyphor x.gly | tee log` until it ends.
  if (plan.devNull >= 0) {
    for (const int fd : {0, 1, 2}) Redirect(plan.devNull, fd);
  }
  ::execve(plan.program, plan.argv.data(), environ);
  const int err = errno;
  [[maybe_unused]] const ssize_t n = ::write(plan.errorPipe, &err, sizeof err);
  ::_exit(127);
}

// The errno the children wrote, or 0 when the pipe closed empty (exec done).
int ReadChildError(int fd) {
  int err = 0;
  ssize_t n;
  do {
    n = ::read(fd, &err, sizeof err);
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof err) ? err : 0;
}

void Reap(pid_t pid) {
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
}

int Spawn(TChildPlan& plan, StartMode mode) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
  plan.errorPipe = fds[1];
  const pid_t pid = ::fork();
  if (pid < 0) {
    const int err = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return err;
  }
  if (pid == 0) {
    ::close(fds[0]);
    if (mode == StartMode::Detached) {
      // Double fork: the grandchild is adopted by init, so no zombie of it
      // stays with us; setsid keeps it alive when our terminal goes.
      ::setsid();
      const pid_t grandchild = ::fork();
      if (grandchild < 0) {
        const int err = errno;
        [[maybe_unused]] const ssize_t n = ::write(fds[1], &err, sizeof err);
        ::_exit(127);
      }
      if (grandchild > 0) ::_exit(0);
    }
    ExecChild(plan);
  }
  ::close(fds[1]);
  const int err = ReadChildError(fds[0]);
  ::close(fds[0]);
  Reap(pid);
  return err;
}

}  // namespace

std::string FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* env = std::getenv("PATH");
  const std::string path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    const auto end = std::min(path.find(':', start), path.size());
    const std::string dir = end == start ? "." : path.substr(start, end - start);
    if (const std::string candidate = dir + "/" + name; IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

int StartProcess(const std::vector<std::string>& argv, StartMode mode) {
  if (argv.empty()) return ENOENT;
  // A path goes to exec as it is, so its own error comes back (EACCES, ...).
  const std::string program = argv[0].find('/') != std::string::npos ? argv[0] : FindProgram(argv[0]);
  if (program.empty()) return ENOENT;
  TChildPlan plan{program.c_str(), {}, -1, ::open("/dev/null", O_RDWR | O_CLOEXEC)};
  for (const std::string& arg : argv) plan.argv.push_back(const_cast<char*>(arg.c_str()));
  plan.argv.push_back(nullptr);
  const int err = Spawn(plan, mode);
  if (plan.devNull >= 0) ::close(plan.devNull);
  return err;
}

ProcessStarter& ProcessStarterSeam() {
  static ProcessStarter starter = StartProcess;
  return starter;
}

}  // namespace glyphor
