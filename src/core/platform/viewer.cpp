// SPDX-License-Identifier: MIT
#include "core/platform/viewer.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

#include "core/platform/desktop_entry.h"
#include "core/platform/file_read.h"
#include "core/platform/process_start.h"
#include "core/platform/special_folders.h"
#include "core/text/ascii_case.h"

namespace glyphor {

namespace {

constexpr char kSvgMimeType[] = "image/svg+xml";

// A colon-separated list of absolute folders (relative ones are invalid in
// the XDG base folders), or the fallback list when the variable is empty.
std::vector<std::string> FolderList(const char* variable, const char* fallback) {
  const char* env = std::getenv(variable);
  const std::string value = env && *env ? env : fallback;
  std::vector<std::string> folders;
  size_t start = 0;
  while (start <= value.size()) {
    const auto end = std::min(value.find(':', start), value.size());
    std::string folder = value.substr(start, end - start);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!folder.empty() && folder[0] == '/') folders.push_back(folder);
    start = end + 1;
  }
  return folders;
}

// XDG_CURRENT_DESKTOP: a colon-separated list of names, compared lower-cased.
std::vector<std::string> CurrentDesktops() {
  const char* env = std::getenv("XDG_CURRENT_DESKTOP");
  std::vector<std::string> names;
  std::string name;
  for (const char* c = env ? env : "";; ++c) {
    if (*c == ':' || *c == '\0') {
      if (!name.empty()) names.push_back(name);
      name.clear();
      if (*c == '\0') break;
    } else {
      name += LowerAscii(*c);
    }
  }
  return names;
}

// One folder that may hold mimeapps.list files; the applications folders of
// the data folders also hold desktop entries.
struct TLevel {
  std::string folder;
  bool holdsEntries;
  std::vector<std::string> lists;  // the desktop-specific files first
};

std::vector<TLevel> Levels() {
  std::vector<TLevel> levels;
  levels.push_back({XdgBaseFolder("XDG_CONFIG_HOME", ".config"), false, {}});
  for (const auto& dir : FolderList("XDG_CONFIG_DIRS", "/etc/xdg")) levels.push_back({dir, false, {}});
  levels.push_back({XdgBaseFolder("XDG_DATA_HOME", ".local/share") + "/applications", true, {}});
  for (const auto& dir : FolderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))
    levels.push_back({dir + "/applications", true, {}});
  const auto desktops = CurrentDesktops();
  for (auto& level : levels) {
    for (const auto& desktop : desktops) level.lists.push_back(level.folder + "/" + desktop + "-mimeapps.list");
    level.lists.push_back(level.folder + "/mimeapps.list");
  }
  return levels;
}

// Installed desktop IDs: the path below an applications folder with "/"
// turned into "-". The first folder in lookup order that has an ID wins.
struct TInstalled {
  std::map<std::string, std::string> fileOf;
  std::map<std::string, std::vector<std::string>> idsIn;  // applications folder -> its winning IDs, sorted
  std::set<std::pair<dev_t, ino_t>> scanned;              // folders seen, so link loops end
};

void ScanApplications(const std::string& root, const std::string& dir, const std::string& prefix,
                      TInstalled& installed) {
  struct stat self {};
  if (::stat(dir.c_str(), &self) != 0 || !installed.scanned.insert({self.st_dev, self.st_ino}).second) return;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    if (name == "." || name == "..") continue;
    const std::string path = dir + "/" + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      ScanApplications(root, path, prefix + name + "-", installed);
    } else if (name.size() > 8 && name.ends_with(".desktop") && !installed.fileOf.count(prefix + name)) {
      installed.fileOf[prefix + name] = path;
      installed.idsIn[root].push_back(prefix + name);
    }
  }
}

