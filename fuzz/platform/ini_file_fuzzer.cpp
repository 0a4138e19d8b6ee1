// INI text: parsing never crashes, writing back is stable, and a value set is read back.
#include <cstdlib>

#include "platform/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  IniDocument doc = IniDocument::Parse(text);
  const std::string once = doc.Text();
  if (IniDocument::Parse(once).Text() != once) std::abort();

  const auto sections = doc.SectionNames();
  for (const auto& section : sections) {
    for (const auto& [key, value] : doc.SectionValues(section)) {
      if (doc.Get(section, key) != value) std::abort();
    }
  }
  try {
    doc.Set("Fuzz", "Key", "value");
    if (doc.Get("fuzz", "KEY") != "value") std::abort();
    for (const auto& section : sections) {
      doc.Set(section, "Added", "1");
      if (doc.Get(section, "added") != "1") std::abort();
    }
  } catch (const EIniFileException&) {
    // names that cannot be written (line breaks, ']') are refused, not written
  }
  return 0;
}
