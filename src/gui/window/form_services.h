// SPDX-License-Identifier: MIT
// Everything the main window asks of the desktop: modal dialogs, message
// boxes, the clipboard, web and mail links, the writers and the shell. The
// window calls only these, so tests replace the ones that would block, write
// outside a temporary folder or start programs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <QColor>
#include <QImage>
#include <QString>
#include <QUrl>

#include "core/outline/font_choice.h"
#include "core/output/metafile_picture.h"
#include "core/platform/user_messages.h"
#include "core/settings/settings_model.h"

class QWidget;

namespace glyphor {

class PreviewPicture;

// What a save dialog is prepared with before every use.
struct SaveRequest {
  QString FileName;       // proposed name ("Untitled")
  QString DefaultSuffix;  // added when the user types a name without one
  QString Filter;         // one "label (*.ext)" entry
  QString Directory;      // start folder
};

class TFormServices : public TUserMessages {
 public:
  ~TFormServices() override = default;

  // The error report: error icon, one OK button, the program's caption.
  virtual void ShowError(QWidget* parent, const std::string& message);
  // A plain message: no icon, one OK button, the program's caption.
  void ShowMessage(const std::string& text) override;
  // Question icon, caption "確認", "OK" (default) and "キャンセル"; true on OK.
  virtual bool Confirm(QWidget* parent, const QString& text);

  // Modal dialogs; false (and nothing changed) when cancelled.
  virtual bool ChooseFont(QWidget* parent, TFontSpec& font);
  virtual bool ChooseColor(QWidget* parent, QColor& color);
  // The full path chosen, or nothing when cancelled.
  virtual std::optional<std::string> ChooseSaveFile(QWidget* parent, const SaveRequest& request);

  virtual void OpenUrl(const QUrl& url);
  // Replaces the clipboard's content with the metafile bytes only. Throws
  // EFileError "クリップボードを開くことができません" when there is no clipboard.
  virtual void CopyMetafile(const MetafilePicture& picture);

  // The writers and the shell, as the window calls them.
  virtual void WriteSvg(const std::string& fileName, const ConversionSettings& s, int screenPpi,
                        TUserMessages& messages);
  virtual void BuildPicture(MetafilePicture& picture, const ConversionSettings& s, int screenPpi);
  virtual void SaveMetafile(const std::string& fileName, const MetafilePicture& picture);
  // Null image when the picture has no pixels; throws EOutOfResources when too large.
  virtual QImage RenderPreview(const MetafilePicture& picture, int screenPpi);
  // The same picture to be drawn part by part as it is shown; null when it
  // has no pixels; throws EOutOfResources when too large.
  virtual std::unique_ptr<PreviewPicture> PreparePreview(const MetafilePicture& picture, int screenPpi);
  virtual void CreateShortcut(const std::string& linkName, const std::string& destination);
};

}  // namespace glyphor