// The type and the types it is a kind of, nearest first: image/svg+xml is
// application/xml, which is text/plain (shared-mime-info's subclasses files).
std::vector<std::string> TypeAndParents(const std::string& type) {
  constexpr size_t kMaxSubclassesBytes = 1024 * 1024;
  std::multimap<std::string, std::string> parentsOf;
  std::vector<std::string> folders{XdgBaseFolder("XDG_DATA_HOME", ".local/share")};
  for (const auto& dir : FolderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) folders.push_back(dir);
  for (const auto& folder : folders) {
    std::string bytes;
    if (ReadRegularFile(folder + "/mime/subclasses", kMaxSubclassesBytes, bytes) != ReadStatus::Ok) continue;
    std::istringstream lines(bytes);
    std::string child, parent;
    while (lines >> child >> parent) parentsOf.emplace(child, parent);
  }
  std::vector<std::string> types{type};
  for (size_t i = 0; i < types.size(); ++i) {
    const auto [from, to] = parentsOf.equal_range(types[i]);
    for (auto it = from; it != to; ++it)
      if (std::find(types.begin(), types.end(), it->second) == types.end()) types.push_back(it->second);
  }
  return types;
}

// The entry of a file when it is an application we can start.
std::optional<TDesktopEntry> LoadUsable(const std::string& file) {
  const TKeyFile keys = ReadKeyFile(file);
  const auto value = [&](const char* key) { return UnescapeString(KeyValue(keys, "Desktop Entry", key)); };
  if (value("Type") != "Application" || value("Hidden") == "true") return std::nullopt;
  // A program that needs a terminal cannot show a picture when started on
  // its own, and from a batch run it would write over the caller's terminal.
  if (value("Terminal") == "true") return std::nullopt;
  const std::string tryExec = value("TryExec");
  if (!tryExec.empty() && FindProgram(tryExec).empty()) return std::nullopt;
  TDesktopEntry entry{file, value("Name"), value("Icon"), value("Exec")};
  const auto args = SplitExec(entry.exec);
  if (args.empty() || FindProgram(args[0]).empty()) return std::nullopt;
  return entry;
}

class TLookup {
 public:
  explicit TLookup(const std::string& mimeType) : type_(mimeType), levels_(Levels()) {
    for (const auto& level : levels_)
      if (level.holdsEntries) ScanApplications(level.folder, level.folder, "", installed_);
  }

  void SetType(const std::string& mimeType) { type_ = mimeType; }

  // Each list's defaults, skipping those a more important list removed.
  std::optional<TDesktopEntry> FromDefaults() {
    std::set<std::string> removed;
    for (const auto& level : levels_) {
      for (const auto& list : level.lists) {
        const TKeyFile keys = ReadKeyFile(list);
        if (auto entry = FirstUsable(KeyValue(keys, "Default Applications", type_), removed)) return entry;
        for (const auto& id : SplitList(KeyValue(keys, "Removed Associations", type_))) removed.insert(id);
      }
    }
    return std::nullopt;
  }

  // Added associations and the entries that list the type, level by level:
  // a removal reaches its own level's entries and those of later levels.
  std::optional<TDesktopEntry> FromAssociations() {
    std::set<std::string> removed;
    for (const auto& level : levels_) {
      for (const auto& list : level.lists) {
        const TKeyFile keys = ReadKeyFile(list);
        if (auto entry = FirstUsable(KeyValue(keys, "Added Associations", type_), removed)) return entry;
        for (const auto& id : SplitList(KeyValue(keys, "Removed Associations", type_))) removed.insert(id);
      }
      if (!level.holdsEntries) continue;
      for (const auto& id : installed_.idsIn[level.folder]) {
        if (removed.count(id) || !ListsType(installed_.fileOf[id])) continue;
        if (auto entry = LoadUsable(installed_.fileOf[id])) return entry;
      }
    }
    return std::nullopt;
  }

 private:
  std::optional<TDesktopEntry> FirstUsable(const std::string& idList, const std::set<std::string>& removed) {
    for (const auto& id : SplitList(idList)) {
      const auto file = installed_.fileOf.find(id);
      if (removed.count(id) || file == installed_.fileOf.end()) continue;
      if (auto entry = LoadUsable(file->second)) return entry;
    }
    return std::nullopt;
  }

  bool ListsType(const std::string& file) const {
    const auto types = SplitList(KeyValue(ReadKeyFile(file), "Desktop Entry", "MimeType"));
    return std::find(types.begin(), types.end(), type_) != types.end();
  }

  std::string type_;
  std::vector<TLevel> levels_;
  TInstalled installed_;
};

