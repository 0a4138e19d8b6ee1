// The registry object: the family's registry class on top of the hive files.
#include "platform/registry.h"

#include <cstring>

#include "registry_case.h"

namespace platform {
namespace {

std::string NormalizePath(std::string_view path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out += path.substr(start, end - start);
    }
    start = end + 1;
  }
  return out;
}

[[noreturn]] void InvalidType(const std::string& name) {
  throw ERegistryException("Invalid data type for '" + name + "'");
}
[[noreturn]] void GetFailed(const std::string& name) {
  throw ERegistryException("Failed to get data for '" + name + "'");
}
[[noreturn]] void SetFailed(const std::string& name) {
  throw ERegistryException("Failed to set data for '" + name + "'");
}

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegDword = 4;

}  // namespace

Registry::Registry() : Registry(HKEY_CURRENT_USER) {}
Registry::Registry(HKEY root) : root_(root) {}

void Registry::SetRootKey(HKEY root) {
  CloseKey();
  root_ = root;
}

std::string Registry::ResolvePath(const std::string& key) const {
  if (!open_ || (!key.empty() && key.front() == '\\')) return NormalizePath(key);
  return NormalizePath(currentPath_ + "\\" + key);
}

bool Registry::OpenKey(const std::string& key, bool canCreate) {
  const std::string path = ResolvePath(key);
  HiveFile hive(root_);
  if (!hive.Writable()) return false;
  bool exists = hive.Load().Find(path) != nullptr;
  if (!exists && canCreate) {
    try {
      hive.Update([&](RegKey& tree) {
        if (tree.Find(path)) return false;
        tree.Create(path);
        return true;
      });
      exists = true;
    } catch (const ERegistryParseError&) {
      throw;
    } catch (const ERegistryException&) {
      return false;
    }
  }
  if (!exists) return false;
  open_ = true;
  readOnly_ = false;
  currentPath_ = path;
  return true;
}

bool Registry::OpenKeyReadOnly(const std::string& key) {
  const std::string path = ResolvePath(key);
  if (!HiveFile(root_).Load().Find(path)) return false;
  open_ = true;
  readOnly_ = true;
  currentPath_ = path;
  return true;
}

void Registry::CloseKey() {
  open_ = false;
  readOnly_ = false;
  currentPath_.clear();
}

bool Registry::KeyExists(const std::string& key) {
  return HiveFile(root_).Load().Find(ResolvePath(key)) != nullptr;
}

bool Registry::CreateKey(const std::string& key) {
  const std::string path = ResolvePath(key);
  HiveFile hive(root_);
  if (!hive.Writable()) return false;
  try {
    hive.Update([&](RegKey& tree) {
      if (tree.Find(path)) return false;
      tree.Create(path);
      return true;
    });
  } catch (const ERegistryParseError&) {
    throw;
  } catch (const ERegistryException&) {
    return false;
  }
  return true;
}

bool Registry::DeleteKey(const std::string& key) {
  const std::string path = ResolvePath(key);
  if (path.empty()) return false;  // a root cannot be deleted
  HiveFile hive(root_);
  if (!hive.Writable()) return false;
  bool deleted = false;
  try {
    hive.Update([&](RegKey& tree) {
      const size_t slash = path.rfind('\\');
      RegKey* parent = slash == std::string::npos ? &tree : tree.Find(path.substr(0, slash));
      deleted = parent && parent->RemoveSubKey(slash == std::string::npos ? path : path.substr(slash + 1));
      return deleted;
    });
  } catch (const ERegistryParseError&) {
    throw;
  } catch (const ERegistryException&) {
    return false;
  }
  return deleted;
}

bool Registry::HasSubKeys() { return !GetKeyNames().empty(); }

std::vector<std::string> Registry::GetKeyNames() {
  std::vector<std::string> names;
  if (!open_) return names;
  const RegKey tree = HiveFile(root_).Load();
  if (const RegKey* key = tree.Find(currentPath_)) {
    for (const auto& sub : key->SubKeys()) names.push_back(sub->Name());
  }
  return names;
}

std::vector<std::string> Registry::GetValueNames() {
  std::vector<std::string> names;
  if (!open_) return names;
  const RegKey tree = HiveFile(root_).Load();
  if (const RegKey* key = tree.Find(currentPath_)) {
    for (const RegValue& v : key->Values()) names.push_back(v.name);
  }
  return names;
}

