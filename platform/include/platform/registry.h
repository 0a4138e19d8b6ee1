#pragma once
// The registry: three hives (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT), each a
// UTF-8 text file in the .reg export format under $TESSARO_REGISTRY_DIR (HKLM.reg, HKCU.reg,
// HKCR.reg). Every operation goes to the file: reads under a shared flock, writes as a
// read-modify-write under an exclusive flock that replaces the file atomically, so several
// processes may use one hive at once and a crash never leaves a half-written hive.
//
// Key and value names compare case-insensitively but keep the case they were created with.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class HKEY : uint32_t { ClassesRoot = 0, CurrentUser = 1, LocalMachine = 2 };
inline constexpr HKEY HKEY_CLASSES_ROOT = HKEY::ClassesRoot;
inline constexpr HKEY HKEY_CURRENT_USER = HKEY::CurrentUser;
inline constexpr HKEY HKEY_LOCAL_MACHINE = HKEY::LocalMachine;

// "HKEY_LOCAL_MACHINE" and so on.
const char* RootKeyName(HKEY root);
// "HKLM", "HKCU", "HKCR": also the hive file's base name.
const char* RootKeyShortName(HKEY root);
// Accepts the full or the short root name, any case. False when `name` is neither.
bool ParseRootKeyName(std::string_view name, HKEY& root);
// Splits "HKLM\Software\X" or "HKEY_LOCAL_MACHINE\Software\X\" into root and "Software\X".
bool SplitRootedKeyPath(std::string_view path, HKEY& root, std::string& rest);

// Every registry failure. Messages follow the family's registry class, e.g.
// "Invalid data type for 'Name'" or "Failed to get data for 'Name'".
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A .reg text that does not parse; names the file (or source) and the 1-based line.
class ERegistryParseError : public ERegistryException {
 public:
  ERegistryParseError(std::string source, int line, const std::string& reason);
  const std::string& Source() const { return source_; }
  int Line() const { return line_; }

 private:
  std::string source_;
  int line_;
};

enum class RegDataType : uint32_t {
  Unknown = 0xFFFFFFFFu,
  None = 0,      // REG_NONE
  String = 1,    // REG_SZ
  Binary = 3,    // REG_BINARY
  Integer = 4,   // REG_DWORD
};

// One typed value. Types other than the three we write (REG_EXPAND_SZ, REG_MULTI_SZ, ...) are
// kept as raw bytes with their type number so that an imported hive round-trips unchanged.
struct RegValue {
  std::string name;                 // empty: the key's default value ("@")
  uint32_t type = 1;                // REG_SZ, REG_DWORD, REG_BINARY or any other type number
  std::string text;                 // REG_SZ
  uint32_t dword = 0;               // REG_DWORD
  std::vector<uint8_t> bytes;       // everything else

  static RegValue String(std::string name, std::string text);
  static RegValue Dword(std::string name, uint32_t value);
  static RegValue Binary(std::string name, std::vector<uint8_t> data);
  RegDataType DataType() const;
  // Size as the registry reports it: strings count their UTF-16 units and terminator.
  int DataSize() const;
  bool SameData(const RegValue& other) const;
};

// One key of a hive tree. Subkeys are kept sorted case-insensitively, values in the order they
// were created.
class RegKey {
 public:
  explicit RegKey(std::string name = {}) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }

  RegKey* FindSubKey(std::string_view name);
  const RegKey* FindSubKey(std::string_view name) const;
  RegKey& AddSubKey(std::string_view name);  // the existing one when present
  bool RemoveSubKey(std::string_view name);
  const std::vector<std::unique_ptr<RegKey>>& SubKeys() const { return subKeys_; }

  // Walks a relative path of backslash-separated names (empty segments are skipped).
  RegKey* Find(std::string_view path);
  const RegKey* Find(std::string_view path) const;
  RegKey& Create(std::string_view path);

  RegValue* FindValue(std::string_view name);
  const RegValue* FindValue(std::string_view name) const;
  void SetValue(RegValue value);  // replaces a value of the same name, keeping its spelling
  bool RemoveValue(std::string_view name);
  const std::vector<RegValue>& Values() const { return values_; }

  bool Empty() const { return subKeys_.empty() && values_.empty(); }
  bool operator==(const RegKey& other) const;

 private:
  std::string name_;
  std::vector<std::unique_ptr<RegKey>> subKeys_;
  std::vector<RegValue> values_;
};

