#include "platform/version_note.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace platform {
namespace {

constexpr char kSectionName[] = ".note.tessaro.version";
constexpr uint64_t kMaxSection = 1 << 20;

class ElfFile {
 public:
  explicit ElfFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~ElfFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool IsOpen() const { return fd_ >= 0; }
  bool Read(uint64_t offset, void* buf, size_t size) const {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pread(fd_, static_cast<char*>(buf) + done, size - done, static_cast<off_t>(offset + done));
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

template <typename T>
T Get(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);  // the host is little-endian, like the files we accept
  return v;
}

std::optional<VersionNote> Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return std::nullopt;
}

void ParseVersionNumbers(const std::string& text, std::array<uint16_t, 4>& out) {
  out = {};
  size_t part = 0;
  uint32_t value = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      value = value * 10 + static_cast<uint32_t>(c - '0');
      if (value > 0xFFFF) value = 0xFFFF;
    } else if (c == '.') {
      if (part < 4) out[part] = static_cast<uint16_t>(value);
      ++part;
      value = 0;
    } else {
      break;
    }
  }
  if (part < 4) out[part] = static_cast<uint16_t>(value);
}

VersionNote ParseFields(std::string_view desc) {
  VersionNote note;
  note.ProductVersion = "1.0.0.0";
  note.FileVersion = "1.0.0.0";
  struct Field {
    const char* key;
    std::string VersionNote::*member;
  };
  static const Field kFields[] = {
      {"CompanyName", &VersionNote::CompanyName},       {"LegalTrademarks", &VersionNote::LegalTrademarks},
      {"LegalCopyright", &VersionNote::LegalCopyright}, {"ProductName", &VersionNote::ProductName},
      {"ProductVersion", &VersionNote::ProductVersion}, {"FileDescription", &VersionNote::FileDescription},
      {"FileVersion", &VersionNote::FileVersion},       {"InternalName", &VersionNote::InternalName},
      {"OriginalFilename", &VersionNote::OriginalFilename}, {"Comments", &VersionNote::Comments},
  };
  size_t pos = 0;
  while (pos < desc.size()) {
    size_t end = desc.find('\0', pos);
    if (end == std::string_view::npos) end = desc.size();
    const std::string_view item = desc.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = item.find('=');
    if (eq == std::string_view::npos) continue;
    for (const Field& f : kFields) {
      if (item.substr(0, eq) == f.key) note.*f.member = std::string(item.substr(eq + 1));
    }
  }
  ParseVersionNumbers(note.FileVersion, note.FileVersionNumbers);
  return note;
}

}  // namespace

std::optional<VersionNote> ReadVersionNote(const std::string& path, std::string* error) {
  ElfFile file(path);
  if (!file.IsOpen()) return Fail(error, "cannot open " + path);
  uint8_t header[64];
  if (!file.Read(0, header, sizeof header) || std::memcmp(header, "\x7f" "ELF", 4) != 0) {
    return Fail(error, path + " is not an ELF file");
  }
  if (header[4] != 2 || header[5] != 1) return Fail(error, path + " is not a 64-bit little-endian ELF file");
  const auto shoff = Get<uint64_t>(header + 0x28);
  const auto shentsize = Get<uint16_t>(header + 0x3A);
  const auto shnum = Get<uint16_t>(header + 0x3C);
  const auto shstrndx = Get<uint16_t>(header + 0x3E);
  if (shoff == 0 || shnum == 0 || shentsize < 64 || shstrndx >= shnum) {
    return Fail(error, path + " has no usable section table");
  }
  std::vector<uint8_t> table(static_cast<size_t>(shnum) * shentsize);
  if (shoff > UINT64_MAX - table.size() || !file.Read(shoff, table.data(), table.size())) {
    return Fail(error, path + ": section table out of the file");
  }
  auto sectionData = [&](uint16_t index, std::vector<uint8_t>& out) {
    const uint8_t* sh = table.data() + static_cast<size_t>(index) * shentsize;
    const auto offset = Get<uint64_t>(sh + 0x18);
    const auto size = Get<uint64_t>(sh + 0x20);
    if (size > kMaxSection || offset > UINT64_MAX - size) return false;
    out.resize(static_cast<size_t>(size));
    return file.Read(offset, out.data(), out.size());
  };
  std::vector<uint8_t> names;
  if (!sectionData(shstrndx, names)) return Fail(error, path + ": section names out of the file");
  for (uint16_t i = 0; i < shnum; ++i) {
    const auto nameOffset = Get<uint32_t>(table.data() + static_cast<size_t>(i) * shentsize);
    if (nameOffset >= names.size()) continue;
    const size_t maxLen = names.size() - nameOffset;
    const std::string_view name(reinterpret_cast<const char*>(names.data()) + nameOffset,
                                strnlen(reinterpret_cast<const char*>(names.data()) + nameOffset, maxLen));
    if (name != kSectionName) continue;
    std::vector<uint8_t> data;
    if (!sectionData(i, data)) return Fail(error, path + ": version note out of the file");
    size_t pos = 0;
    while (pos + 12 <= data.size()) {
      const auto nameSize = Get<uint32_t>(data.data() + pos);
      const auto descSize = Get<uint32_t>(data.data() + pos + 4);
      const size_t namePos = pos + 12;
      const size_t descPos = namePos + ((static_cast<size_t>(nameSize) + 3) & ~size_t{3});
      if (nameSize > data.size() || descSize > data.size() || descPos + descSize > data.size()) break;
      if (nameSize == 8 && std::memcmp(data.data() + namePos, "Tessaro", 8) == 0) {
        const std::string_view desc(reinterpret_cast<const char*>(data.data()) + descPos, descSize);
        return ParseFields(desc);
      }
      pos = descPos + ((static_cast<size_t>(descSize) + 3) & ~size_t{3});
    }
    return Fail(error, path + ": damaged version note");
  }
  return Fail(error, path + " has no version note");
}

std::optional<VersionNote> OwnVersionNote(std::string* error) { return ReadVersionNote("/proc/self/exe", error); }

}  // namespace platform
