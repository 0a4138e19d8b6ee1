// The hive tree and the .reg text format: parsing and writing.
#include <algorithm>
#include <cstdio>

#include "platform/registry.h"
#include "registry_case.h"

namespace platform {

using detail::EqualsNoCase;
using detail::FoldCase;

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct RootNames {
  HKEY root;
  const char* full;
  const char* brief;
};
constexpr RootNames kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
};

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string CutAtNul(std::string text) {
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

std::string QuoteRegString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

bool NeedsHexForm(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
}

std::vector<uint8_t> Utf16Bytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t u : detail::Utf8ToUtf16(text)) {
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::string TextFromUtf16Bytes(const std::vector<uint8_t>& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
  }
  // A string ends at its first NUL, as the registry hands strings to programs.
  const size_t nul = units.find(char16_t{0});
  if (nul != std::u16string::npos) units.resize(nul);
  return detail::Utf16ToUtf8(units);
}

void AppendHexBytes(std::string& line, const std::vector<uint8_t>& bytes) {
  // Wrapped like the registry editor does, so long values stay readable.
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
    line += buf;
    if (i + 1 < bytes.size()) {
      line += ',';
      const size_t lineStart = line.rfind('\n');
      const size_t width = lineStart == std::string::npos ? line.size() : line.size() - lineStart - 1;
      if (width >= 76) line += "\\\n  ";
    }
  }
}

// Reads lines one by one, keeping the 1-based number of the current one.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
  }
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }
  int Number() const { return number_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int number_ = 0;
};

class RegParser {
 public:
  RegParser(std::string_view text, const std::string& source) : reader_(text), source_(source) {}

  RegText Parse() {
    RegText result;
    std::string_view line;
    bool sawHeader = false;
    while (reader_.Next(line)) {
      const std::string_view trimmed = TrimView(line);
      if (trimmed.empty()) continue;
      if (!sawHeader) {
        if (trimmed != kRegFileHeader && trimmed != "REGEDIT4") {
          Fail("expected the header line \"" + std::string(kRegFileHeader) + "\"");
        }
        sawHeader = true;
        continue;
      }
      if (trimmed.front() == ';') continue;
      if (trimmed.front() == '[') {
        result.sections.push_back(ParseKeyLine(trimmed));
        continue;
      }
      if (trimmed.front() == '"' || trimmed.front() == '@') {
        if (result.sections.empty()) Fail("value outside of any key");
        RegTextSection& section = result.sections.back();
        if (section.deleteKey) Fail("value inside a deleted key");
        section.entries.push_back(ParseValueLine(trimmed));
        continue;
      }
      Fail("unrecognised line");
    }
    return result;
  }

 private:
  [[noreturn]] void Fail(const std::string& reason) const {
    throw ERegistryParseError(source_, reader_.Number(), reason);
  }

  RegTextSection ParseKeyLine(std::string_view line) {
    if (line.back() != ']') Fail("key line without closing ']'");
    std::string_view inner = line.substr(1, line.size() - 2);
    RegTextSection section;
    section.line = reader_.Number();
    if (!inner.empty() && inner.front() == '-') {
      section.deleteKey = true;
      inner.remove_prefix(1);
    }
    if (!SplitRootedKeyPath(inner, section.root, section.path)) {
      Fail("unknown root key in [" + std::string(inner) + "]");
    }
    if (section.deleteKey && section.path.empty()) Fail("a root key cannot be deleted");
    return section;
  }

