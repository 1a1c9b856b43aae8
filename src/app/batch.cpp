// SPDX-License-Identifier: MIT
#include "app/batch.h"

#include <cstdio>
#include <new>

#include <unistd.h>

#include "app/cut_loader.h"
#include "app/display_probe.h"
#include "app/usage.h"
#include "app/window_loader.h"
#include "core/output/svg_writer.h"
#include "core/platform/errors.h"
#include "core/platform/file_names.h"
#include "core/platform/special_folders.h"
#include "core/settings/settings_io.h"
#include "core/settings/settings_model.h"

namespace glyphor {

namespace {

// Batch messages go to standard error, and to a message box as well when a
// display exists and standard error is no terminal: a box would wait for a
// click that a user at a terminal, or a script, never gives. The window
// module is loaded only for a box.
class BatchMessages : public TUserMessages {
 public:
  void ShowMessage(const std::string& text) override { Show(text, false); }
  void ShowError(const std::string& text) { Show(text, true); }

 private:
  static void Show(const std::string& text, bool error) {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (DisplayConfigured() && !::isatty(STDERR_FILENO)) ShowMessageBox(text, error);
  }
};

}  // namespace

std::string BatchOutputPath(const std::string& glyPath) { return ReplaceExtension(glyPath, ".svg"); }

int RunBatch(const std::string& glyPath) {
  BatchMessages messages;
  try {
    // No screen is asked for in a batch run: 96 pixels per inch.
    SettingsModel model(DefaultScreenPpi);
    LoadSettings(model, glyPath, GetSpecialFolder(kFolderDocuments));
    // With no display at all, no viewer can show anything (View is on by default).
    if (!DisplayConfigured()) model.SetViewAfterSave(false);
    // Loaded while the text is captured; waited for before the file is begun.
    if (model.Values().CutReady) BeginLoadingCutModule();
    WriteSvg(BatchOutputPath(glyPath), model.Values(), DefaultScreenPpi, messages);
    return ExitOk;
  } catch (const std::bad_alloc&) {
    messages.ShowError(EOutOfResources().what());
  } catch (const std::exception& e) {
    messages.ShowError(e.what());
  }
  return ExitFailed;
}

}  // namespace glyphor
