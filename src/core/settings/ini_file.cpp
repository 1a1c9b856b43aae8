#include "core/settings/ini_file.h"

#include <cerrno>
#include <optional>

#include <iconv.h>

#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/platform/file_read.h"
#include "core/text/ascii_case.h"
#include "core/text/int_text.h"
#include "core/text/utf8.h"

namespace glyphor {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr const char* kNewLineEnd = "\r\n";  // what the original platform writes

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) { return EqualsIgnoringAsciiCase(a, b); }

// "[name]" (blanks around allowed, anything after "]" ignored).
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (!line.starts_with('[')) return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// "key=value": the key ends at the first "=".
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& value) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = line.substr(eq + 1);
  return !key.empty();
}

// Settings files are small; anything larger is not one.
constexpr size_t kMaxSettingsFileBytes = 64 << 20;

// Files from the original platform are in code page 932. Bytes that are not
// Shift-JIS either become U+FFFD rather than failing the whole file.
std::string Cp932ToUtf8(const std::string& in) {
  iconv_t cd = ::iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::string out(in.size() * 3 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t used = 0;
  while (srcLeft > 0) {
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    const size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
    } else {  // EILSEQ or EINVAL: replace one byte and go on
      out.replace(used, 3, "\xEF\xBF\xBD");
      used += 3;
      ++src;
      --srcLeft;
      if (out.size() - used < 16) out.resize(out.size() * 2);
    }
  }
  ::iconv_close(cd);
  out.resize(used);
  return out;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

TIniFile::~TIniFile() {
  try {
    UpdateFile();
  } catch (...) {}
}

bool TIniFile::Unreadable() const {
  Load();
  return unreadable_;
}

void TIniFile::Load() const {
  if (loaded_) return;
  loaded_ = true;
  std::string bytes;
  const ReadStatus read = ReadRegularFile(fileName_, kMaxSettingsFileBytes, bytes);
  if (read != ReadStatus::Ok) {
    unreadable_ = read == ReadStatus::Refused;
    return;
  }
  if (IsValidUtf8(bytes)) {
    bom_ = bytes.starts_with(kBom);
    if (bom_) bytes.erase(0, kBom.size());
  } else {
    bytes = Cp932ToUtf8(bytes);
  }
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines_.push_back({bytes.substr(start), ""});
      break;
    }
    const size_t eolLen = bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    lines_.push_back({bytes.substr(start, end - start), bytes.substr(end, eolLen)});
    start = end + eolLen;
  }
}

// Only the first section of a name counts, and in it the first entry of a key.
TIniFile::Place TIniFile::Find(const std::string& section, const std::string& key) const {
  Load();
  Place place;
  bool inside = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string& text = lines_[i].text;
    if (const auto name = SectionName(text)) {
      if (place.sectionFound) break;
      inside = SameName(*name, section);
      if (inside) {
        place.sectionFound = true;
        place.insertAt = i + 1;
      }
      continue;
    }
    if (!inside) continue;
    // New entries go after the section's last non-blank line, so blank lines
    // that separate it from the next section stay where they are.
    if (!Trim(text).empty()) place.insertAt = i + 1;
    std::string_view k, v;
    if (SplitEntry(text, k, v) && SameName(k, key)) {
      place.entry = i;
      break;
    }
  }
  return place;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  const Place place = Find(section, key);
  if (place.entry == SIZE_MAX) return def;
  std::string_view k, value;
  SplitEntry(lines_[place.entry].text, k, value);
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return TruncateUtf8(value, IniMaxValueBytes);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  return TextToInt(ReadString(section, key, "")).value_or(def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::InsertLine(size_t at, std::string text) {
  // The line before the new one needs a line end of its own.
  if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = kNewLineEnd;
  lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(at), Line{std::move(text), kNewLineEnd});
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  const std::string v = value.substr(0, value.find_first_of("\r\n"));
  const Place place = Find(section, key);
  if (place.entry != SIZE_MAX) {
    std::string& text = lines_[place.entry].text;
    text = text.substr(0, text.find('=') + 1) + v;
  } else if (place.sectionFound) {
    InsertLine(place.insertAt, key + "=" + v);
  } else {
    InsertLine(lines_.size(), "[" + section + "]");
    InsertLine(lines_.size(), key + "=" + v);
  }
  dirty_ = true;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, IntToText(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::UpdateFile() {
  if (!dirty_) return;
  std::string bytes = bom_ ? std::string(kBom) : std::string();
  for (const Line& line : lines_) bytes += line.text + line.eol;
  if (unreadable_ || WriteFileAtomically(fileName_, bytes) != WriteResult::Ok)
    throw EIniFileException(FormatMessage("%s に書き込めません", {fileName_}));
  dirty_ = false;
}

}  // namespace glyphor
