#pragma once
// The shell's text log: one line per entry, kept short by dropping the oldest lines. The file
// is opened and closed for every line, so other programs can read it in between, and no
// failure to write it ever reaches the caller.
#include <cstdint>
#include <deque>
#include <string>

namespace tempora {

class TLoger {
 public:
  static constexpr int32_t MaxLines = 200;
  static constexpr int32_t TrimLines = 50;

  // An empty FileName means no file.
  explicit TLoger(std::string FileName);

  // The line reaches the file when Level has bit 0 set and the file is enabled.
  void WriteLog(const std::string& Text, uint8_t Level);

  bool FileEnabled() const { return FileEnabled_; }
  const std::string& FileName() const { return FileName_; }
  const std::deque<std::string>& Lines() const { return Lines_; }

 private:
  void RewriteFile() const;
  void AppendLine(const std::string& text) const;

  std::string FileName_;
  bool FileEnabled_ = false;
  std::deque<std::string> Lines_;
};

}  // namespace tempora
