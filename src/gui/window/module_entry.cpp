// SPDX-License-Identifier: MIT
// The C entry points of the window module (core/window_module.h).
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QSessionManager>
#include <QTabWidget>
#include <QTimer>

#include "app/display_probe.h"
#include "app/usage.h"
#include "app/window_module.h"
#include "core/outline/font_match.h"
#include "core/output/cut_library.h"
#include "core/settings/settings_location.h"
#include "gui/window/application.h"
#include "gui/window/display.h"
#include "gui/window/form.h"
#include "gui/window/message_boxes.h"

namespace {

using glyphor::TForm1;

int PrimaryScreenPpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int ppi = screen ? qRound(screen->logicalDotsPerInchY()) : 0;
  return ppi > 0 ? ppi : glyphor::DefaultScreenPpi;
}

// GLYPHOR_SCREENSHOT_DIR: brings up each page as a user would, saves the
// window as page-1.png ... page-3.png there, and quits. For checking the
// layout under Xvfb.
void ScheduleScreenshots(TForm1& form, const QString& dir) {
  QTimer::singleShot(500, &form, [&form, dir] {
    for (int i = 0; i < form.PageControl1->count(); ++i) {
      form.PageControl1->setCurrentIndex(i);
      QCoreApplication::processEvents();
      form.grab().save(QDir(dir).filePath(QStringLiteral("page-%1.png").arg(i + 1)));
    }
    form.close();
  });
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int glyphor_window_main(int argc, char** argv) {
  if (!glyphor::PrepareDisplay()) {
    std::fprintf(stderr, "%s\n%s\n", glyphor::kNoDisplayMessage, glyphor::kUsageLine);
    return glyphor::ExitFailed;
  }
  glyphor::InstallFontAliasesForToolkit();
  glyphor::InstallLinkedCutWriters();  // the window's SVG save may be cut-ready
  QApplication app(argc, argv);
  glyphor::SetUpApplication();

  glyphor::TFormServices services;
  TForm1 form(PrimaryScreenPpi(), services, glyphor::OwnSettingsPath());
  form.FormCreate();
  // A log-off or shutdown asks the session's question instead of closing us.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                   [&form](QSessionManager&) { form.FormCloseQuery(); });
  form.show();
  const QString shots = qEnvironmentVariable("GLYPHOR_SCREENSHOT_DIR");
  if (!shots.isEmpty()) ScheduleScreenshots(form, shots);
  return app.exec();
}

extern "C" __attribute__((visibility("default"))) int glyphor_show_message(const char* utf8, int error) {
  std::unique_ptr<QApplication> own;
  if (!QCoreApplication::instance()) {
    if (!glyphor::PrepareDisplay()) return 0;
    static int argc = 1;
    static char name[] = "glyphor";
    static char* argv[] = {name, nullptr};
    own = std::make_unique<QApplication>(argc, argv);
  } else if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
    return 0;  // a core or GUI-only application cannot show a widget
  }
  if (glyphor::HeadlessPlatform()) return 0;  // nobody would see it, nobody could close it
  const QString text = QString::fromUtf8(utf8 ? utf8 : "");
  if (error)
    glyphor::ShowErrorBox(nullptr, text);
  else
    glyphor::ShowPlainBox(nullptr, text);
  return 1;
}
