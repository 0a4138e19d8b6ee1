// .reg text: parsing never crashes, and what a parsed text writes back parses to the same tree.
#include <cstdlib>

#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegText parsed;
  try {
    parsed = ParseRegText(text, "fuzz");
  } catch (const ERegistryParseError&) {
    return 0;
  }
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
    RegKey tree;
    ApplyRegText(parsed, root, tree);
    const std::string written = FormatHive(tree, root);
    RegKey again;
    ApplyRegText(ParseRegText(written, "written"), root, again);  // throws (and so fails) if unparsable
    if (!(again == tree) || FormatHive(again, root) != written) std::abort();
  }
  return 0;
}
