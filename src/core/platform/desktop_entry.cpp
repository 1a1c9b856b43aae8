// SPDX-License-Identifier: MIT
#include "core/platform/desktop_entry.h"

#include <sstream>

#include "core/platform/file_read.h"

namespace glyphor {

namespace {

std::string Trimmed(const std::string& text) {
  const auto start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_last_not_of(" \t\r") - start + 1);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

TKeyFile ReadKeyFile(const std::string& path) {
  // Entries with all their translations stay well below this.
  constexpr size_t kMaxKeyFileBytes = 1024 * 1024;
  TKeyFile file;
  std::string bytes;
  if (ReadRegularFile(path, kMaxKeyFileBytes, bytes) != ReadStatus::Ok) return file;
  std::istringstream in(bytes);
  std::string line, group;
  bool inGroup = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (trimmed.front() == '[' && trimmed.back() == ']') {
      group = trimmed.substr(1, trimmed.size() - 2);
      inGroup = true;
      file[group];
      continue;
    }
    const auto eq = line.find('=');
    if (!inGroup || eq == std::string::npos) continue;
    // Blanks around "=" do not count; the value keeps any others.
    std::string value = line.substr(eq + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    file[group][Trimmed(line.substr(0, eq))] = value;
  }
  return file;
}

std::string KeyValue(const TKeyFile& file, const std::string& group, const std::string& key) {
  const auto g = file.find(group);
  if (g == file.end()) return {};
  const auto k = g->second.find(key);
  return k == g->second.end() ? std::string() : k->second;
}

std::string UnescapeString(const std::string& raw) {
  std::string text;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      text += raw[i];
      continue;
    }
    switch (const char c = raw[++i]) {
      case 's': text += ' '; break;
      case 'n': text += '\n'; break;
      case 't': text += '\t'; break;
      case 'r': text += '\r'; break;
      case '\\': text += '\\'; break;
      default:
        text += '\\';
        text += c;
        break;  // "\;" stays for the list splitter
    }
  }
  return text;
}

std::string EscapeString(const std::string& text) {
  std::string raw;
  for (size_t i = 0; i < text.size(); ++i) {
    switch (const char c = text[i]) {
      case '\\': raw += "\\\\"; break;
      case '\n': raw += "\\n"; break;
      case '\t': raw += "\\t"; break;
      case '\r': raw += "\\r"; break;
      case ' ': raw += i == 0 ? "\\s" : " "; break;  // a leading blank would be lost
      default: raw += c; break;
    }
  }
  return raw;
}

std::vector<std::string> SplitList(const std::string& raw) {
  std::vector<std::string> items;
  std::string item;
  for (size_t i = 0; i <= raw.size(); ++i) {
    if (i < raw.size() && raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == ';') {
      item += ";";
      ++i;
    } else if (i == raw.size() || raw[i] == ';') {
      if (const std::string text = Trimmed(UnescapeString(item)); !text.empty()) items.push_back(text);
      item.clear();
    } else {
      item += raw[i];
    }
  }
  return items;
}

std::vector<TExecArgument> ParseExec(const std::string& exec) {
  std::vector<TExecArgument> args;
  TExecArgument arg;
  bool inArg = false;
  const auto add = [&arg](const std::string& text, bool quoted) {
    if (arg.empty() || arg.back().quoted != quoted)
      arg.push_back({text, quoted});
    else
      arg.back().text += text;
  };
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (IsBlank(c)) {
      if (inArg) args.push_back(arg);
      arg.clear();
      inArg = false;
      continue;
    }
    inArg = true;
    if (c == '"') {
      std::string text;
      for (++i; i < exec.size() && exec[i] != '"'; ++i) {
        // Inside double quotes a backslash escapes only " ` $ and itself.
        if (exec[i] == '\\' && i + 1 < exec.size() && std::string("\"`$\\").find(exec[i + 1]) != std::string::npos) ++i;
        text += exec[i];
      }
      if (i == exec.size()) return {};
      add(text, true);
    } else if (c == '\'') {
      const auto close = exec.find('\'', i + 1);
      if (close == std::string::npos) return {};
      add(exec.substr(i + 1, close - i - 1), true);
      i = close;
    } else if (c == '\\' && i + 1 < exec.size()) {
      add(std::string(1, exec[++i]), false);
    } else {
      add(std::string(1, c), false);
    }
  }
  if (inArg) args.push_back(arg);
  return args;
}

std::vector<std::string> SplitExec(const std::string& exec) {
  std::vector<std::string> args;
  for (const auto& arg : ParseExec(exec)) {
    std::string text;
    for (const auto& piece : arg) text += piece.text;
    args.push_back(text);
  }
  return args;
}

std::string QuoteExecArgument(const std::string& arg) {
  std::string quoted = "\"";
  for (const char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  return quoted + "\"";
}

}  // namespace glyphor
