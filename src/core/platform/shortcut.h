// SPDX-License-Identifier: MIT
// Launchers for the program: a desktop entry on the desktop or in the menu's
// applications folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace glyphor {

// The icon name the installed program's own entry and icon use.
constexpr char kApplicationId[] = "io.github.glyphor.Glyphor";

// Writes <folder>/<linkName>.desktop for the running program, replacing one
// that is there: "DESKTOP" the desktop (made executable and trusted),
// "PROGRAMS" the menu; a missing folder is created. Any other destination
// writes nothing. Throws EFileError when the file cannot be written.
void CreateShortcut(const std::string& linkName, const std::string& destination);

// The same for the program at `exePath`.
void CreateShortcutFor(const std::string& linkName, const std::string& destination, const std::string& exePath);

// Runs every step, also after one has failed, and only then reports: the
// failure's own exception when one step failed, an EFileError with each
// message on a line of its own when several did. So a desktop that cannot
// take a launcher does not keep one from the menu.
void RunEachThenReport(const std::vector<std::function<void()>>& steps);

// The text of a launcher named `linkName` that starts `exePath`.
std::string ShortcutEntryText(const std::string& linkName, const std::string& exePath);

}  // namespace glyphor
