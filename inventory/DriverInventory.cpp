#include "inventory/DriverInventory.h"

#include <unordered_set>

namespace korvane {

namespace {

// A second instance of a described driver is the same driver on another
// device. Drivers without a description cannot be told apart that way, so
// each of them is kept: dropping one would leave it out of every backup.
bool IsDuplicate(std::unordered_set<std::string>& descriptions, const std::string& description) {
  return !description.empty() && !descriptions.insert(description).second;
}

}  // namespace

void CollectDrivers(Registry& registry, const std::string& classRoot, DriverInventory& inventory) {
  inventory.Clear();
  std::unordered_set<std::string> descriptions;  // of the rows kept so far
  const auto classes = registry.subkeyNames(RegRoot::LocalMachine, classRoot);
  if (!classes) return;
  for (const auto& deviceClass : *classes) {
    const std::string classKey = classRoot + "\\" + deviceClass;
    const auto instances = registry.subkeyNames(RegRoot::LocalMachine, classKey);
    if (!instances) continue;
    for (const auto& instance : *instances) {
      const std::string key = classKey + "\\" + instance;
      if (!registry.keyExists(RegRoot::LocalMachine, key)) continue;
      const auto read = [&](const char* name) {
        return registry.readString(RegRoot::LocalMachine, key, name).value_or("");
      };
      DriverRecord record;
      record.InfPath = read("InfPath");
      record.DriverDesc = read("DriverDesc");
      if (record.InfPath.empty() || IsDuplicate(descriptions, record.DriverDesc)) continue;
      record.ProviderName = read("ProviderName");
      record.DriverVersion = read("DriverVersion");
      record.DriverDate = read("DriverDate");
      record.MatchingDeviceID = read("MatchingDeviceID");
      inventory.Append(std::move(record));
    }
  }
}

bool IsMicrosoftProvider(const std::string& providerName) { return providerName == "Microsoft"; }

std::string ManufacturerText(const std::string& providerName) {
  return IsMicrosoftProvider(providerName) ? providerName + " Corporation" : providerName;
}

std::vector<std::string> DriverListTexts(const DriverRecord& record, int rowNumber) {
  const std::string caption =
      record.DriverDesc.empty() ? "__ No Description " + std::to_string(rowNumber) + " __" : record.DriverDesc;
  return {caption,
          record.InfPath,
          record.DriverVersion,
          record.DriverDate,
          ManufacturerText(record.ProviderName),
          record.MatchingDeviceID};
}

}  // namespace korvane
