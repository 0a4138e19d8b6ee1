#include "reg_tool.h"

#include <charconv>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/registry.h"

namespace tessaro_reg {
namespace {

using platform::HiveFile;
using platform::HKEY;
using platform::RegKey;
using platform::RegValue;

constexpr const char* kUsageText =
    "usage: tessaro-reg get KEY NAME\n"
    "       tessaro-reg set KEY NAME VALUE     VALUE: dword:N (decimal or 0x hex), hex:01,02,..,\n"
    "                                          string:TEXT or TEXT\n"
    "       tessaro-reg delete KEY [NAME]\n"
    "       tessaro-reg list KEY\n"
    "       tessaro-reg export [KEY]\n"
    "       tessaro-reg import FILE|-\n"
    "KEY: HKEY_LOCAL_MACHINE\\Software\\... or HKLM\\Software\\... (also HKCU, HKCR); NAME @ is the\n"
    "default value. Hives live in $TESSARO_REGISTRY_DIR.\n";

struct UsageError {
  std::string message;
};
struct NotFound {
  std::string message;
};

struct KeyArg {
  HKEY root;
  std::string path;
  std::string text;
};

KeyArg ParseKey(const std::string& text) {
  KeyArg key{platform::HKEY_LOCAL_MACHINE, {}, text};
  if (!platform::SplitRootedKeyPath(text, key.root, key.path)) {
    throw UsageError{"unknown root key in '" + text + "' (use HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                     "HKEY_CLASSES_ROOT or HKLM, HKCU, HKCR)"};
  }
  return key;
}

std::string ValueNameArg(const std::string& name) { return name == "@" ? std::string() : name; }

RegValue ParseValueArg(const std::string& name, const std::string& text) {
  if (text.rfind("dword:", 0) == 0) {
    std::string digits = text.substr(6);
    bool negative = false;
    if (!digits.empty() && digits[0] == '-') {
      negative = true;
      digits.erase(0, 1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
      base = 16;
      digits.erase(0, 2);
    }
    uint64_t v = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, base);
    const bool fits = negative ? v <= 2147483648ull : v <= 0xFFFFFFFFull;
    if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || !fits ||
        (negative && base == 16)) {
      throw UsageError{"bad dword value '" + text + "'"};
    }
    const auto u = static_cast<uint32_t>(v);
    return RegValue::Dword(name, negative ? 0u - u : u);
  }
  if (text.rfind("hex:", 0) == 0) {
    try {
      const std::string doc = std::string(platform::kRegFileHeader) + "\n[HKLM\\x]\n\"v\"=" + text + "\n";
      const platform::RegText parsed = platform::ParseRegText(doc, "value");
      return RegValue::Binary(name, parsed.sections.at(0).entries.at(0).value.bytes);
    } catch (const platform::ERegistryException&) {
      throw UsageError{"bad hex value '" + text + "' (expected hex:01,02,...)"};
    }
  }
  if (text.rfind("string:", 0) == 0) return RegValue::String(name, text.substr(7));
  return RegValue::String(name, text);
}

std::string ValueData(const RegValue& v) {
  switch (v.DataType()) {
    case platform::RegDataType::String: return v.text;
    case platform::RegDataType::Integer: return std::to_string(static_cast<int32_t>(v.dword));
    default: {
      const std::string line = platform::FormatRegValue(v);
      return line.substr(line.find('=') + 1);
    }
  }
}

const RegKey& FindKey(const RegKey& tree, const KeyArg& key) {
  const RegKey* found = tree.Find(key.path);
  if (!found) throw NotFound{"key not found: " + key.text};
  return *found;
}

void Get(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 3) throw UsageError{"get needs KEY and NAME"};
  const KeyArg key = ParseKey(args[1]);
  const RegKey tree = HiveFile(key.root).Load();
  const RegValue* v = FindKey(tree, key).FindValue(ValueNameArg(args[2]));
  if (!v) throw NotFound{"value not found: " + key.text + " " + args[2]};
  out << ValueData(*v) << '\n';
}

void Set(const std::vector<std::string>& args) {
  if (args.size() != 4) throw UsageError{"set needs KEY, NAME and VALUE"};
  const KeyArg key = ParseKey(args[1]);
  RegValue value = ParseValueArg(ValueNameArg(args[2]), args[3]);
  HiveFile(key.root).Update([&](RegKey& tree) {
    tree.Create(key.path).SetValue(value);
    return true;
  });
}

