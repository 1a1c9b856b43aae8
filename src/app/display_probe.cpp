// SPDX-License-Identifier: MIT
#include "app/display_probe.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace glyphor {

namespace {

// libxcb's connection handle, used only through pointers.
struct XcbConnection;
using XcbConnect = XcbConnection* (*)(const char* display, int* screen);
using XcbHasError = int (*)(XcbConnection* connection);
using XcbDisconnect = void (*)(XcbConnection* connection);

bool ConnectUnix(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() + 1 > sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
  ::close(fd);
  return ok;
}

// libxcb writes the server's refusal ("Authorization required, ...") to
// standard error itself; the caller reports the missing display in its own
// words. Only probed while no other thread runs: at start or in a batch run.
template <typename F>
auto WithoutStandardError(F&& probe) {
  std::fflush(stderr);
  const int saved = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) ::dup2(null, 2);
  if (null >= 0) ::close(null);
  const auto result = probe();
  if (saved >= 0) {
    ::dup2(saved, 2);
    ::close(saved);
  }
  return result;
}

}  // namespace

bool DisplayConfigured() {
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wl && *wl);
}

bool XDisplayAnswers(const std::string& display) {
  // An empty name would make libxcb read $DISPLAY itself.
  if (display.empty()) return false;
  // Kept loaded: Qt's X platform loads the same library next.
  static void* xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!xcb) return false;
  const auto connect = reinterpret_cast<XcbConnect>(::dlsym(xcb, "xcb_connect"));
  const auto hasError = reinterpret_cast<XcbHasError>(::dlsym(xcb, "xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<XcbDisconnect>(::dlsym(xcb, "xcb_disconnect"));
  if (!connect || !hasError || !disconnect) return false;
  // A refused connection still comes back as an object in an error state.
  return WithoutStandardError([&] {
    XcbConnection* connection = connect(display.c_str(), nullptr);
    const bool ok = connection && hasError(connection) == 0;
    if (connection) disconnect(connection);
    return ok;
  });
}

bool WaylandDisplayAnswers(const std::string& waylandDisplay, const std::string& runtimeDir) {
  if (waylandDisplay.empty()) return false;
  std::string path = waylandDisplay;
  if (path.front() != '/') {
    if (runtimeDir.empty()) return false;
    path = runtimeDir + "/" + path;
  }
  // A socket left behind by a compositor that ended refuses the connection.
  return ConnectUnix(path);
}

}  // namespace glyphor
