// SPDX-License-Identifier: MIT
#include "gui/window/display.h"

#include <cstdlib>
#include <string>

#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>

#include "app/display_probe.h"

namespace glyphor {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool WaylandPluginInstalled() {
  const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
  return !platforms.entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty();
}

}  // namespace

bool PrepareDisplay() {
  const bool x = XDisplayAnswers(Env("DISPLAY"));
  const bool wayland = WaylandDisplayAnswers(Env("WAYLAND_DISPLAY"), Env("XDG_RUNTIME_DIR"));
  const std::string chosen = Env("QT_QPA_PLATFORM");
  if (!chosen.empty()) {
    // Qt tries each platform of a ";" list in turn; the display ones abort
    // without their server, the others open anywhere.
    for (const QString& entry : QString::fromStdString(chosen).split(u';', Qt::SkipEmptyParts)) {
      const QString name = entry.section(u':', 0, 0);
      if (name == QLatin1String("xcb") ? x : name.startsWith(QLatin1String("wayland")) ? wayland : true) return true;
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
