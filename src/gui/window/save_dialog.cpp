// SPDX-License-Identifier: MIT
#include "gui/window/save_dialog.h"

#include <QFileDialog>

namespace glyphor {

std::string FolderPart(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return StartFolder(path.substr(0, slash + 1));
}

std::string StartFolder(const std::string& dir) {
  std::string d = dir;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  return d;
}

std::optional<std::string> RunSaveDialog(QWidget* parent, const SaveRequest& request) {
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setSizeGripEnabled(true);
  dialog.setNameFilter(request.Filter);
  dialog.setDefaultSuffix(request.DefaultSuffix);
  if (!request.Directory.isEmpty()) dialog.setDirectory(request.Directory);
  dialog.selectFile(request.FileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

}  // namespace glyphor
