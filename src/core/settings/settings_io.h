// Loading and saving the conversion settings in a settings file (the
// program's own ".ini" or a batch ".gly"): sections Font, SVG and EMF.
#pragma once

#include <string>

#include "core/settings/settings_model.h"

namespace glyphor {

// Copies every key of `fileName` into `m` through its setters, in the file's
// fixed key order, so the same change notifications run as for a user's
// change. Missing file, section or key: the current value (the two folders
// default to `documentsDir`); nothing is created. Throws EConvertError
// "'<text>' は整数ではありません" at a colour key that is neither a colour name
// nor an integer; the keys before it stay loaded, none after it is read.
// Throws EIniFileException "<file> を読み込めません", loading nothing, when the
// file exists but cannot be read (a folder, a pipe, no permission).
void LoadSettings(SettingsModel& m, const std::string& fileName, const std::string& documentsDir);

// Writes all sixteen keys of `m` to `fileName` in one atomic save, keeping
// every other line of the file. Throws EIniFileException "<file> に書き込めません"
// when the file cannot be written; the window's close handler drops that
// error without a message and closes anyway.
void SaveSettings(const SettingsModel& m, const std::string& fileName);

}  // namespace glyphor
