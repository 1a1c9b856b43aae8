// SPDX-License-Identifier: MIT
#include "gui/window/form_services.h"

#include <QDesktopServices>

#include "core/output/metafile_save.h"
#include "core/output/svg_writer.h"
#include "core/platform/shortcut.h"
#include "gui/preview/preview_image.h"
#include "gui/window/clipboard.h"
#include "gui/window/color_dialog.h"
#include "gui/window/font_dialog.h"
#include "gui/window/message_boxes.h"
#include "gui/window/save_dialog.h"

namespace glyphor {

void TFormServices::ShowError(QWidget* parent, const std::string& message) {
  ShowErrorBox(parent, QString::fromStdString(message));
}

void TFormServices::ShowMessage(const std::string& text) { ShowPlainBox(nullptr, QString::fromStdString(text)); }

bool TFormServices::Confirm(QWidget*, const QString& text) { return AskConfirmation(text); }

bool TFormServices::ChooseFont(QWidget* parent, TFontSpec& font) { return TFontDialog::Choose(parent, font); }

bool TFormServices::ChooseColor(QWidget* parent, QColor& color) { return ChooseColorDialog(parent, color); }

std::optional<std::string> TFormServices::ChooseSaveFile(QWidget* parent, const SaveRequest& request) {
  return RunSaveDialog(parent, request);
}

void TFormServices::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void TFormServices::CopyMetafile(const MetafilePicture& picture) { PutMetafileOnClipboard(picture.Bytes); }

void TFormServices::WriteSvg(const std::string& fileName, const ConversionSettings& s, int screenPpi,
                             TUserMessages& messages) {
  glyphor::WriteSvg(fileName, s, screenPpi, messages);
}

void TFormServices::BuildPicture(MetafilePicture& picture, const ConversionSettings& s, int screenPpi) {
  BuildMetafile(picture, s, screenPpi);
}

void TFormServices::SaveMetafile(const std::string& fileName, const MetafilePicture& picture) {
  SaveMetafileFile(fileName, picture);
}

QImage TFormServices::RenderPreview(const MetafilePicture& picture, int screenPpi) {
  return glyphor::RenderPreview(picture, screenPpi);
}

std::unique_ptr<PreviewPicture> TFormServices::PreparePreview(const MetafilePicture& picture, int screenPpi) {
  auto shown = std::make_unique<PreviewPicture>(picture, screenPpi);
  if (shown->IsNull()) return nullptr;
  return shown;
}

void TFormServices::CreateShortcut(const std::string& linkName, const std::string& destination) {
  glyphor::CreateShortcut(linkName, destination);
}

}  // namespace glyphor
