#include "loger.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace tempora {
namespace {

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

FilePtr OpenFile(const std::string& name, const char* mode) {
  FILE* file = std::fopen(name.c_str(), mode);
  if (!file) throw std::runtime_error("cannot open " + name);
  return FilePtr(file, std::fclose);
}

bool RegularFileExists(const std::string& name) {
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void CloseChecked(FilePtr file) {
  if (std::fclose(file.release()) != 0) throw std::runtime_error("cannot write the log");
}

void WriteText(FILE* file, const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fputc('\n', file) == EOF) {
    throw std::runtime_error("cannot write the log");
  }
}

}  // namespace

TLoger::TLoger(std::string FileName) : FileName_(std::move(FileName)) {
  if (FileName_.empty()) return;
  try {
    if (RegularFileExists(FileName_)) {
      FilePtr in = OpenFile(FileName_, "rb");
      std::string line;
      int c;
      bool pending = false;
      while ((c = std::fgetc(in.get())) != EOF) {
        if (c == '\n') {
          if (!line.empty() && line.back() == '\r') line.pop_back();  // files from elsewhere
          Lines_.push_back(std::move(line));
          line.clear();
          pending = false;
        } else {
          line.push_back(static_cast<char>(c));
          pending = true;
        }
      }
      if (pending) Lines_.push_back(std::move(line));
      CloseChecked(OpenFile(FileName_, "ab"));
    } else {
      CloseChecked(OpenFile(FileName_, "wb"));
    }
    FileEnabled_ = true;
  } catch (...) {
    // A log that cannot be opened leaves the program running without one.
  }
}

void TLoger::WriteLog(const std::string& Text, uint8_t Level) {
  if (!(Level & (FileEnabled_ ? 1 : 0))) return;
  try {
    Lines_.push_back(Text);
    if (static_cast<int32_t>(Lines_.size()) > MaxLines + TrimLines) {
      Lines_.erase(Lines_.begin(), Lines_.begin() + TrimLines);
      RewriteFile();
    } else {
      AppendLine(Text);
    }
  } catch (...) {
    // The one line is lost; the program goes on.
  }
}

void TLoger::RewriteFile() const {
  FilePtr out = OpenFile(FileName_, "wb");
  for (const auto& line : Lines_) WriteText(out.get(), line);
  CloseChecked(std::move(out));
}

void TLoger::AppendLine(const std::string& text) const {
  FilePtr out = OpenFile(FileName_, "ab");
  WriteText(out.get(), text);
  CloseChecked(std::move(out));
}

}  // namespace tempora
