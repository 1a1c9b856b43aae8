// SPDX-License-Identifier: MIT
// The user's folders on a Linux desktop, found the XDG way: the home folder,
// the XDG base folders and the user folders of user-dirs.dirs.
#pragma once

#include <string>

namespace glyphor {

// Folder numbers that GetSpecialFolder knows.
constexpr int kFolderDesktop = 0;
constexpr int kFolderPrograms = 2;
constexpr int kFolderDocuments = 5;

// Path of the folder with the given number, without a trailing "/": 5 the
// documents folder (else the home folder), 0 the desktop (XDG_DESKTOP_DIR,
// else ~/Desktop), 2 the menu's applications folder; these two are created
// when missing. Unknown numbers: empty text.
std::string GetSpecialFolder(int csidl);

// $HOME, or the home folder of the password database when it is unset;
// no trailing "/".
std::string HomeFolder();
// An XDG base folder: the variable's value when it is an absolute path, else
// the home folder plus `underHome` (".config", ".local/share").
std::string XdgBaseFolder(const char* variable, const char* underHome);
// Creates the folder and its missing parents (new ones 0700, as the XDG base
// folders want); true when it exists afterwards. Never creates the home
// folder or a folder above it: below a missing home nothing is made.
bool MakeFolders(const std::string& path);

}  // namespace glyphor
