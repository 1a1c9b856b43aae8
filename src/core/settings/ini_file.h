// The settings file accessor: INI sections of "key=value" lines, read as
// UTF-8 (or Shift-JIS when the file is not valid UTF-8), written as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace glyphor {

// The longest value a read returns, in bytes; longer values are cut.
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

  // Section and key names match ignoring ASCII case. A missing file, section
  // or key gives `def`; a present key with an empty value gives "".
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // `def` also when the value is no integer.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  // Non-zero integer sets, zero clears, no integer gives `def`.
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;

  // Writes are held until UpdateFile. A value ends at its first line break:
  // the rest could never be read back and would become lines of its own.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  // Saves the held writes as a whole (all or nothing). Throws
  // EIniFileException "<file> に書き込めません" when that fails.
  void UpdateFile();
  // True when the file exists but cannot be read as a settings file (no
  // permission, a folder, a device, too large); its keys then read as absent.
  bool Unreadable() const;

 private:
  struct Line {
    std::string text;  // UTF-8, without its line end
    std::string eol;   // "\r\n", "\n", "\r" or "" for a last line without one
  };
  struct Place {
    bool sectionFound = false;
    size_t entry = SIZE_MAX;     // the key's line when found
    size_t insertAt = SIZE_MAX;  // where a new entry of the section goes
  };

  void Load() const;
  Place Find(const std::string& section, const std::string& key) const;
  void InsertLine(size_t at, std::string text);

  std::string fileName_;
  mutable bool loaded_ = false;
  mutable bool unreadable_ = false;  // exists but cannot be read: never overwrite it
  mutable bool bom_ = false;
  mutable std::vector<Line> lines_;
  bool dirty_ = false;
};

}  // namespace glyphor
