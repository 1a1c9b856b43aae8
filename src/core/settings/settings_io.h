// SPDX-License-Identifier: MIT
// Loading and saving the conversion settings in a settings file (the
// program's own ".ini" or a batch ".gly"): sections Font, SVG and EMF.
#pragma once

#include <string>
#include <vector>

#include "core/platform/errors.h"
#include "core/settings/settings_model.h"

namespace glyphor {

// A value that a key cannot take. what() is the message alone ("'red' は整数
// ではありません"); Section() and Key() say where it stood, as the table spells them.
class ESettingValueError : public EConvertError {
 public:
  ESettingValueError(const std::string& message, std::string section, std::string key);
  const std::string& Section() const { return section_; }
  const std::string& Key() const { return key_; }

 private:
  std::string section_, key_;
};

// Copies every key of `fileName` into `m` through its setters, in the file's
// fixed key order, so the same change notifications run as for a user's
// change. Missing file, section or key: the current value (the two folders
// default to `documentsDir`); nothing is created. Throws
// ESettingValueError "'<text>' は整数ではありません" at a colour key that is
// neither a colour name nor an integer; the keys before it stay loaded, none
// after it is read.
// Throws EIniFileException "<file> を読み込めません", loading nothing, when the
// file exists but cannot be read (a folder, a pipe, no permission).
void LoadSettings(SettingsModel& m, const std::string& fileName, const std::string& documentsDir);

// Writes all sixteen keys of `m` to `fileName` in one atomic save, keeping
// every other line of the file. Throws EIniFileException "<file> に書き込めません"
// when the file cannot be written; the window's close handler drops that
// error without a message and closes anyway.
void SaveSettings(const SettingsModel& m, const std::string& fileName);

// Sets one key from the command line: the key is found as in a file (names
// ignoring ASCII case) and the value taken by the same rules (ranges, cuts,
// the interplay of the flags), without the file's length limit; a colour may
// also be "#RRGGBB". Returns false when the file has no such key. Throws
// ESettingValueError "'<value>' は整数ではありません" when an integer, flag or
// colour key gets a text that is none.
bool ApplySetting(SettingsModel& m, const std::string& section, const std::string& key, const std::string& value,
                  const std::string& documentsDir);

// "Section.Key" of every key, in the table's order.
std::vector<std::string> SettingNames();

}  // namespace glyphor
