// SPDX-License-Identifier: MIT
#include "core/settings/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

#include <iconv.h>

#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/platform/file_read.h"
#include "core/text/ascii_case.h"
#include "core/text/int_text.h"
#include "core/text/utf8.h"

namespace glyphor {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr std::string_view kNewLineEnd = "\r\n";  // what the original platform writes
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Settings files are small; anything larger is not one.
constexpr size_t kMaxSettingsFileBytes = 64 << 20;
// Lines are found by their offset in the text, which the size limit keeps
// well below this.
constexpr uint32_t kNone = UINT32_MAX;

enum class Coding { Bytes, Utf16Le, Utf16Be };

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool SameName(std::string_view a, std::string_view b) { return EqualsIgnoringAsciiCase(a, b); }

// The delimiters below ("[", "]", "=", blanks, quotes, line ends) are ASCII;
// none can be part of a longer character in UTF-8. In Shift-JIS "[" and "]"
// can be the second byte of a character, so a Shift-JIS line is decoded
// before its section name is looked for; "=", blanks, quotes and line ends
// are never such a byte.

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

// A read value loses its blanks and one pair of matching quotes.
std::string_view Unquote(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Well-formed UTF-8, each invalid sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  for (const char32_t cp : DecodeUtf8(text)) AppendUtf8(out, cp);
  return out;
}

// A UTF-16 file is held as UTF-8 in which an unpaired surrogate keeps a
// three-byte form of its own (WTF-8): the same parsing serves both kinds of
// file, and a line the program does not change is written back unit for
// unit, broken surrogates included.
uint16_t Utf16Unit(std::string_view bytes, size_t i, bool bigEndian) {
  const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
  return static_cast<uint16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
}

std::string Utf16ToWtf8(std::string_view bytes, bool bigEndian) {
  const size_t units = bytes.size() / 2;
  std::string out;
  // Sized first, so a large file is not held twice while the text grows.
  for (int pass = 0; pass < 2; ++pass) {
    size_t size = 0;
    for (size_t i = 0; i < units; ++i) {
      char32_t cp = Utf16Unit(bytes, 2 * i, bigEndian);
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units) {
        const char32_t low = Utf16Unit(bytes, 2 * i + 2, bigEndian);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
      if (pass == 0)
        size += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
      else
        AppendUtf8(out, cp);
    }
    if (pass == 0) out.reserve(size);
  }
  return out;
}

// The code point at `i` of WTF-8 text, moving `i` past it; U+FFFD for a
// broken sequence (only a caller's invalid UTF-8 can hold one).
char32_t DecodeWtf8At(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  const size_t len = b0 < 0x80 ? 1 : b0 >= 0xF8 ? 0 : b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 0;
  bool ok = len > 0 && i + len <= s.size();
  char32_t cp = len == 1 ? b0 : b0 & (0x7F >> len);
  for (size_t k = 1; ok && k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    ok = (b & 0xC0) == 0x80;
    cp = (cp << 6) | (b & 0x3F);
  }
  ok = ok && cp <= 0x10FFFF && (len < 3 || cp >= 0x800) && (len < 4 || cp >= 0x10000);
  i += ok ? len : 1;
  return ok ? cp : 0xFFFD;
}

std::string Wtf8ToUtf16(std::string_view text, bool bigEndian) {
  std::string out;
  out.reserve(text.size() * 2);
  const auto put = [&](char32_t unit) {
    const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  for (size_t i = 0; i < text.size();) {
    const char32_t cp = DecodeWtf8At(text, i);
    if (cp >= 0x10000) {
      put(0xD800 + ((cp - 0x10000) >> 10));
      put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

// A value of a UTF-16 file as UTF-8: an unpaired surrogate becomes U+FFFD.
std::string Wtf8ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) == 0xED && i + 2 < text.size() &&
        static_cast<unsigned char>(text[i + 1]) >= 0xA0) {
      out += kReplacement;
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The longest start of `text` (WTF-8) whose UTF-16 form fits in `maxBytes`,
// never splitting a surrogate pair.
std::string_view CutUtf16(std::string_view text, size_t maxBytes) {
  size_t units = 0, i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t len = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    const size_t need = len == 4 ? 2 : 1;
    if ((units + need) * 2 > maxBytes) break;
    units += need;
    i += len;
  }
  return text.substr(0, std::min(i, text.size()));
}

bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsCp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The longest start of Shift-JIS `text` of at most `maxBytes` bytes that
// does not end inside a two-byte character.
std::string_view CutCp932(std::string_view text, size_t maxBytes) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t len = IsCp932Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                               IsCp932Trail(static_cast<unsigned char>(text[i + 1]))
                           ? 2
                           : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return text.substr(0, i);
}

// Code page 932 to UTF-8, opened once per file. Bytes that are not Shift-JIS
// either become U+FFFD.
class Cp932Decoder {
 public:
  Cp932Decoder() = default;
  ~Cp932Decoder() {
    if (cd_ != kClosed) ::iconv_close(cd_);
  }
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;

  std::string Decode(std::string_view in) {
    if (IsAscii(in)) return std::string(in);
    if (cd_ == kClosed) cd_ = ::iconv_open("UTF-8", "CP932");
    std::string out;
    if (cd_ == kClosed) {  // no converter installed: keep what is certain
      for (const char c : in) {
        if (static_cast<unsigned char>(c) < 0x80)
          out += c;
        else
          out += kReplacement;
      }
      return out;
    }
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 3 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size(), used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      const size_t r = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else {  // EILSEQ or EINVAL: replace one byte and go on
        if (out.size() - used < kReplacement.size()) out.resize(out.size() * 2);
        out.replace(used, kReplacement.size(), kReplacement);
        used += kReplacement.size();
        ++src;
        --srcLeft;
      }
    }
    out.resize(used);
    return out;
  }

 private:
  static inline const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);
  iconv_t cd_ = kClosed;
};

