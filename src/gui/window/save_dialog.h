// SPDX-License-Identifier: MIT
// The window's save-file dialog and the folder rules of its two save flows.
#pragma once

#include <optional>
#include <string>

#include "gui/window/form_services.h"

class QWidget;

namespace glyphor {

// The folder remembered after a save: everything before the path's last "/",
// trailing "/" left off; "/" itself for a file in the root; empty without "/".
std::string FolderPart(const std::string& path);

// The start folder for a remembered one: a trailing "/" is dropped unless the
// folder is the root.
std::string StartFolder(const std::string& dir);

// Qt's own (non-native) save dialog: asks before overwriting, no read-only
// box, resizable; adds the default suffix to a name typed without one.
std::optional<std::string> RunSaveDialog(QWidget* parent, const SaveRequest& request);

}  // namespace glyphor