  // A quoted string starting at rest[0] == '"'; leaves rest after the closing quote.
  std::string ParseQuoted(std::string_view& rest) {
    std::string out;
    size_t i = 1;
    for (; i < rest.size(); ++i) {
      const char c = rest[i];
      if (c == '"') break;
      if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '\\' || rest[i + 1] == '"')) {
        out += rest[++i];
        continue;
      }
      out += c;
    }
    if (i >= rest.size()) Fail("string without closing quote");
    rest.remove_prefix(i + 1);
    return out;
  }

  RegTextEntry ParseValueLine(std::string_view line) {
    RegTextEntry entry;
    entry.line = reader_.Number();
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else {
      entry.value.name = ParseQuoted(rest);
    }
    rest = TrimView(rest);
    if (rest.empty() || rest.front() != '=') Fail("expected '=' after the value name");
    rest = TrimView(rest.substr(1));
    if (rest == "-") {
      entry.deleteValue = true;
      return entry;
    }
    if (!rest.empty() && rest.front() == '"') {
      entry.value.type = kRegSz;
      entry.value.text = CutAtNul(ParseQuoted(rest));
      if (!TrimView(rest).empty()) Fail("unexpected text after the string");
      return entry;
    }
    if (rest.substr(0, 6) == "dword:") {
      const std::string_view digits = TrimView(rest.substr(6));
      if (digits.empty() || digits.size() > 8) Fail("dword needs 1 to 8 hex digits");
      uint32_t v = 0;
      for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) Fail("bad hex digit in dword");
        v = (v << 4) | static_cast<uint32_t>(d);
      }
      entry.value.type = kRegDword;
      entry.value.dword = v;
      return entry;
    }
    if (rest.substr(0, 3) == "hex") {
      uint32_t type = kRegBinary;
      rest.remove_prefix(3);
      if (!rest.empty() && rest.front() == '(') {
        const size_t close = rest.find(')');
        if (close == std::string_view::npos || close == 1 || close > 9) Fail("bad hex(type)");
        type = 0;
        for (char c : rest.substr(1, close - 1)) {
          const int d = HexDigit(c);
          if (d < 0) Fail("bad hex(type)");
          type = (type << 4) | static_cast<uint32_t>(d);
        }
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest.front() != ':') Fail("expected ':' after hex");
      rest.remove_prefix(1);
      SetFromHex(entry.value, type, ParseHexList(rest));
      return entry;
    }
    Fail("unrecognised value data");
  }

  std::vector<uint8_t> ParseHexList(std::string_view rest) {
    // A long list continues on the next line after a trailing backslash.
    std::string joined;
    std::string_view chunk = TrimView(rest);
    while (!chunk.empty() && chunk.back() == '\\') {
      chunk.remove_suffix(1);
      joined += chunk;
      std::string_view next;
      if (!reader_.Next(next)) Fail("hex list continues past the end of the text");
      chunk = TrimView(next);
    }
    joined += chunk;
    std::vector<uint8_t> bytes;
    if (TrimView(joined).empty()) return bytes;
    size_t start = 0;
    while (start <= joined.size()) {
      size_t end = joined.find(',', start);
      if (end == std::string::npos) end = joined.size();
      const std::string_view token = TrimView(std::string_view(joined).substr(start, end - start));
      if (token.empty() || token.size() > 2) Fail("a byte of a hex list needs one or two hex digits");
      int v = 0;
      for (char c : token) {
        const int d = HexDigit(c);
        if (d < 0) Fail("bad hex digit");
        v = v * 16 + d;
      }
      bytes.push_back(static_cast<uint8_t>(v));
      start = end + 1;
    }
    return bytes;
  }

  void SetFromHex(RegValue& value, uint32_t type, std::vector<uint8_t> bytes) {
    value.type = type;
    if (type == kRegSz) {
      value.text = TextFromUtf16Bytes(bytes);
    } else if (type == kRegDword) {
      if (bytes.size() != 4) Fail("hex(4) data must be 4 bytes");
      value.dword = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t{bytes[3]} << 24);
    } else {
      value.bytes = std::move(bytes);
    }
  }

  LineReader reader_;
  const std::string& source_;
};

}  // namespace

// --- names ---------------------------------------------------------------------------------

const char* RootKeyName(HKEY root) {
  for (const auto& r : kRoots) {
    if (r.root == root) return r.full;
  }
  return "HKEY_UNKNOWN";
}