// Names are hashed with a per-process seed, so no file can be made to
// collide on purpose and turn the index slow.
uint32_t HashSeed() {
  static const uint32_t seed = [] {
    try {
      return static_cast<uint32_t>(std::random_device{}());
    } catch (...) {
      return 0x5bd1e995u;
    }
  }();
  return seed;
}

uint32_t Mix(uint32_t h) {
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

// Names that match ignoring ASCII case hash alike.
uint32_t NameHash(std::string_view name, uint32_t salt = 0) {
  uint32_t h = 2166136261u ^ HashSeed() ^ Mix(salt);
  for (const char c : name) {
    h ^= static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    h *= 16777619u;
  }
  return Mix(h);
}

// Line offsets found by a hash of their name; a few bytes a name, so a file
// of millions of keys stays near its own size.
class LineTable {
 public:
  // The stored line with this hash and section for which `same(line)` holds.
  template <class Same>
  uint32_t Find(uint32_t hash, uint32_t section, Same&& same) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.line == kNone) return kNone;
      if (s.hash == hash && s.section == section && same(s.line)) return s.line;
    }
  }
  void Add(uint32_t hash, uint32_t section, uint32_t line) {
    if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
    Put({hash, section, line});
    ++count_;
  }

 private:
  struct Slot {
    uint32_t hash = 0, section = 0, line = kNone;
  };
  void Put(const Slot& slot) {
    const size_t mask = slots_.size() - 1;
    size_t i = slot.hash & mask;
    while (slots_[i].line != kNone) i = (i + 1) & mask;
    slots_[i] = slot;
  }
  void Grow() {
    std::vector<Slot> old(std::max<size_t>(16, slots_.size() * 2));
    old.swap(slots_);
    for (const Slot& s : old)
      if (s.line != kNone) Put(s);
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace

// The file's text in one buffer (UTF-16 files as WTF-8), an index of the
// first section of each name and of the first entry of each key in it, built
// in one pass, and the writes held until the save. Lines are views into the
// buffer; nothing is kept per line.
class TIniFile::Document {
 public:
  explicit Document(const std::string& fileName);

  bool Unreadable() const { return unreadable_; }
  bool Dirty() const { return dirty_; }
  std::optional<std::string> Read(std::string_view section, std::string_view key);
  void Write(std::string_view section, std::string_view key, std::string value);
  // The file's bytes with the held writes.
  std::string Saved();
  void MarkSaved() { dirty_ = false; }

 private:
  struct Entry {
    std::string key, value;
  };
  // Entries added to a section of the file (at `insertAt`) or, with no
  // header, a section added at the end.
  struct Added {
    std::string name;
    uint32_t header = kNone;
    size_t insertAt = 0;
    std::vector<Entry> entries;
  };

  void Index();
  size_t LineEnd(size_t start) const;
  size_t NextLine(size_t end) const;
  std::string_view LineAt(size_t start) const;
  bool IsShiftJisLine(std::string_view line) const { return coding_ == Coding::Bytes && !IsValidUtf8(line); }
  std::optional<std::string_view> HeaderName(std::string_view line, std::string& scratch);
  std::optional<std::string_view> EntryKey(std::string_view line, std::string& scratch);
  uint32_t FindSection(std::string_view name);
  uint32_t FindEntry(uint32_t header, std::string_view key);
  Added* FindAdded(uint32_t header, std::string_view name);
  size_t InsertPoint(uint32_t header);
  std::string StoredValue(std::string_view line);
  std::string WrittenValue(std::string_view value) const;

  Coding coding_ = Coding::Bytes;
  bool utf8Bom_ = false;
  bool unreadable_ = false;
  bool dirty_ = false;
  std::string text_;
  LineTable sections_, entries_;  // header lines; entry lines of the first section of each name
  Cp932Decoder cp932_;
  std::map<uint32_t, std::string> replaced_;  // entry line → its new value
  std::vector<Added> added_;
};

TIniFile::Document::Document(const std::string& fileName) {
  const ReadStatus read = ReadRegularFile(fileName, kMaxSettingsFileBytes, text_);
  if (read != ReadStatus::Ok) {
    unreadable_ = read == ReadStatus::Refused;
    return;
  }
  const std::string_view bytes = text_;
  if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
    coding_ = bytes.starts_with(kUtf16LeBom) ? Coding::Utf16Le : Coding::Utf16Be;
    // An odd byte count is no UTF-16: a cut file, or none at all.
    unreadable_ = bytes.size() % 2 != 0;
    if (!unreadable_) text_ = Utf16ToWtf8(bytes.substr(2), coding_ == Coding::Utf16Be);
  } else {
    utf8Bom_ = bytes.starts_with(kUtf8Bom);
    if (utf8Bom_) text_.erase(0, kUtf8Bom.size());
  }
  // No text file holds NUL; one that does is something else (or UTF-16
  // without its byte-order mark) and must not pass for an empty one.
  if (!unreadable_ && std::memchr(text_.data(), '\0', text_.size()) != nullptr) unreadable_ = true;
  if (unreadable_) {
    std::string().swap(text_);
    return;
  }
  Index();
}

