#include "gui/display.h"

#include <cstdlib>
#include <cstring>

#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>

#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace glyphor {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool ConnectUnix(const std::string& path, bool abstract) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() + 2 > sizeof addr.sun_path) return false;
  const size_t offset = abstract ? 1 : 0;  // abstract names start with a zero byte
  std::memcpy(addr.sun_path + offset, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const auto len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
  ::close(fd);
  return ok;
}

bool ConnectTcp(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool ok = false;
  for (addrinfo* a = found; a && !ok; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  return ok;
}

bool WaylandPluginInstalled() {
  const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
  return !platforms.entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty();
}

}  // namespace

bool XDisplayAnswers(const std::string& display) {
  const auto colon = display.rfind(':');
  if (colon == std::string::npos || colon + 1 >= display.size()) return false;
  const std::string host = display.substr(0, colon);
  char* end = nullptr;
  const long number = std::strtol(display.c_str() + colon + 1, &end, 10);
  if (end == display.c_str() + colon + 1 || number < 0 || number > 65535 - 6000) return false;
  if (host.empty() || host == "unix") {
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    return ConnectUnix(socket, true) || ConnectUnix(socket, false);
  }
  return ConnectTcp(host, 6000 + static_cast<int>(number));
}

bool WaylandSocketExists(const std::string& waylandDisplay, const std::string& runtimeDir) {
  if (waylandDisplay.empty()) return false;
  std::string path = waylandDisplay;
  if (path.front() != '/') {
    if (runtimeDir.empty()) return false;
    path = runtimeDir + "/" + path;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool PrepareDisplay() {
  const bool x = XDisplayAnswers(Env("DISPLAY"));
  const bool wayland = WaylandSocketExists(Env("WAYLAND_DISPLAY"), Env("XDG_RUNTIME_DIR"));
  const std::string chosen = Env("QT_QPA_PLATFORM");
  if (!chosen.empty()) {
    // Qt tries each platform of a ";" list in turn; the display ones abort
    // without their server, the others open anywhere.
    for (const QString& entry : QString::fromStdString(chosen).split(u';', Qt::SkipEmptyParts)) {
      const QString name = entry.section(u':', 0, 0);
      if (name == QLatin1String("xcb") ? x : name.startsWith(QLatin1String("wayland")) ? wayland : true)
        return true;
    }
    return false;
  }
  if (x) return true;
  if (wayland && WaylandPluginInstalled()) {
    ::setenv("QT_QPA_PLATFORM", "wayland", 1);
    return true;
  }
  return false;
}

bool HeadlessPlatform() {
  const QString name = QGuiApplication::platformName();
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

}  // namespace glyphor
