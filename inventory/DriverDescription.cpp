#include "inventory/DriverDescription.h"

#include <initializer_list>

namespace korvane {

namespace {

bool containsAny(const std::string& text, std::initializer_list<const char*> words) {
  for (const char* word : words)
    if (text.find(word) != std::string::npos) return true;
  return false;
}

// Only these spellings count, and the two family tests are independent.
std::vector<InfPlatformFamily> platformFamilies(const std::string& signature) {
  if (signature.empty()) return {InfPlatformFamily::Unknown};
  std::vector<InfPlatformFamily> families;
  if (containsAny(signature, {"CHICAGO", "Chicago", "chicago"})) families.push_back(InfPlatformFamily::Windows95);
  if (containsAny(signature, {"NT", "nt"})) families.push_back(InfPlatformFamily::WindowsNT);
  return families;
}

}  // namespace

DriverDescription DescribeDriver(Machine& machine, const InfFolders& folders, const std::string& infName) {
  DriverDescription description;
  const auto inf = LocateInf(machine.files(), folders.inf, folders.oemInf, infName);
  if (!inf) return description;
  description.infFound = true;
  description.platforms = platformFamilies(InfPlatform(machine, *inf));
  description.catalog = InfCatalog(machine, *inf);
  const auto names = InfDetailsFileSet(machine, *inf);
  description.fileCount = names.empty() ? 0 : names.size() + 1;
  return description;
}

}  // namespace korvane
