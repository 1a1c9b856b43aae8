// SPDX-License-Identifier: MIT
#include "gui/window/application.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include "core/platform/exe_path.h"

namespace glyphor {

namespace {

// The build's settings (CMake cache variables GLYPHOR_WEB_URL and
// GLYPHOR_SUPPORT_MAIL) and the install layout relative to the data folder.
constexpr const char* kConfiguredWebUrl = GLYPHOR_WEB_URL;
constexpr const char* kSupportMail = GLYPHOR_SUPPORT_MAIL;
constexpr const char* kIconFromData = GLYPHOR_ICON_FROM_DATA;
constexpr const char* kDocFromData = GLYPHOR_DOC_FROM_DATA;

QString FromDataDir(const char* relative) {
  const std::string data = DataDir();
  if (data.empty()) return {};
  return QFileInfo(QString::fromStdString(data) + u'/' + QString::fromUtf8(relative)).absoluteFilePath();
}

}  // namespace

bool InstallJapaneseQtTexts(QCoreApplication& app) {
  // Owned by the application, so it lives as long as the texts are used.
  auto* qt = new QTranslator(&app);
  if (!qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete qt;
    return false;
  }
  return QCoreApplication::installTranslator(qt);
}

QString ProgramIconFile() {
  const QString file = FromDataDir(kIconFromData);
  return !file.isEmpty() && QFileInfo::exists(file) ? file : QString();
}

QIcon ProgramIcon() {
  const QString file = ProgramIconFile();
  QIcon icon = file.isEmpty() ? QIcon() : QIcon(file);
  // A file Qt cannot draw (no SVG support installed) gives no pixmap.
  if (icon.pixmap(64).isNull()) icon = QIcon::fromTheme(QString::fromLatin1(kDesktopFileName));
  return icon;
}

void SetUpApplication() {
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  // Also the class part of the windows' WM_CLASS, which the desktop entry's
  // StartupWMClass names.
  QCoreApplication::setApplicationName(QStringLiteral("GLYPHOR"));
  QGuiApplication::setWindowIcon(ProgramIcon());
  if (auto* app = QCoreApplication::instance()) InstallJapaneseQtTexts(*app);
}

QUrl WebPageUrl() {
  if (*kConfiguredWebUrl) return QUrl(QString::fromUtf8(kConfiguredWebUrl));
  const QString docs = FromDataDir(kDocFromData);
  return docs.isEmpty() ? QUrl() : QUrl::fromLocalFile(docs + u'/');
}

QUrl SupportMailUrl() { return QUrl(QStringLiteral("mailto:") + QString::fromUtf8(kSupportMail)); }

}  // namespace glyphor