size_t TIniFile::Document::LineEnd(size_t start) const {
  const char* p = text_.data();
  size_t i = start;
  while (i < text_.size() && p[i] != '\n' && p[i] != '\r') ++i;
  return i;
}

// The start of the line after the one ending at `end`.
size_t TIniFile::Document::NextLine(size_t end) const {
  if (end >= text_.size()) return text_.size();
  return end + (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1);
}

std::string_view TIniFile::Document::LineAt(size_t start) const {
  return std::string_view(text_).substr(start, LineEnd(start) - start);
}

std::optional<std::string_view> TIniFile::Document::HeaderName(std::string_view line, std::string& scratch) {
  if (!Trim(line).starts_with('[')) return std::nullopt;
  if (!IsAscii(line) && IsShiftJisLine(line)) {
    scratch = cp932_.Decode(line);
    line = scratch;
  }
  return SectionName(line);
}

std::optional<std::string_view> TIniFile::Document::EntryKey(std::string_view line, std::string& scratch) {
  std::string_view key, value;
  if (!SplitEntry(line, key, value)) return std::nullopt;
  if (!IsAscii(key) && IsShiftJisLine(line)) {
    scratch = cp932_.Decode(key);
    return std::string_view(scratch);
  }
  return key;
}

// Only the first section of a name counts, and in it the first entry of a
// key: later ones are never indexed.
void TIniFile::Document::Index() {
  std::string scratch, other;
  uint32_t section = kNone;  // the current section while it is the first of its name
  for (size_t start = 0; start < text_.size();) {
    const size_t end = LineEnd(start);
    const std::string_view line(text_.data() + start, end - start);
    const auto at = static_cast<uint32_t>(start);
    if (line.empty()) {
      start = NextLine(end);
      continue;
    }
    if (const auto name = HeaderName(line, scratch)) {
      const uint32_t hash = NameHash(*name);
      const auto same = [&](uint32_t header) { return SameName(*HeaderName(LineAt(header), other), *name); };
      section = sections_.Find(hash, 0, same) == kNone ? at : kNone;
      if (section != kNone) sections_.Add(hash, 0, at);
    } else if (section != kNone) {
      if (const auto key = EntryKey(line, scratch)) {
        const uint32_t hash = NameHash(*key, section);
        const auto same = [&](uint32_t entry) { return SameName(*EntryKey(LineAt(entry), other), *key); };
        if (entries_.Find(hash, section, same) == kNone) entries_.Add(hash, section, at);
      }
    }
    start = NextLine(end);
  }
}

