#pragma once
// The version record of a program: a small ELF note (section ".note.tessaro.version") that the
// program places in itself with one macro, and that readers find again in the file.
//
//   // in one .cpp file of the program:
//   TESSARO_VERSION_NOTE("Tempora", "1.0.0.3", "Служба времени", "© Korvex");
//
// The record holds "Key=Value" texts; the keys are those of a version block (ProductName,
// ProductVersion, FileVersion, FileDescription, LegalCopyright, CompanyName, ...).
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#define TESSARO_VERSION_NOTE_FIELDS(text)                                                           \
  namespace {                                                                                       \
  struct TessaroVersionNoteRecord {                                                                 \
    uint32_t nameSize, descSize, type;                                                              \
    char name[8];                                                                                   \
    char desc[sizeof(text)];                                                                        \
  };                                                                                                \
  [[gnu::used, gnu::section(".note.tessaro.version"), gnu::aligned(4)]] const TessaroVersionNoteRecord \
      tessaroVersionNoteRecord = {8, sizeof(text), 1, "Tessaro", text};                             \
  }

#define TESSARO_VERSION_NOTE_COMPANY(product, version, description, copyright, company)            \
  TESSARO_VERSION_NOTE_FIELDS("ProductName=" product "\0ProductVersion=" version                   \
                              "\0FileVersion=" version "\0FileDescription=" description            \
                              "\0LegalCopyright=" copyright "\0CompanyName=" company)

// The company name defaults to the copyright holder's text.
#define TESSARO_VERSION_NOTE(product, version, description, copyright) \
  TESSARO_VERSION_NOTE_COMPANY(product, version, description, copyright, copyright)

namespace platform {

struct VersionNote {
  std::string CompanyName;
  std::string LegalTrademarks;
  std::string LegalCopyright;
  std::string ProductName;
  std::string ProductVersion;
  std::string FileDescription;
  std::string FileVersion;
  std::string InternalName;
  std::string OriginalFilename;
  std::string Comments;
  // FileVersion as four numbers a.b.c.d (missing parts 0).
  std::array<uint16_t, 4> FileVersionNumbers{};
};

// Reads the note of a 64-bit little-endian ELF file. Answers nothing (and, when asked, why)
// for a file that is missing, not such an ELF file, damaged, or without the note.
std::optional<VersionNote> ReadVersionNote(const std::string& path, std::string* error = nullptr);
// The note of the running program (/proc/self/exe).
std::optional<VersionNote> OwnVersionNote(std::string* error = nullptr);

}  // namespace platform
