// SPDX-License-Identifier: MIT
#include "app/display_probe.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/usage.h"
#include "app/window_module.h"
#include "core/platform/process_start.h"
#include "support/test_support.h"

extern char** environ;

namespace glyphor {
namespace {

// A listening Unix socket at `path` while it lives; the file stays after.
class Listener {
 public:
  explicit Listener(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(::listen(fd_, 1), 0);
  }
  ~Listener() { ::close(fd_); }

 private:
  int fd_;
};

TEST(DisplayTest, UnreachableDisplaysAreRecognised) {
  EXPECT_FALSE(XDisplayAnswers(""));
  EXPECT_FALSE(XDisplayAnswers("nonsense"));
  EXPECT_FALSE(XDisplayAnswers(":"));
  EXPECT_FALSE(XDisplayAnswers(":59001"));  // beyond any port
  EXPECT_FALSE(XDisplayAnswers(":4711"));   // nobody serves display 4711 here
  test::TempDir dir;
  test::WriteFile(dir / "wayland-0", "");
  EXPECT_FALSE(WaylandDisplayAnswers("", dir.path()));
  EXPECT_FALSE(WaylandDisplayAnswers("wayland-0", dir.path()));  // a file, not a socket
  EXPECT_FALSE(WaylandDisplayAnswers("wayland-0", ""));
  // A compositor's socket answers while it runs, and not once it has gone.
  {
    Listener compositor(dir / "wayland-1");
    EXPECT_TRUE(WaylandDisplayAnswers("wayland-1", dir.path()));
    EXPECT_TRUE(WaylandDisplayAnswers(dir / "wayland-1", ""));
  }
  EXPECT_FALSE(WaylandDisplayAnswers("wayland-1", dir.path()));
}

// An X server that lets in only clients with its cookie, as after `su`, in
// cron, or with a stale `ssh -X` forwarding: Xvfb with an authority file.
class GuardedXServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (FindProgram("Xvfb").empty() || FindProgram("xauth").empty()) GTEST_SKIP() << "Xvfb or xauth is missing";
    std::mt19937_64 random{std::random_device{}()};
    char cookie[33];
    std::snprintf(cookie, sizeof cookie, "%016llx%016llx", static_cast<unsigned long long>(random()),
                  static_cast<unsigned long long>(random()));
    // The server takes every cookie of its file, whatever display it names.
    ASSERT_EQ(StartProcess({"xauth", "-f", dir / "server", "add", ":0", ".", cookie}, StartMode::WaitQuietly), 0);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);  // -displayfd: the number it chose
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const std::string auth = dir / "server";
    std::vector<std::string> args{"Xvfb", "-displayfd", "3", "-auth", auth, "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawnp(&server_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    ASSERT_EQ(spawned, 0);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    while (::poll(&p, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display = ":" + number;
    ASSERT_EQ(StartProcess({"xauth", "-f", dir / "client", "add", display, ".", cookie}, StartMode::WaitQuietly), 0);
  }
  void TearDown() override {
    if (server_ > 0) {
      ::kill(server_, SIGTERM);
      ::waitpid(server_, nullptr, 0);
    }
  }

  test::TempDir dir;
  std::string display;

 private:
  pid_t server_ = 0;
};

TEST_F(GuardedXServer, AnswersOnlyWithItsCookie) {
  const char* saved = std::getenv("XAUTHORITY");
  const std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
  ::setenv("XAUTHORITY", (dir / "none").c_str(), 1);
  EXPECT_FALSE(XDisplayAnswers(display));
  ::setenv("XAUTHORITY", (dir / "client").c_str(), 1);
  EXPECT_TRUE(XDisplayAnswers(display));
  if (previous)
    ::setenv("XAUTHORITY", previous->c_str(), 1);
  else
    ::unsetenv("XAUTHORITY");
}

// Without the cookie the program falls back to standard error and its exit
// statuses stay true (Qt would abort the process: 134).
TEST_F(GuardedXServer, RunsOnARefusingDisplayEndAsTheyShould) {
  const std::vector<std::string> env{"DISPLAY=" + display, "HOME=" + dir.path(), "XDG_DATA_HOME=" + dir / "data",
                                     "XDG_CONFIG_HOME=" + dir / "config", "XDG_DATA_DIRS=" + dir / "system"};
  test::RunResult r = test::RunGlyphor({dir / "missing/x.gly"}, env);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, ExitFailed);
  EXPECT_EQ(r.err, "ファイル " + dir / "missing/x.svg" + " を作成できません\n");

  test::WriteFile(dir / "a.gly", "[Font]\r\nFontName=DejaVu Sans\r\nFontText=A\r\n[SVG]\r\nView=1\r\n");
  r = test::RunGlyphor({dir / "a.gly"}, env);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, ExitOk);
  EXPECT_EQ(r.err, "SVGのビューワーが見つかりませんでした。\n");
  EXPECT_TRUE(test::FileExists(dir / "a.svg"));

  r = test::RunGlyphor({}, env);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exitCode, ExitFailed);
  // A command-line-only build has no window module to try the display with.
  const std::string program = GLYPHOR_BINARY;
  if (test::FileExists(program.substr(0, program.rfind('/')) + "/" GLYPHOR_WINDOW_MODULE))
    EXPECT_EQ(r.err, std::string(kNoDisplayMessage) + "\n" + kUsageLine + "\n");
  else
    EXPECT_TRUE(r.err.starts_with("ウィンドウのモジュール " GLYPHOR_WINDOW_MODULE " を読み込めません: ")) << r.err;
}

}  // namespace
}  // namespace glyphor