// A value for a shell: inside quotes the Exec line hands its text to one
// (sh -c "view %f"), where a file named "$(cmd).svg" would run cmd.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// One argument with its field codes expanded, values quoted for the shell
// inside quoted pieces; `tookFile` is set when it received the document,
// `hadCode` when it held a code.
std::string ExpandArgument(const TExecArgument& arg, const TDesktopEntry& entry, const std::string& document,
                           bool& tookFile, bool& hadCode) {
  std::string out;
  for (const auto& piece : arg) {
    const auto value = [&piece](const std::string& text) { return piece.quoted ? ShellQuoted(text) : text; };
    const std::string& text = piece.text;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '%' || i + 1 == text.size()) {
        out += text[i];
        continue;
      }
      hadCode = true;
      switch (text[++i]) {
        case 'f':
        case 'F':
        case 'u':
        case 'U':
          out += value(document);
          tookFile = true;
          break;
        case 'c': out += value(entry.name); break;
        case 'k': out += value(entry.file); break;
        case 'i': out += value(entry.icon); break;
        case '%': out += '%'; break;
        default: break;  // deprecated and unknown codes go
      }
    }
  }
  return out;
}

}  // namespace

std::optional<TDesktopEntry> FindDefaultApplication(const std::string& mimeType) {
  TLookup lookup(mimeType);
  for (const auto& type : TypeAndParents(mimeType)) {
    lookup.SetType(type);
    if (auto entry = lookup.FromDefaults()) return entry;
    if (auto entry = lookup.FromAssociations()) return entry;
  }
  return std::nullopt;
}

std::string FindViewer(const std::string& /*path: always an SVG document*/) {
  const auto entry = FindDefaultApplication(kSvgMimeType);
  const auto args = entry ? SplitExec(entry->exec) : std::vector<std::string>();
  return args.empty() ? std::string() : FindProgram(args.front());
}

std::string QuoteText(const std::string& text) { return "\"" + text + "\""; }

std::vector<std::string> ExpandExec(const TDesktopEntry& entry, const std::string& document) {
  std::vector<std::string> argv;
  bool tookFile = false;
  for (const auto& arg : ParseExec(entry.exec)) {
    if (arg.size() == 1 && !arg[0].quoted && arg[0].text == "%i") {
      if (!entry.icon.empty()) argv.insert(argv.end(), {"--icon", entry.icon});
      continue;
    }
    bool hadCode = false;
    const std::string expanded = ExpandArgument(arg, entry, document, tookFile, hadCode);
    // An argument that was only a dropped code disappears.
    if (!expanded.empty() || !hadCode) argv.push_back(expanded);
  }
  if (!argv.empty() && !tookFile) argv.push_back(document);
  return argv;
}

bool RunCommandLine(const std::vector<std::string>& argv, TUserMessages& messages) {
  const int err = ProcessStarterSeam()(argv, StartMode::Detached);
  if (err == 0) return true;
  messages.ShowMessage("実行できません (" + std::to_string(static_cast<unsigned>(err)) + ")");
  return false;
}

bool RunCommandLine(const std::string& commandLine, TUserMessages& messages) {
  std::vector<std::string> argv;
  size_t i = commandLine.find_first_not_of(' ');
  while (i != std::string::npos && i < commandLine.size()) {
    const bool quoted = commandLine[i] == '"';
    const size_t start = quoted ? i + 1 : i;
    size_t end = commandLine.find(quoted ? '"' : ' ', start);
    if (end == std::string::npos) end = commandLine.size();
    argv.push_back(commandLine.substr(start, end - start));
    i = commandLine.find_first_not_of(' ', quoted && end < commandLine.size() ? end + 1 : end);
  }
  return RunCommandLine(argv, messages);
}

void LaunchViewer(const std::string& svgPath, TUserMessages& messages) {
  const auto entry = FindDefaultApplication(kSvgMimeType);
  if (!entry) {
    messages.ShowMessage("SVGのビューワーが見つかりませんでした。");
    return;
  }
  RunCommandLine(ExpandExec(*entry, svgPath), messages);
}

}  // namespace glyphor