void Delete(const std::vector<std::string>& args) {
  if (args.size() != 2 && args.size() != 3) throw UsageError{"delete needs KEY and optionally NAME"};
  const KeyArg key = ParseKey(args[1]);
  if (args.size() == 2 && key.path.empty()) throw UsageError{"a root key cannot be deleted"};
  bool found = false;
  HiveFile(key.root).Update([&](RegKey& tree) {
    if (args.size() == 3) {
      RegKey* k = tree.Find(key.path);
      found = k && k->RemoveValue(ValueNameArg(args[2]));
    } else {
      const size_t slash = key.path.rfind('\\');
      RegKey* parent = slash == std::string::npos ? &tree : tree.Find(key.path.substr(0, slash));
      found = parent && parent->RemoveSubKey(slash == std::string::npos ? key.path : key.path.substr(slash + 1));
    }
    return found;
  });
  if (!found) throw NotFound{args.size() == 3 ? "value not found: " + key.text + " " + args[2] : "key not found: " + key.text};
}

void List(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 2) throw UsageError{"list needs KEY"};
  const KeyArg key = ParseKey(args[1]);
  const RegKey tree = HiveFile(key.root).Load();
  const RegKey& k = FindKey(tree, key);
  for (const RegValue& v : k.Values()) out << platform::FormatRegValue(v) << '\n';
  for (const auto& sub : k.SubKeys()) out << '[' << sub->Name() << "]\n";
}

void Export(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() > 2) throw UsageError{"export takes at most one KEY"};
  std::string text = std::string(platform::kRegFileHeader) + "\n\n";
  if (args.size() == 2) {
    const KeyArg key = ParseKey(args[1]);
    const RegKey tree = HiveFile(key.root).Load();
    const RegKey& k = FindKey(tree, key);
    // The key's own spelling, not the one typed on the command line.
    std::string spelled = platform::RootKeyName(key.root);
    const RegKey* walk = &tree;
    std::string rest = key.path;
    while (!rest.empty()) {
      const size_t slash = rest.find('\\');
      walk = walk->FindSubKey(rest.substr(0, slash));
      spelled += "\\" + walk->Name();
      rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    }
    platform::FormatRegKey(k, spelled, text);
  } else {
    for (HKEY root : {platform::HKEY_LOCAL_MACHINE, platform::HKEY_CURRENT_USER, platform::HKEY_CLASSES_ROOT}) {
      platform::FormatRegKey(HiveFile(root).Load(), platform::RootKeyName(root), text);
    }
  }
  out << text;
}

void Import(const std::vector<std::string>& args, std::istream& in) {
  if (args.size() != 2) throw UsageError{"import needs FILE or -"};
  std::string text;
  std::string source = args[1];
  if (args[1] == "-") {
    source = "<stdin>";
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    std::ifstream file(args[1], std::ios::binary);
    if (!file) throw NotFound{"cannot open " + args[1]};
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  // Parse everything first, so that a broken line changes no hive at all.
  const platform::RegText parsed = platform::ParseRegText(text, source);
  for (HKEY root : {platform::HKEY_LOCAL_MACHINE, platform::HKEY_CURRENT_USER, platform::HKEY_CLASSES_ROOT}) {
    bool touches = false;
    for (const auto& s : parsed.sections) touches = touches || s.root == root;
    if (!touches) continue;
    HiveFile(root).Update([&](RegKey& tree) {
      platform::ApplyRegText(parsed, root, tree);
      return true;
    });
  }
}

}  // namespace

int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
  try {
    if (args.empty()) throw UsageError{"no command"};
    const std::string& cmd = args[0];
    if (cmd == "get") {
      Get(args, out);
    } else if (cmd == "set") {
      Set(args);
    } else if (cmd == "delete") {
      Delete(args);
    } else if (cmd == "list") {
      List(args, out);
    } else if (cmd == "export") {
      Export(args, out);
    } else if (cmd == "import") {
      Import(args, in);
    } else if (cmd == "-h" || cmd == "--help" || cmd == "help") {
      out << kUsageText;
    } else {
      throw UsageError{"unknown command '" + cmd + "'"};
    }
    return kOk;
  } catch (const UsageError& e) {
    err << "tessaro-reg: " << e.message << '\n' << kUsageText;
    return kUsage;
  } catch (const NotFound& e) {
    err << "tessaro-reg: " << e.message << '\n';
    return kNotFound;
  } catch (const std::exception& e) {
    err << "tessaro-reg: " << e.what() << '\n';
    return kFailed;
  }
}

}  // namespace tessaro_reg
