// Registry access as the core sees it: path-based, so each call opens the key
// with just the rights it needs (reading never asks for write access) and
// closes it again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// Value types keep the numbers Windows gives them.
enum class RegType : uint32_t {
  None = 0, String = 1, ExpandString = 2, Binary = 3, Dword = 4, DwordBigEndian = 5,
  Link = 6, MultiString = 7, ResourceList = 8, FullResourceDescriptor = 9,
  ResourceRequirementsList = 10, Qword = 11
};

// A value as the registry stores it: string types hold UTF-16LE with the
// terminating NUL(s), exactly the bytes RegQueryValueExW returns.
struct RegValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;

  static RegValue fromString(const std::string& utf8, RegType type = RegType::String);
  static RegValue fromMultiString(const std::vector<std::string>& items);
  static RegValue fromDword(uint32_t value);
  static RegValue fromQword(uint64_t value);

  bool isStringType() const;
  // The text of a string value; numbers come back in decimal, other types empty.
  std::string asString() const;
  std::vector<std::string> asMultiString() const;
  std::optional<uint64_t> asNumber() const;
  bool operator==(const RegValue&) const = default;
};

class Registry {
 public:
  virtual ~Registry() = default;

  virtual bool keyExists(RegRoot root, const std::string& path) = 0;
  // Names of the subkeys in the order the registry enumerates them; nullopt when
  // the key cannot be opened.
  virtual std::optional<std::vector<std::string>> subkeyNames(RegRoot root, const std::string& path) = 0;
  virtual std::optional<std::vector<std::string>> valueNames(RegRoot root, const std::string& path) = 0;
  virtual std::optional<RegValue> readValue(RegRoot root, const std::string& path, const std::string& name) = 0;

  // Writes create missing keys on the way.
  virtual bool createKey(RegRoot root, const std::string& path) = 0;
  virtual bool writeValue(RegRoot root, const std::string& path, const std::string& name, const RegValue& value) = 0;
  virtual bool deleteValue(RegRoot root, const std::string& path, const std::string& name) = 0;
  // Deletes the key with everything below it.
  virtual bool deleteTree(RegRoot root, const std::string& path) = 0;

  // Convenience: a string value, nullopt when absent or not readable.
  std::optional<std::string> readString(RegRoot root, const std::string& path, const std::string& name);
  bool writeString(RegRoot root, const std::string& path, const std::string& name, const std::string& value);
};

// "HKEY_LOCAL_MACHINE" and the short forms ("HKLM") to a root.
std::optional<RegRoot> parseRegRoot(const std::string& name);
const char* regRootName(RegRoot root);

}  // namespace korvane