// A parsed .reg text: a list of sections, each for one key (or its deletion, "[-KEY]"), each
// value either set or deleted ("Name"=-). Key paths keep their root name as written.
struct RegTextEntry {
  RegValue value;
  bool deleteValue = false;
  int line = 0;
};
struct RegTextSection {
  HKEY root = HKEY_LOCAL_MACHINE;
  std::string path;  // below the root, no leading/trailing backslash
  bool deleteKey = false;
  int line = 0;
  std::vector<RegTextEntry> entries;
};
struct RegText {
  std::vector<RegTextSection> sections;
};

inline constexpr const char* kRegFileHeader = "Windows Registry Editor Version 5.00";

// Parses .reg text; throws ERegistryParseError naming `source` and the line.
RegText ParseRegText(std::string_view text, const std::string& source);
// Applies the sections of `text` that belong to `root` onto `tree`.
void ApplyRegText(const RegText& text, HKEY root, RegKey& tree);
// Writes `key` and everything below it as .reg sections; `fullPath` is the key's rooted
// path ("HKEY_LOCAL_MACHINE\Software"). Keys without values are written too, so that they
// survive a round trip. No header line.
void FormatRegKey(const RegKey& key, const std::string& fullPath, std::string& out);
// One value as a .reg line (without the newline), e.g. "Name"=dword:00000003.
std::string FormatRegValue(const RegValue& value);
// A whole hive file: header, blank line and every key below the root.
std::string FormatHive(const RegKey& tree, HKEY root);

// The hive files. The folder is $TESSARO_REGISTRY_DIR; without it /var/lib/tessaro/registry
// when that folder exists and is writable, else $XDG_CONFIG_HOME/tessaro/registry
// (~/.config/tessaro/registry).
std::string RegistryFolder();
std::string HivePath(HKEY root);

// Locked access to one hive file.
class HiveFile {
 public:
  explicit HiveFile(HKEY root);
  HKEY Root() const { return root_; }
  const std::string& Path() const { return path_; }
  // The current tree under a shared lock; a missing file is an empty hive.
  RegKey Load() const;
  // Re-reads the file under an exclusive lock, lets `change` modify the tree and, when it
  // returns true, writes the result atomically. A file that does not parse is never replaced:
  // the parse error is thrown.
  void Update(const std::function<bool(RegKey& tree)>& change);
  // Whether this process may write the hive (folder and file writable).
  bool Writable() const;

 private:
  HKEY root_;
  std::string path_;
};

// The registry object, shaped after the family's registry class: choose a root, open a key,
// read and write its values, close it. The root starts as HKEY_CURRENT_USER.
class Registry {
 public:
  Registry();
  explicit Registry(HKEY root);

  HKEY RootKey() const { return root_; }
  void SetRootKey(HKEY root);  // closes the current key
  // The open key's path below the root ("" for the root itself), and whether one is open.
  const std::string& CurrentPath() const { return currentPath_; }
  bool HasCurrentKey() const { return open_; }

  // `key` is relative to the open key, or to the root when it starts with "\" or no key is
  // open; a trailing "\" is allowed. False when the key is missing (and not created) or the
  // hive cannot be written.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();

  bool KeyExists(const std::string& key);
  bool CreateKey(const std::string& key);
  // Deletes the key with all its subkeys and values.
  bool DeleteKey(const std::string& key);
  bool HasSubKeys();
  std::vector<std::string> GetKeyNames();

  bool ValueExists(const std::string& name);
  std::vector<std::string> GetValueNames();
  bool DeleteValue(const std::string& name);
  RegDataType GetDataType(const std::string& name);
  int GetDataSize(const std::string& name);  // -1 when the value is missing

  // Strings read "" when missing; integers, booleans fail with "Failed to get data for '%s'";
  // binary data reads empty when missing. A value of another type fails with
  // "Invalid data type for '%s'".
  std::string ReadString(const std::string& name);
  int32_t ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name);  // any non-zero integer is true
  std::vector<uint8_t> ReadBinaryData(const std::string& name);
  // Copies into `buffer`; answers the size, 0 when missing; a too small buffer is an error.
  int ReadBinaryData(const std::string& name, void* buffer, int bufSize);

  // Writes fail with "Failed to set data for '%s'" when no key is open, the key was opened
  // read-only or has been deleted meanwhile, or the hive cannot be written.
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value);  // as an integer 1 or 0
  void WriteBinaryData(const std::string& name, const void* data, int size);
  void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data);

 private:
  std::string ResolvePath(const std::string& key) const;
  const RegValue* LoadValue(const RegKey& tree, const std::string& name) const;
  void WriteValue(RegValue value);

  HKEY root_;
  bool open_ = false;
  bool readOnly_ = false;
  std::string currentPath_;
};

}  // namespace platform