const char* RootKeyShortName(HKEY root) {
  for (const auto& r : kRoots) {
    if (r.root == root) return r.brief;
  }
  return "HKUNKNOWN";
}

bool ParseRootKeyName(std::string_view name, HKEY& root) {
  for (const auto& r : kRoots) {
    if (EqualsNoCase(name, r.full) || EqualsNoCase(name, r.brief)) {
      root = r.root;
      return true;
    }
  }
  return false;
}

bool SplitRootedKeyPath(std::string_view path, HKEY& root, std::string& rest) {
  const size_t slash = path.find('\\');
  if (!ParseRootKeyName(path.substr(0, slash), root)) return false;
  rest.clear();
  if (slash == std::string_view::npos) return true;
  for (std::string_view part : SplitPath(path.substr(slash + 1))) {
    if (!rest.empty()) rest += '\\';
    rest += part;
  }
  return true;
}

ERegistryParseError::ERegistryParseError(std::string source, int line, const std::string& reason)
    : ERegistryException(source + ":" + std::to_string(line) + ": " + reason),
      source_(std::move(source)),
      line_(line) {}

// --- values --------------------------------------------------------------------------------

RegValue RegValue::String(std::string name, std::string text) {
  RegValue v;
  v.name = std::move(name);
  v.type = kRegSz;
  v.text = CutAtNul(std::move(text));
  return v;
}

RegValue RegValue::Dword(std::string name, uint32_t value) {
  RegValue v;
  v.name = std::move(name);
  v.type = kRegDword;
  v.dword = value;
  return v;
}

RegValue RegValue::Binary(std::string name, std::vector<uint8_t> data) {
  RegValue v;
  v.name = std::move(name);
  v.type = kRegBinary;
  v.bytes = std::move(data);
  return v;
}

RegDataType RegValue::DataType() const {
  switch (type) {
    case 0: return RegDataType::None;
    case kRegSz: return RegDataType::String;
    case kRegBinary: return RegDataType::Binary;
    case kRegDword: return RegDataType::Integer;
    default: return RegDataType::Unknown;
  }
}

int RegValue::DataSize() const {
  if (type == kRegSz) return static_cast<int>(Utf16Bytes(text).size());
  if (type == kRegDword) return 4;
  return static_cast<int>(bytes.size());
}

bool RegValue::SameData(const RegValue& other) const {
  if (type != other.type) return false;
  if (type == kRegSz) return text == other.text;
  if (type == kRegDword) return dword == other.dword;
  return bytes == other.bytes;
}

// --- keys ----------------------------------------------------------------------------------

RegKey* RegKey::FindSubKey(std::string_view name) {
  const std::string folded = FoldCase(name);
  for (auto& k : subKeys_) {
    if (FoldCase(k->name_) == folded) return k.get();
  }
  return nullptr;
}

const RegKey* RegKey::FindSubKey(std::string_view name) const {
  return const_cast<RegKey*>(this)->FindSubKey(name);
}

RegKey& RegKey::AddSubKey(std::string_view name) {
  if (RegKey* existing = FindSubKey(name)) return *existing;
  const std::string folded = FoldCase(name);
  auto pos = std::find_if(subKeys_.begin(), subKeys_.end(),
                          [&](const auto& k) { return FoldCase(k->name_) > folded; });
  return **subKeys_.insert(pos, std::make_unique<RegKey>(std::string(name)));
}

bool RegKey::RemoveSubKey(std::string_view name) {
  const std::string folded = FoldCase(name);
  for (auto it = subKeys_.begin(); it != subKeys_.end(); ++it) {
    if (FoldCase((*it)->name_) == folded) {
      subKeys_.erase(it);
      return true;
    }
  }
  return false;
}

RegKey* RegKey::Find(std::string_view path) {
  RegKey* key = this;
  for (std::string_view part : SplitPath(path)) {
    key = key->FindSubKey(part);
    if (!key) return nullptr;
  }
  return key;
}

const RegKey* RegKey::Find(std::string_view path) const { return const_cast<RegKey*>(this)->Find(path); }