const RegValue* Registry::LoadValue(const RegKey& tree, const std::string& name) const {
  if (!open_) return nullptr;
  const RegKey* key = tree.Find(currentPath_);
  return key ? key->FindValue(name) : nullptr;
}

bool Registry::ValueExists(const std::string& name) {
  const RegKey tree = HiveFile(root_).Load();
  return LoadValue(tree, name) != nullptr;
}

RegDataType Registry::GetDataType(const std::string& name) {
  const RegKey tree = HiveFile(root_).Load();
  const RegValue* v = LoadValue(tree, name);
  return v ? v->DataType() : RegDataType::Unknown;
}

int Registry::GetDataSize(const std::string& name) {
  const RegKey tree = HiveFile(root_).Load();
  const RegValue* v = LoadValue(tree, name);
  return v ? v->DataSize() : -1;
}

std::string Registry::ReadString(const std::string& name) {
  const RegKey tree = HiveFile(root_).Load();
  const RegValue* v = LoadValue(tree, name);
  if (!v) return {};
  if (v->type == kRegSz) return v->text;
  if (v->type == kRegExpandSz) {
    std::u16string units;
    for (size_t i = 0; i + 1 < v->bytes.size(); i += 2) {
      units += static_cast<char16_t>(v->bytes[i] | (v->bytes[i + 1] << 8));
    }
    while (!units.empty() && units.back() == 0) units.pop_back();
    return detail::Utf16ToUtf8(units);
  }
  InvalidType(name);
}

int32_t Registry::ReadInteger(const std::string& name) {
  const RegKey tree = HiveFile(root_).Load();
  const RegValue* v = LoadValue(tree, name);
  if (!v) GetFailed(name);
  if (v->type != kRegDword) InvalidType(name);
  return static_cast<int32_t>(v->dword);
}

bool Registry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

std::vector<uint8_t> Registry::ReadBinaryData(const std::string& name) {
  const RegKey tree = HiveFile(root_).Load();
  const RegValue* v = LoadValue(tree, name);
  if (!v) return {};
  if (v->type == kRegSz || v->type == kRegExpandSz || v->type == kRegDword) InvalidType(name);
  return v->bytes;
}

int Registry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
  const std::vector<uint8_t> data = ReadBinaryData(name);
  if (static_cast<int>(data.size()) > bufSize) InvalidType(name);
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return static_cast<int>(data.size());
}

void Registry::WriteValue(RegValue value) {
  const std::string name = value.name;
  if (!open_ || readOnly_) SetFailed(name);
  HiveFile hive(root_);
  if (!hive.Writable()) SetFailed(name);
  try {
    hive.Update([&](RegKey& tree) {
      RegKey* key = tree.Find(currentPath_);
      if (!key) SetFailed(name);  // deleted since it was opened
      if (const RegValue* old = key->FindValue(name); old && old->SameData(value)) return false;
      key->SetValue(std::move(value));
      return true;
    });
  } catch (const ERegistryParseError&) {
    throw;
  } catch (const ERegistryException&) {
    SetFailed(name);
  }
}

void Registry::WriteString(const std::string& name, const std::string& value) {
  WriteValue(RegValue::String(name, value));
}

void Registry::WriteInteger(const std::string& name, int32_t value) {
  WriteValue(RegValue::Dword(name, static_cast<uint32_t>(value)));
}

void Registry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void Registry::WriteBinaryData(const std::string& name, const void* data, int size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  WriteValue(RegValue::Binary(name, std::vector<uint8_t>(bytes, bytes + (size > 0 ? size : 0))));
}

void Registry::WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data) {
  WriteValue(RegValue::Binary(name, data));
}

bool Registry::DeleteValue(const std::string& name) {
  if (!open_ || readOnly_) return false;
  HiveFile hive(root_);
  if (!hive.Writable()) return false;
  bool deleted = false;
  try {
    hive.Update([&](RegKey& tree) {
      RegKey* key = tree.Find(currentPath_);
      deleted = key && key->RemoveValue(name);
      return deleted;
    });
  } catch (const ERegistryParseError&) {
    throw;
  } catch (const ERegistryException&) {
    return false;
  }
  return deleted;
}

}  // namespace platform