uint32_t TIniFile::Document::FindSection(std::string_view name) {
  std::string scratch;
  return sections_.Find(NameHash(name), 0,
                        [&](uint32_t header) { return SameName(*HeaderName(LineAt(header), scratch), name); });
}

uint32_t TIniFile::Document::FindEntry(uint32_t header, std::string_view key) {
  if (header == kNone) return kNone;
  std::string scratch;
  return entries_.Find(NameHash(key, header), header,
                       [&](uint32_t entry) { return SameName(*EntryKey(LineAt(entry), scratch), key); });
}

TIniFile::Document::Added* TIniFile::Document::FindAdded(uint32_t header, std::string_view name) {
  for (Added& added : added_)
    if (added.header == header && (header != kNone || SameName(added.name, name))) return &added;
  return nullptr;
}

// New entries go after the section's last non-blank line, so blank lines
// that separate it from the next section stay where they are.
size_t TIniFile::Document::InsertPoint(uint32_t header) {
  std::string scratch;
  size_t at = NextLine(LineEnd(header));
  for (size_t start = at; start < text_.size();) {
    const size_t end = LineEnd(start);
    const std::string_view line(text_.data() + start, end - start);
    if (HeaderName(line, scratch)) break;
    start = NextLine(end);
    if (!Trim(line).empty()) at = start;
  }
  return at;
}

// At most IniMaxValueBytes of the encoding the line is stored in, cut
// before it is converted, so a Shift-JIS or UTF-16 value keeps as many
// characters as the file holds.
std::string TIniFile::Document::StoredValue(std::string_view line) {
  std::string_view key, value;
  SplitEntry(line, key, value);
  value = Unquote(value);
  if (coding_ != Coding::Bytes) return Wtf8ToUtf8(CutUtf16(value, IniMaxValueBytes));
  if (IsValidUtf8(line)) return TruncateUtf8(value, IniMaxValueBytes);
  return cp932_.Decode(CutCp932(value, IniMaxValueBytes));
}

// A held write reads as it will read from the saved file.
std::string TIniFile::Document::WrittenValue(std::string_view value) const {
  value = Unquote(value);
  if (coding_ != Coding::Bytes) return std::string(CutUtf16(value, IniMaxValueBytes));
  return TruncateUtf8(value, IniMaxValueBytes);
}

std::optional<std::string> TIniFile::Document::Read(std::string_view section, std::string_view key) {
  const uint32_t header = FindSection(section);
  if (const uint32_t line = FindEntry(header, key); line != kNone) {
    if (const auto it = replaced_.find(line); it != replaced_.end()) return WrittenValue(it->second);
    return StoredValue(LineAt(line));
  }
  if (const Added* added = FindAdded(header, section))
    for (const Entry& entry : added->entries)
      if (SameName(entry.key, key)) return WrittenValue(entry.value);
  return std::nullopt;
}

