// SPDX-License-Identifier: MIT
// Opening a written SVG in the user's default program for SVG documents,
// found by the XDG MIME Applications lookup.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/platform/user_messages.h"

namespace glyphor {

// An installed application that can be started.
struct TDesktopEntry {
  std::string file;  // full path of its .desktop file
  std::string name;  // Name=
  std::string icon;  // Icon=
  std::string exec;  // Exec=, string escapes resolved
};

// The default application for `mimeType`: [Default Applications] of the
// mimeapps.list files, then [Added Associations] and the MimeType= of the
// installed entries, less [Removed Associations]; then the same for each
// type it is a subclass of (application/xml for image/svg+xml), as GIO
// does. Only entries that exist, are not Hidden, need no terminal, and
// whose TryExec and Exec programs are found count.
std::optional<TDesktopEntry> FindDefaultApplication(const std::string& mimeType);

// Full path of the program that opens the SVG document `path`; empty when none.
std::string FindViewer(const std::string& path);

// The text between two double quotes, unchanged inside.
std::string QuoteText(const std::string& text);

// The arguments that open `document` with the entry: Exec split by its
// quoting rules, %f %F %u %U -> the document, %i -> --icon and the Icon,
// %c -> Name, %k -> the entry's file, %% -> %, other codes removed. Inside
// a quoted argument the values are quoted for the shell ('...'), as GLib
// does. The document is appended when Exec takes no file. Empty when Exec
// is broken.
std::vector<std::string> ExpandExec(const TDesktopEntry& entry, const std::string& document);

// Starts the program detached through ProcessStarterSeam(). On failure shows
// "実行できません (<errno>)" and returns false.
bool RunCommandLine(const std::vector<std::string>& argv, TUserMessages& messages);
// The same for a command line of blank-separated items, a "..." item taken
// whole (the form QuoteText makes; nothing is escaped inside).
bool RunCommandLine(const std::string& commandLine, TUserMessages& messages);

// Opens the saved SVG in its viewer, or shows "SVGのビューワーが見つかりませんでした。"
// when there is none (the file stays).
void LaunchViewer(const std::string& svgPath, TUserMessages& messages);

}  // namespace glyphor