RegKey& RegKey::Create(std::string_view path) {
  RegKey* key = this;
  for (std::string_view part : SplitPath(path)) key = &key->AddSubKey(part);
  return *key;
}

RegValue* RegKey::FindValue(std::string_view name) {
  for (auto& v : values_) {
    if (EqualsNoCase(v.name, name)) return &v;
  }
  return nullptr;
}

const RegValue* RegKey::FindValue(std::string_view name) const {
  return const_cast<RegKey*>(this)->FindValue(name);
}

void RegKey::SetValue(RegValue value) {
  if (RegValue* existing = FindValue(value.name)) {
    value.name = existing->name;
    *existing = std::move(value);
  } else {
    values_.push_back(std::move(value));
  }
}

bool RegKey::RemoveValue(std::string_view name) {
  for (auto it = values_.begin(); it != values_.end(); ++it) {
    if (EqualsNoCase(it->name, name)) {
      values_.erase(it);
      return true;
    }
  }
  return false;
}

bool RegKey::operator==(const RegKey& other) const {
  if (name_ != other.name_ || values_.size() != other.values_.size() ||
      subKeys_.size() != other.subKeys_.size()) {
    return false;
  }
  for (size_t i = 0; i < values_.size(); ++i) {
    if (values_[i].name != other.values_[i].name || !values_[i].SameData(other.values_[i])) return false;
  }
  for (size_t i = 0; i < subKeys_.size(); ++i) {
    if (!(*subKeys_[i] == *other.subKeys_[i])) return false;
  }
  return true;
}

// --- text ----------------------------------------------------------------------------------

RegText ParseRegText(std::string_view text, const std::string& source) {
  return RegParser(text, source).Parse();
}

void ApplyRegText(const RegText& text, HKEY root, RegKey& tree) {
  for (const RegTextSection& section : text.sections) {
    if (section.root != root) continue;
    if (section.deleteKey) {
      const size_t slash = section.path.rfind('\\');
      RegKey* parent = slash == std::string::npos ? &tree : tree.Find(section.path.substr(0, slash));
      if (parent) parent->RemoveSubKey(slash == std::string::npos ? section.path : section.path.substr(slash + 1));
      continue;
    }
    RegKey& key = tree.Create(section.path);
    for (const RegTextEntry& entry : section.entries) {
      if (entry.deleteValue) {
        key.RemoveValue(entry.value.name);
      } else {
        key.SetValue(entry.value);
      }
    }
  }
}

std::string FormatRegValue(const RegValue& value) {
  std::string line = value.name.empty() ? "@" : QuoteRegString(value.name);
  line += '=';
  if (value.type == kRegSz) {
    if (NeedsHexForm(value.text)) {
      // Line breaks and other control characters cannot stand in a quoted string.
      line += "hex(1):";
      AppendHexBytes(line, Utf16Bytes(value.text));
    } else {
      line += QuoteRegString(value.text);
    }
  } else if (value.type == kRegDword) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", value.dword);
    line += buf;
  } else {
    if (value.type == kRegBinary) {
      line += "hex:";
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
      line += buf;
    }
    AppendHexBytes(line, value.bytes);
  }
  return line;
}

void FormatRegKey(const RegKey& key, const std::string& fullPath, std::string& out) {
  // A root key gets a section only for values of its own.
  const bool isRoot = fullPath.find('\\') == std::string::npos;
  if (!isRoot || !key.Values().empty()) {
    out += '[';
    out += fullPath;
    out += "]\n";
    for (const RegValue& v : key.Values()) {
      out += FormatRegValue(v);
      out += '\n';
    }
    out += '\n';
  }
  for (const auto& sub : key.SubKeys()) FormatRegKey(*sub, fullPath + "\\" + sub->Name(), out);
}

std::string FormatHive(const RegKey& tree, HKEY root) {
  std::string out = kRegFileHeader;
  out += "\n\n";
  FormatRegKey(tree, RootKeyName(root), out);
  return out;
}

}  // namespace platform
