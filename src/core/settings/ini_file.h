// SPDX-License-Identifier: MIT
// The settings file accessor: INI sections of "key=value" lines. A file that
// starts with a UTF-16 byte-order mark is UTF-16; any other is read line by
// line: a line that is valid UTF-8 is UTF-8, any other is Shift-JIS (code
// page 932), so a stray byte spoils only its own line. A save keeps the
// bytes of every line it does not change and writes new or changed lines in
// UTF-8, or in the file's own UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace glyphor {

// The longest value a read returns, counted in bytes of the encoding the
// value is stored in (UTF-8, Shift-JIS or UTF-16); longer values are cut at
// a character boundary.
inline constexpr size_t IniMaxValueBytes = 2047;

class TIniFile {
 public:
  // Touches no file: the file is read on the first read or write.
  explicit TIniFile(std::string fileName);
  // Flushes pending writes; a failure is dropped (call UpdateFile to see it).
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }

  // Section and key names match ignoring ASCII case; only the first section
  // of a name and in it the first entry of a key count. A missing file,
  // section or key gives `def`; a present key with an empty value gives "".
  // Texts read are UTF-8.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // `def` also when the value is no integer.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  // Non-zero integer sets, zero clears, no integer gives `def`.
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;

  // Writes are held until UpdateFile. A value ends at its first line break
  // or NUL: the rest could never be read back.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  // Saves the held writes as a whole (all or nothing). Throws
  // EIniFileException "<file> に書き込めません" when that fails.
  void UpdateFile();
  // True when the file exists but cannot be read as a settings file (no
  // permission, a folder, a device, too large, or no text: a NUL character,
  // a UTF-16 file of an odd length); its keys then read as absent and a save
  // never overwrites it.
  bool Unreadable() const;

 private:
  class Document;  // the file's text, its index and the held writes
  Document& Doc() const;

  std::string fileName_;
  mutable std::unique_ptr<Document> doc_;
};

}  // namespace glyphor
