#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "registry_case.h"

namespace platform {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Unquote(std::string_view v) {
  v = Trim(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

// --- IniDocument ---------------------------------------------------------------------------

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.bom_ = true;
    text.remove_prefix(3);
  }
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') {
      raw.remove_suffix(1);
      doc.crlf_ = true;
    }
    pos = end + 1;
    Line line;
    line.raw = std::string(raw);
    const std::string_view t = Trim(raw);
    if (!t.empty() && t.front() == '[') {
      const size_t close = t.find(']');
      if (close != std::string_view::npos) {
        line.kind = Kind::Section;
        line.name = std::string(Trim(t.substr(1, close - 1)));
      }
    } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
      const size_t eq = t.find('=');
      if (eq != std::string_view::npos && !Trim(t.substr(0, eq)).empty()) {
        line.kind = Kind::Entry;
        line.name = std::string(Trim(t.substr(0, eq)));
        line.value = Unquote(t.substr(eq + 1));
      }
    }
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

std::string IniDocument::Text() const {
  std::string out = bom_ ? "\xEF\xBB\xBF" : "";
  const char* eol = crlf_ ? "\r\n" : "\n";
  for (const Line& line : lines_) {
    out += line.raw;
    out += eol;
  }
  return out;
}

int IniDocument::FindSection(std::string_view section) const {
  const std::string folded = detail::FoldCase(Trim(section));
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::Section && detail::FoldCase(lines_[i].name) == folded) return static_cast<int>(i);
  }
  return -1;
}

int IniDocument::SectionEnd(int sectionLine) const {
  size_t i = static_cast<size_t>(sectionLine) + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::Section) ++i;
  return static_cast<int>(i);
}

int IniDocument::FindKey(int sectionLine, std::string_view key) const {
  if (sectionLine < 0) return -1;
  const std::string folded = detail::FoldCase(Trim(key));
  const int end = SectionEnd(sectionLine);
  for (int i = sectionLine + 1; i < end; ++i) {
    if (lines_[i].kind == Kind::Entry && detail::FoldCase(lines_[i].name) == folded) return i;
  }
  return -1;
}

bool IniDocument::SectionExists(std::string_view section) const { return FindSection(section) >= 0; }

bool IniDocument::ValueExists(std::string_view section, std::string_view key) const {
  return FindKey(FindSection(section), key) >= 0;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const int i = FindKey(FindSection(section), key);
  if (i < 0) return std::nullopt;
  return lines_[i].value;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  // A line break, or a key that looks like a section or comment, would change other entries.
  if (section.empty() || HasLineBreak(section) || section.find(']') != std::string_view::npos) {
    throw EIniFileException("Invalid INI section name '" + std::string(section) + "'");
  }
  if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos || key.front() == '[' ||
      key.front() == ';' || key.front() == '#') {
    throw EIniFileException("Invalid INI key name '" + std::string(key) + "'");
  }
  if (HasLineBreak(value)) throw EIniFileException("Line break in the INI value of '" + std::string(key) + "'");

  Line entry;
  entry.kind = Kind::Entry;
  entry.name = std::string(key);
  entry.value = std::string(value);
  int s = FindSection(section);
  if (const int k = FindKey(s, key); k >= 0) {
    entry.name = lines_[k].name;  // keep the spelling already in the file
    entry.raw = entry.name + "=" + entry.value;
    lines_[k] = std::move(entry);
    return;
  }
  entry.raw = entry.name + "=" + entry.value;
  if (s < 0) {
    if (!lines_.empty() && !Trim(lines_.back().raw).empty()) lines_.push_back(Line{});
    Line head;
    head.kind = Kind::Section;
    head.name = std::string(section);
    head.raw = "[" + head.name + "]";
    lines_.push_back(std::move(head));
    lines_.push_back(std::move(entry));
    return;
  }
  // After the section's last entry, so that blank lines and comments before the next section
  // stay where they are.
  int insertAt = s + 1;
  const int end = SectionEnd(s);
  for (int i = s + 1; i < end; ++i) {
    if (lines_[i].kind == Kind::Entry) insertAt = i + 1;
  }
  lines_.insert(lines_.begin() + insertAt, std::move(entry));
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  const int k = FindKey(FindSection(section), key);
  if (k < 0) return false;
  lines_.erase(lines_.begin() + k);
  return true;
}

