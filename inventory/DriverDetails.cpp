// The details view: what the status memo tells of a driver row whose
// selection changed.
#include "app/BalvikMain.h"
#include "backup/DriverPackage.h"
#include "inventory/DriverDescription.h"

namespace korvane {

namespace {

Msg platformMessage(InfPlatformFamily family) {
  switch (family) {
    case InfPlatformFamily::Windows95: return Msg::PlatformWindows95;
    case InfPlatformFamily::WindowsNT: return Msg::PlatformWindowsNT;
    case InfPlatformFamily::Unknown: break;
  }
  return Msg::PlatformUnknown;
}

}  // namespace

// On systems with a driver store, the package a backup would take whole;
// the number of its files when there is one.
std::optional<size_t> TForm1::ShowDriverPackage(const std::string& infName) {
  DriverPackageCache cache;
  std::vector<PackageNote> notes;
  const auto package = FindDriverPackage(machine_, infName, cache, notes);
  for (const PackageNote& note : notes) AddMemoLine(formatMessage(Text(Msg::StorePackageNameIgnored), {note.package}));
  if (!package) return std::nullopt;
  AddMemoLine(formatMessage(Text(Msg::DriverStorePackage), {package->folder}));
  return PackageFileCount(machine_.files(), *package);
}

// Both a selection and a deselection describe the row.
void TForm1::ListView1SelectItem(size_t item, bool selected) {
  ShowDestinationPanel(false);
  DriverFileList.clear();
  ClearMemo();
  if (item >= ListView1.Count()) return;
  ListView1.Select(item, selected);
  const DriverDescription description = DescribeDriver(machine_, {InfFolder, OemInfFolder}, ListView1.Text(item, 1));
  if (!description.infFound) {
    AddMemoLines(Text(Msg::InfNotFound));
    return;
  }
  for (const InfPlatformFamily platform : description.platforms)
    AddMemoLines(Text(Msg::DesignedFor) + Text(platformMessage(platform)));
  const std::string& catalog = description.catalog;
  if (!catalog.empty()) CurrentCatalogFile = catalog;
  AddMemoLines(Text(Msg::DigitalSignature) +
               (catalog.empty() ? Text(Msg::SignatureNotAvailable) : formatMessage(Text(Msg::SignatureLab), {catalog})));
  const auto packageFiles = ShowDriverPackage(ListView1.Text(item, 1));
  if (description.fileCount == 0) {
    AddMemoLine(" ");
    AddMemoLines(Text(Msg::SuppliedWithWindows));
  }
  // After an empty line, the count of files with the INF itself; a package
  // is taken whole, whatever its INF names.
  AddMemoLine("");
  AddMemoLines(formatMessage(Text(Msg::FilesToBePackaged),
                             {std::to_string(packageFiles.value_or(description.fileCount))}));
}

}  // namespace korvane
