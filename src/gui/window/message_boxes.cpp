// SPDX-License-Identifier: MIT
#include "gui/window/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

#include "core/platform/exe_path.h"

namespace glyphor {

QString ProgramTitle(const std::string& exePath) {
  const auto slash = exePath.rfind('/');
  QString name = QString::fromStdString(slash == std::string::npos ? exePath : exePath.substr(slash + 1));
  name = name.left(name.indexOf(u'.')).toLower();
  if (!name.isEmpty()) name[0] = name[0].toUpper();
  return name;
}

QString ProgramTitle() { return ProgramTitle(ExecutablePath()); }

QString ErrorText(const QString& message) {
  if (message.isEmpty() || message.back().unicode() <= u'.') return message;
  return message + u'.';
}

static void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, ProgramTitle(), text, QMessageBox::Ok, parent);
  box.exec();
}

void ShowErrorBox(QWidget* parent, const QString& message) {
  ShowBox(parent, QMessageBox::Critical, ErrorText(message));
}

void ShowPlainBox(QWidget* parent, const QString& text) { ShowBox(parent, QMessageBox::NoIcon, text); }

bool AskConfirmation(const QString& text) {
  // No parent: the confirmation is centred on the screen, not on the window.
  QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), text, QMessageBox::NoButton);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(cancel);
  box.exec();
  // The close box reports the escape button, so anything but OK cancels.
  return box.clickedButton() == ok;
}

}  // namespace glyphor
