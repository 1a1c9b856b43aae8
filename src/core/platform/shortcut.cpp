// SPDX-License-Identifier: MIT
#include "core/platform/shortcut.h"

#include <exception>

#include <sys/stat.h>

#include "core/platform/atomic_file.h"
#include "core/platform/desktop_entry.h"
#include "core/platform/errors.h"
#include "core/platform/exe_path.h"
#include "core/platform/file_names.h"
#include "core/platform/process_start.h"
#include "core/platform/special_folders.h"

namespace glyphor {

namespace {

// GNOME's desktop icons start an entry only when it is marked trusted; the
// mark needs the desktop's metadata service, so failing here is normal.
void MarkTrusted(const std::string& file) {
  if (FindProgram("gio").empty()) return;
  ProcessStarterSeam()({"gio", "set", file, "metadata::trusted", "true"}, StartMode::WaitQuietly);
}

}  // namespace

std::string ShortcutEntryText(const std::string& linkName, const std::string& exePath) {
  // Version 1.5 is still refused by the validators of current distributions.
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.4\n"
         "Name=" +
         EscapeString(linkName) +
         "\n"
         "Exec=" +
         EscapeString(QuoteExecArgument(exePath)) +
         "\n"
         "Path=" +
         EscapeString(FolderOf(exePath)) +
         "\n"
         "Icon=" +
         std::string(kApplicationId) +
         "\n"
         "Terminal=false\n"
         "Categories=Graphics;\n";
}

void CreateShortcutFor(const std::string& linkName, const std::string& destination, const std::string& exePath) {
  const bool desktop = destination == "DESKTOP";
  if (!desktop && destination != "PROGRAMS") return;
  const std::string file = GetSpecialFolder(desktop ? kFolderDesktop : kFolderPrograms) + "/" + linkName + ".desktop";
  if (WriteFileAtomically(file, ShortcutEntryText(linkName, exePath), 0644) != WriteResult::Ok)
    throw EFileError(FormatMessage("ファイル %s を作成できません", {file}));
  if (!desktop) return;
  // File managers start only executable launchers from the desktop; a replaced
  // file keeps its old mode, so set it in any case.
  ::chmod(file.c_str(), 0755);
  MarkTrusted(file);
}

void RunEachThenReport(const std::vector<std::function<void()>>& steps) {
  std::exception_ptr first;
  std::string messages;
  int failures = 0;
  for (const auto& step : steps) {
    try {
      step();
    } catch (const Exception& e) {
      if (!first) first = std::current_exception();
      messages += (failures++ ? "\n" : "") + std::string(e.what());
    }
  }
  if (failures == 1) std::rethrow_exception(first);
  if (failures > 1) throw EFileError(messages);
}

void CreateShortcut(const std::string& linkName, const std::string& destination) {
  CreateShortcutFor(linkName, destination, ExecutablePath());
}

}  // namespace glyphor
