// Registry hive files for tests, written from a registry tree: the files a
// Windows disk keeps in Windows\System32\config and the user profiles.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"

namespace korvane::test {

struct HiveKey {
  std::string name;
  std::vector<std::pair<std::string, RegValue>> values;  // in the order they are stored
  std::vector<HiveKey> subkeys;                          // any order: the writer sorts them as Windows does

  HiveKey* subkey(const std::string& name);  // without regard to case; nullptr when absent
  bool operator==(const HiveKey&) const = default;
};

// The key and everything below it as the registry gives them; nullopt when
// the key does not exist.
std::optional<HiveKey> copyRegistryKey(Registry& registry, RegRoot root, const std::string& path);

// The bytes of a version 1.3 hive file whose root key is the given one. One
// security cell serves every key; data of any size sits in one cell (no
// big-data cells before version 1.5).
std::string writeHive(const HiveKey& root);

// The hives of a Windows disk made from a registry: SYSTEM keeps
// CurrentControlSet as ControlSet001 with Select\Current naming it. Keys the
// registry lacks give empty hives.
struct WindowsHives {
  HiveKey system, software, user, defaultUser;
};
WindowsHives hivesOf(Registry& registry);

// The SYSTEM hive's layout on disk: the current control set renamed to
// ControlSet<number> and a Select key naming it.
void makeControlSet(HiveKey& system, unsigned number);

// The tree as text for comparisons: subkeys in the order Windows enumerates
// them, paths from the root, whose own name is left out.
std::string describe(const HiveKey& key);

}  // namespace korvane::test
