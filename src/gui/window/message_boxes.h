// SPDX-License-Identifier: MIT
// The program's message boxes: the error report, plain messages and the
// confirmation before opening a link.
#pragma once

#include <string>

#include <QString>

class QWidget;

namespace glyphor {

// The caption of every message box: the executable's file name up to its
// first ".", first letter upper case, the rest lower case ("Glyphor").
QString ProgramTitle(const std::string& exePath);
QString ProgramTitle();  // of the running program

// An error message as the error box shows it: "." appended unless the last
// character's code is at or below that of ".".
QString ErrorText(const QString& message);

void ShowErrorBox(QWidget* parent, const QString& message);
void ShowPlainBox(QWidget* parent, const QString& text);
// Caption "確認", question icon, "OK" (default) and "キャンセル", centred on the
// screen; Escape and the close box cancel. True on OK.
bool AskConfirmation(const QString& text);

}  // namespace glyphor
