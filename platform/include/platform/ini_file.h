#pragma once
// INI files: sections of key=value lines, UTF-8. Section and key names compare
// case-insensitively; the first of duplicate sections or keys wins, as the family's runtime
// reads them. Writes keep every other line (comments, blank lines, other sections) and replace
// the file atomically.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text of one INI file, line by line.
class IniDocument {
 public:
  static IniDocument Parse(std::string_view text);
  std::string Text() const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // The value with surrounding blanks and one pair of matching quotes removed.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Throws EIniFileException for names or values that would break the line structure.
  void Set(std::string_view section, std::string_view key, std::string_view value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool EraseSection(std::string_view section);  // every section of that name
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;
  std::vector<std::pair<std::string, std::string>> SectionValues(std::string_view section) const;

 private:
  enum class Kind { Other, Section, Entry };
  struct Line {
    Kind kind = Kind::Other;
    std::string raw;
    std::string name;   // section or key name
    std::string value;  // entries only
  };
  // Index of the first section line of that name, or -1.
  int FindSection(std::string_view section) const;
  // Index of the key within the section starting at `sectionLine`, or -1.
  int FindKey(int sectionLine, std::string_view key) const;
  int SectionEnd(int sectionLine) const;

  std::vector<Line> lines_;
  bool bom_ = false;
  bool crlf_ = false;
};

// An INI file on disk, shaped after the family's INI-file class: every call reads the file,
// every write rewrites it (write a temporary file, flush, rename).
class IniFile {
 public:
  explicit IniFile(std::string fileName);
  const std::string& FileName() const { return fileName_; }

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const;
  // Decimal, or hexadecimal with 0x or $; anything else (or out of range) gives `def`.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def) const;
  // Any non-zero integer is true; a value that is not an integer gives `def`.
  bool ReadBool(const std::string& section, const std::string& ident, bool def) const;

  // Fail with "Unable to write to <file>" when the file cannot be written.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);  // 1 or 0

  std::vector<std::string> ReadSection(const std::string& section) const;  // key names
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSectionValues(const std::string& section) const;  // "key=value"
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;

  // Parses a whole INI integer the way ReadInteger does.
  static std::optional<int32_t> ParseInteger(std::string_view text);

 private:
  IniDocument Load() const;
  void Store(const IniDocument& doc);

  std::string fileName_;
};

}  // namespace platform
