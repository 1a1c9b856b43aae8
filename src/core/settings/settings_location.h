// SPDX-License-Identifier: MIT
// Where the program keeps its own settings file: beside the executable for a
// portable copy, else in the user's XDG configuration folder.
#pragma once

#include <string>

namespace glyphor {

// The executable's path with the extension of its file name (what follows the
// last ".") replaced by ".ini", or ".ini" appended when the name has none.
std::string SettingsPathBesideExe(const std::string& exePath);

// The settings path for the given executable and environment values ($HOME,
// $XDG_CONFIG_HOME; empty when unset): the ".ini" beside the executable when
// we may write there (see the .cpp for the rule), else
// <config>/glyphor/glyphor.ini.
std::string ChooseSettingsPath(const std::string& exePath, const std::string& home, const std::string& xdgConfigHome);

// ChooseSettingsPath for the running program and its environment.
std::string OwnSettingsPath();

// Creates the folder of a settings path when missing; false when it cannot.
bool EnsureSettingsFolder(const std::string& settingsPath);

}  // namespace glyphor
