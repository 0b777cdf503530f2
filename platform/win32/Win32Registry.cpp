// The registry through the W functions. Every call opens its key with just the
// rights it needs and closes it again.
#include "platform/win32/Win32Util.h"

#include <vector>

namespace korvane::win32 {

namespace {

HKEY rootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return HKEY_CURRENT_USER;
}

// Paths may be written "\SYSTEM\..." or "SYSTEM\...\": the system wants neither backslash.
std::wstring keyPath(const std::string& path) {
  size_t begin = 0, end = path.size();
  while (begin < end && path[begin] == '\\') ++begin;
  while (end > begin && path[end - 1] == '\\') --end;
  return wide(std::string_view(path).substr(begin, end - begin));
}

// A 32-bit process on 64-bit Windows would see the 32-bit view of some keys;
// the device and driver keys Korvane works on live in the machine's own view.
// Only asked for under WOW64: Windows 2000 and older do not know the flag.
REGSAM viewFlag() {
  static const REGSAM flag = runningUnderWow64() ? KEY_WOW64_64KEY : 0;
  return flag;
}

class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (handle_) RegCloseKey(handle_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  bool open(RegRoot root, const std::string& path, REGSAM access) {
    return RegOpenKeyExW(rootKey(root), keyPath(path).c_str(), 0, access | viewFlag(), &handle_) == ERROR_SUCCESS;
  }
  bool create(RegRoot root, const std::string& path, REGSAM access) {
    return RegCreateKeyExW(rootKey(root), keyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           access | viewFlag(), nullptr, &handle_, nullptr) == ERROR_SUCCESS;
  }
  HKEY handle() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

// Key and value names are at most 16383 characters; the buffer grows on
// ERROR_MORE_DATA in case a system reports otherwise.
template <typename EnumerateOne>
std::vector<std::string> enumerateNames(EnumerateOne enumerateOne) {
  std::vector<std::string> names;
  std::wstring buffer(256, L'\0');
  for (DWORD index = 0;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG status = enumerateOne(index, buffer.data(), &length);
    if (status == ERROR_MORE_DATA && buffer.size() < 65536) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    names.push_back(narrow(std::wstring_view(buffer.data(), length)));
    ++index;
  }
  return names;
}

std::vector<std::string> subkeysOf(HKEY key) {
  return enumerateNames([key](DWORD index, wchar_t* name, DWORD* length) {
    return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
  });
}

LONG deleteKey(RegRoot root, const std::wstring& path) {
  using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  static const auto deleteKeyEx = systemFunction<DeleteKeyEx>(L"advapi32.dll", "RegDeleteKeyExW");
  // RegDeleteKeyW would delete in the 32-bit view under WOW64.
  if (deleteKeyEx && viewFlag()) return deleteKeyEx(rootKey(root), path.c_str(), viewFlag(), 0);
  return RegDeleteKeyW(rootKey(root), path.c_str());
}

// Children first: RegDeleteKeyW refuses a key with subkeys on the NT family.
bool deleteRecursively(RegRoot root, const std::string& path, int depth) {
  constexpr int deepestKey = 512;  // the registry's own nesting limit
  if (depth > deepestKey) return false;
  std::vector<std::string> children;
  {
    OpenKey key;
    if (!key.open(root, path, KEY_READ)) return false;
    children = subkeysOf(key.handle());
  }
  for (const auto& child : children)
    if (!deleteRecursively(root, path + "\\" + child, depth + 1)) return false;
  return deleteKey(root, keyPath(path)) == ERROR_SUCCESS;
}

class Win32Registry : public Registry {
 public:
  bool keyExists(RegRoot root, const std::string& path) override {
    OpenKey key;
    return key.open(root, path, KEY_READ);
  }

  std::optional<std::vector<std::string>> subkeyNames(RegRoot root, const std::string& path) override {
    OpenKey key;
    if (!key.open(root, path, KEY_READ)) return std::nullopt;
    return subkeysOf(key.handle());
  }

  std::optional<std::vector<std::string>> valueNames(RegRoot root, const std::string& path) override {
    OpenKey key;
    if (!key.open(root, path, KEY_READ)) return std::nullopt;
    return enumerateNames([&key](DWORD index, wchar_t* name, DWORD* length) {
      return RegEnumValueW(key.handle(), index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

  std::optional<RegValue> readValue(RegRoot root, const std::string& path, const std::string& name) override {
    OpenKey key;
    if (!key.open(root, path, KEY_READ)) return std::nullopt;
    const std::wstring valueName = wide(name);
    // The value may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 8; ++attempt) {
      DWORD type = 0, size = 0;
      if (RegQueryValueExW(key.handle(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
      RegValue value{type, std::vector<uint8_t>(size)};
      const LONG status = RegQueryValueExW(key.handle(), valueName.c_str(), nullptr, &type, value.data.data(), &size);
      if (status == ERROR_SUCCESS) {
        value.type = type;
        value.data.resize(size);
        return value;
      }
      if (status != ERROR_MORE_DATA) return std::nullopt;
    }
    return std::nullopt;
  }

  bool createKey(RegRoot root, const std::string& path) override {
    OpenKey key;
    return !keyPath(path).empty() && key.create(root, path, KEY_CREATE_SUB_KEY);
  }

  bool writeValue(RegRoot root, const std::string& path, const std::string& name, const RegValue& value) override {
    OpenKey key;
    if (!key.create(root, path, KEY_SET_VALUE)) return false;
    return RegSetValueExW(key.handle(), wide(name).c_str(), 0, value.type, value.data.data(),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
  }

  bool deleteValue(RegRoot root, const std::string& path, const std::string& name) override {
    OpenKey key;
    if (!key.open(root, path, KEY_SET_VALUE)) return false;
    return RegDeleteValueW(key.handle(), wide(name).c_str()) == ERROR_SUCCESS;
  }

  bool deleteTree(RegRoot root, const std::string& path) override {
    const std::string normalised = narrow(keyPath(path));
    if (normalised.empty()) return false;  // never a whole root
    return deleteRecursively(root, normalised, 0);
  }
};

}  // namespace

std::unique_ptr<Registry> makeRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace korvane::win32
