// SPDX-License-Identifier: MIT
#include "support/test_support.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <iconv.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace glyphor::test {

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "glyphor-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Undo read-only modes that tests set, so the folder can go.
  for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::recursive_directory_iterator(); ++it)
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::vector<std::string> UserEnvironment(const TempDir& home, const TempDir& cache) {
  return {"HOME=" + home.path(),
          "XDG_CONFIG_HOME=" + home / ".config",
          "XDG_DATA_HOME=" + home / ".local/share",
          "XDG_DATA_DIRS=" + home / "system",
          "XDG_CONFIG_DIRS=" + home / "etc",
          "XDG_CACHE_HOME=" + cache.path()};
}

std::string Encode(const std::string& utf8, const char* to) {
  iconv_t cd = ::iconv_open(to, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("no converter to ") + to);
  std::string out(utf8.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(utf8.data());
  char* dst = out.data();
  size_t srcLeft = utf8.size(), dstLeft = out.size();
  const size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  ::iconv_close(cd);
  if (r == static_cast<size_t>(-1)) throw std::runtime_error(std::string("cannot convert to ") + to);
  out.resize(out.size() - dstLeft);
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool FileExists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(path, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// Waits for `pid`, killing it once `timeoutSeconds` have passed.
int WaitOrKill(pid_t pid, int timeoutSeconds, bool& timedOut) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  auto pause = std::chrono::milliseconds(1);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      timedOut = true;
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(20));
  }
  return status;
}

// The file size limit a child started while it lives inherits, with no core
// files and SIGXFSZ ignored or at its default; this process's own limits and
// action come back when it goes.
class ChildFileSizeLimit {
 public:
  explicit ChildFileSizeLimit(const RunOptions& options) : active_(options.fileSizeLimit > 0) {
    if (!active_) return;
    ::getrlimit(RLIMIT_FSIZE, &size_);
    ::getrlimit(RLIMIT_CORE, &core_);
    rlimit size = size_, core = core_;
    size.rlim_cur = static_cast<rlim_t>(options.fileSizeLimit);
    core.rlim_cur = 0;
    struct sigaction action {};
    action.sa_handler = options.fileSizeSignalEnds ? SIG_DFL : SIG_IGN;
    sigemptyset(&action.sa_mask);
    if (::setrlimit(RLIMIT_FSIZE, &size) != 0 || ::setrlimit(RLIMIT_CORE, &core) != 0 ||
        ::sigaction(SIGXFSZ, &action, &signal_) != 0)
      throw std::runtime_error("cannot limit the file size");
  }
  ~ChildFileSizeLimit() {
    if (!active_) return;
    ::sigaction(SIGXFSZ, &signal_, nullptr);
    ::setrlimit(RLIMIT_CORE, &core_);
    ::setrlimit(RLIMIT_FSIZE, &size_);
  }
  ChildFileSizeLimit(const ChildFileSizeLimit&) = delete;
  ChildFileSizeLimit& operator=(const ChildFileSizeLimit&) = delete;

 private:
  bool active_;
  rlimit size_{}, core_{};
  struct sigaction signal_ {};
};

}  // namespace

RunResult RunGlyphor(const std::vector<std::string>& args, const std::vector<std::string>& env, int timeoutSeconds) {
  RunOptions options;
  options.timeoutSeconds = timeoutSeconds;
  return RunGlyphor(args, env, options);
}

RunResult RunGlyphor(const std::vector<std::string>& args, const std::vector<std::string>& env,
                     const RunOptions& options) {
  TempDir io;
  const std::string inPath = io / "in", outPath = io / "out", errPath = io / "err";
  WriteFile(inPath, options.input);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, options.input.empty() ? "/dev/null" : inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // A terminal: the pseudo-terminal's other side is read while the program runs.
  int terminal = -1;
  if (options.stderrTerminal) {
    terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0)
      throw std::runtime_error("no pseudo-terminal");
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    posix_spawn_file_actions_addopen(&fa, 2, ::ptsname(terminal), O_RDWR | O_NOCTTY, 0);
  } else {
    posix_spawn_file_actions_addopen(&fa, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  if (!options.workDir.empty()) posix_spawn_file_actions_addchdir_np(&fa, options.workDir.c_str());

  const std::string program = options.program.empty() ? GLYPHOR_BINARY : options.program;
  std::vector<std::string> argStore{program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<std::string> envStore{"PATH=/usr/bin:/bin", "LC_ALL=C.UTF-8"};
  // A sanitized build's settings reach the program, so its reports fail the test.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) envStore.push_back(std::string(name) + "=" + value);
  }
  envStore.insert(envStore.end(), env.begin(), env.end());
  std::vector<char*> argv, envp;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid;
  RunResult r;
  int spawned;
  {
    const ChildFileSizeLimit limit(options);
    spawned = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), envp.data());
  }
  if (spawned != 0) {
    posix_spawn_file_actions_destroy(&fa);
    if (terminal >= 0) ::close(terminal);
    throw std::runtime_error("cannot start " + program);
  }
  posix_spawn_file_actions_destroy(&fa);
  int status = 0;
  if (terminal < 0) {
    status = WaitOrKill(pid, options.timeoutSeconds, r.timedOut);
  } else {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    auto drain = [&] {
      char buf[4096];
      for (ssize_t n; (n = ::read(terminal, buf, sizeof buf)) > 0;) r.err.append(buf, static_cast<size_t>(n));
    };
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      drain();
      if (std::chrono::steady_clock::now() >= deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        r.timedOut = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    drain();
    ::close(terminal);
    // The terminal turns each line end into CR LF.
    for (size_t at; (at = r.err.find("\r\n")) != std::string::npos;) r.err.erase(at, 1);
  }
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.out = ReadFile(outPath);
  if (terminal < 0) r.err = ReadFile(errPath);
  return r;
}

}  // namespace glyphor::test
