// SPDX-License-Identifier: MIT
// What the window's application is given before its first window: the
// desktop's name for it, its icon, Qt's own texts in Japanese, and where the
// title and notice labels lead.
#pragma once

#include <QIcon>
#include <QString>
#include <QUrl>

class QCoreApplication;

namespace glyphor {

// The desktop entry's name, which docks and task bars match windows with.
inline constexpr const char* kDesktopFileName = "io.github.glyphor.Glyphor";

// Names the application for the desktop, sets its icon and loads Qt's
// Japanese texts. Call after the QApplication exists, before any window.
void SetUpApplication();

// Loads Qt's Japanese translations (dialogs, context menus) whatever the
// locale: the whole window is Japanese. False when they are not installed.
bool InstallJapaneseQtTexts(QCoreApplication& app);

// The program's icon file: the installed one beside the program's data, or
// the copy in the build tree. Empty when neither exists.
QString ProgramIconFile();
// The icon from that file, else from the icon theme; null when neither has it.
QIcon ProgramIcon();

// Where the title label leads: the web page configured when building, or by
// default the installed documentation folder (README and sample settings).
QUrl WebPageUrl();
// The mail link of the notice label, to the address configured when building.
QUrl SupportMailUrl();

}  // namespace glyphor