void TIniFile::Document::Write(std::string_view section, std::string_view key, std::string value) {
  dirty_ = true;
  const uint32_t header = FindSection(section);
  if (const uint32_t line = FindEntry(header, key); line != kNone) {
    replaced_[line] = std::move(value);
    return;
  }
  Added* added = FindAdded(header, section);
  if (added == nullptr) {
    added = &added_.emplace_back(
        Added{std::string(section), header, header == kNone ? text_.size() : InsertPoint(header), {}});
  }
  for (Entry& entry : added->entries) {
    if (SameName(entry.key, key)) {
      entry.value = std::move(value);
      return;
    }
  }
  added->entries.push_back({std::string(key), std::move(value)});
}

std::string TIniFile::Document::Saved() {
  // The held writes in the order of the text: entries added to a section
  // before a changed line at the same place.
  struct Change {
    size_t at;
    const Added* added;
    const std::string* value;
  };
  std::vector<Change> changes;
  for (const Added& added : added_)
    if (added.header != kNone) changes.push_back({added.insertAt, &added, nullptr});
  for (const auto& [line, value] : replaced_) changes.push_back({line, nullptr, &value});
  std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.at < b.at; });

  std::string out;
  out.reserve(text_.size() + 1024);
  const auto addLine = [&out](std::string_view text) {
    // The line before a new one needs a line end of its own.
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += kNewLineEnd;
    out += text;
    out += kNewLineEnd;
  };
  size_t pos = 0;
  for (const Change& change : changes) {
    out.append(text_, pos, change.at - pos);
    pos = change.at;
    if (change.added != nullptr) {
      for (const Entry& entry : change.added->entries) addLine(entry.key + "=" + entry.value);
      continue;
    }
    // A changed line keeps its key as written; the whole line becomes UTF-8
    // (or the file's UTF-16), a Shift-JIS key included.
    const std::string_view line = LineAt(change.at);
    const std::string_view keyPart = line.substr(0, line.find('=') + 1);
    out += IsShiftJisLine(line) ? cp932_.Decode(keyPart) : std::string(keyPart);
    out += *change.value;
    pos += line.size();
  }
  out.append(text_, pos);
  for (const Added& added : added_) {
    if (added.header != kNone) continue;
    addLine("[" + added.name + "]");
    for (const Entry& entry : added.entries) addLine(entry.key + "=" + entry.value);
  }
  switch (coding_) {
    case Coding::Utf16Le: return std::string(kUtf16LeBom) + Wtf8ToUtf16(out, false);
    case Coding::Utf16Be: return std::string(kUtf16BeBom) + Wtf8ToUtf16(out, true);
    case Coding::Bytes: break;
  }
  return utf8Bom_ ? std::string(kUtf8Bom) + out : out;
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

TIniFile::~TIniFile() {
  try {
    UpdateFile();
  } catch (...) {}
}

TIniFile::Document& TIniFile::Doc() const {
  if (!doc_) doc_ = std::make_unique<Document>(fileName_);
  return *doc_;
}

bool TIniFile::Unreadable() const { return Doc().Unreadable(); }

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  return Doc().Read(section, key).value_or(def);
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  return TextToInt(ReadString(section, key, "")).value_or(def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  // Written lines are well-formed UTF-8, so they read back as written.
  Doc().Write(section, key,
              ValidUtf8(std::string_view(value).substr(0, value.find_first_of(std::string_view("\r\n\0", 3)))));
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, IntToText(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::UpdateFile() {
  if (!doc_ || !doc_->Dirty()) return;
  if (doc_->Unreadable() || WriteFileAtomically(fileName_, doc_->Saved()) != WriteResult::Ok)
    throw EIniFileException(FormatMessage("%s に書き込めません", {fileName_}));
  doc_->MarkSaved();
}

}  // namespace glyphor
