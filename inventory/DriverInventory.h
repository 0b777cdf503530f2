// The installed drivers, read from the registry's device-class keys.
#pragma once

#include <string>
#include <vector>

#include "platform/Registry.h"

namespace korvane {

struct DriverRecord {
  std::string InfPath;
  std::string ProviderName;
  std::string DriverVersion;
  std::string DriverDate;
  std::string DriverDesc;
  std::string MatchingDeviceID;
};

// Rows numbered from 1. The table grows as needed; Count is the number of rows
// the driver list shows, which after Fast Collect is less than the table holds.
class DriverInventory {
 public:
  int Count = 0;

  void Clear() {
    rows_.clear();
    Count = 0;
  }
  void Append(DriverRecord record) {
    rows_.push_back(std::move(record));
    Count = static_cast<int>(rows_.size());
  }
  int Size() const { return static_cast<int>(rows_.size()); }
  // Row 1 to Size(); throws std::out_of_range for any other number.
  const DriverRecord& Row(int number) const { return rows_.at(static_cast<size_t>(number - 1)); }

 private:
  std::vector<DriverRecord> rows_;
};

// The class roots of the two Windows families.
constexpr const char* kNTClassRoot = "\\SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr const char* k9xClassRoot = "\\System\\CurrentControlSet\\Services\\Class";

// Reads every driver instance below the class root into the inventory, in the
// registry's enumeration order, skipping instances without an INF name and
// second instances of a description.
void CollectDrivers(Registry& registry, const std::string& classRoot, DriverInventory& inventory);

// The six column texts of a row as the driver list shows them.
std::vector<std::string> DriverListTexts(const DriverRecord& record, int rowNumber);
// The Manufacturer column: "Microsoft Corporation" for a provider of exactly
// "Microsoft", every other provider as it is.
std::string ManufacturerText(const std::string& providerName);
bool IsMicrosoftProvider(const std::string& providerName);

}  // namespace korvane