bool IniDocument::EraseSection(std::string_view section) {
  bool erased = false;
  for (int s = FindSection(section); s >= 0; s = FindSection(section)) {
    lines_.erase(lines_.begin() + s, lines_.begin() + SectionEnd(s));
    erased = true;
  }
  return erased;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind != Kind::Section) continue;
    bool seen = false;
    for (const auto& n : names) seen = seen || detail::EqualsNoCase(n, line.name);
    if (!seen) names.push_back(line.name);
  }
  return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  for (const auto& [k, v] : SectionValues(section)) names.push_back(k);
  return names;
}

std::vector<std::pair<std::string, std::string>> IniDocument::SectionValues(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> values;
  const int s = FindSection(section);
  if (s < 0) return values;
  const int end = SectionEnd(s);
  for (int i = s + 1; i < end; ++i) {
    if (lines_[i].kind != Kind::Entry) continue;
    bool seen = false;
    for (const auto& [k, v] : values) seen = seen || detail::EqualsNoCase(k, lines_[i].name);
    if (!seen) values.emplace_back(lines_[i].name, lines_[i].value);
  }
  return values;
}

// --- IniFile -------------------------------------------------------------------------------

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

IniDocument IniFile::Load() const {
  std::string text;
  const int fd = ::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return IniDocument();
  char buf[16384];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) != 0) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return IniDocument::Parse(text);
}

void IniFile::Store(const IniDocument& doc) {
  const std::string text = doc.Text();
  const size_t slash = fileName_.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : fileName_.substr(0, slash));
  const std::string base = slash == std::string::npos ? fileName_ : fileName_.substr(slash + 1);
  std::string temp = folder + "/." + base + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw EIniFileException("Unable to write to " + fileName_);
  struct stat st {};
  ::fchmod(fd, ::stat(fileName_.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(temp.c_str(), fileName_.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw EIniFileException("Unable to write to " + fileName_);
  }
}

std::string IniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def) const {
  return Load().Get(section, ident).value_or(def);
}

std::optional<int32_t> IniFile::ParseInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  uint64_t v = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  if (base == 16) {
    // Hexadecimal covers the full 32 bits, so $FFFFFFFF is -1.
    if (v > 0xFFFFFFFFull) return std::nullopt;
    const auto u = static_cast<uint32_t>(v);
    return negative ? static_cast<int32_t>(0u - u) : static_cast<int32_t>(u);
  }
  if (negative ? v > 2147483648ull : v > 2147483647ull) return std::nullopt;
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def) const {
  const auto text = Load().Get(section, ident);
  if (!text) return def;
  return ParseInteger(*text).value_or(def);
}

bool IniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  IniDocument doc = Load();
  doc.Set(section, ident, value);
  Store(doc);
}

void IniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const { return Load().KeyNames(section); }

std::vector<std::string> IniFile::ReadSections() const { return Load().SectionNames(); }

std::vector<std::string> IniFile::ReadSectionValues(const std::string& section) const {
  std::vector<std::string> lines;
  for (const auto& [k, v] : Load().SectionValues(section)) lines.push_back(k + "=" + v);
  return lines;
}

void IniFile::EraseSection(const std::string& section) {
  IniDocument doc = Load();
  if (doc.EraseSection(section)) Store(doc);
}

void IniFile::DeleteKey(const std::string& section, const std::string& ident) {
  IniDocument doc = Load();
  if (doc.DeleteKey(section, ident)) Store(doc);
}

bool IniFile::SectionExists(const std::string& section) const { return Load().SectionExists(section); }

bool IniFile::ValueExists(const std::string& section, const std::string& ident) const {
  return Load().ValueExists(section, ident);
}

}  // namespace platform
