// The details view: what the status memo tells of a driver row whose
// selection changed.
#include "app/BalvikMain.h"
#include "inventory/InfReader.h"

namespace korvane {

namespace {


bool containsAny(const std::string& text, std::initializer_list<const char*> words) {
  for (const char* word : words)
    if (text.find(word) != std::string::npos) return true;
  return false;
}

// The platform lines of a signature; the two family tests are independent,
// so a signature may name both families or neither.
std::vector<Msg> platformMessages(const std::string& platform) {
  if (platform.empty()) return {Msg::PlatformUnknown};
  std::vector<Msg> messages;
  if (containsAny(platform, {"CHICAGO", "Chicago", "chicago"})) messages.push_back(Msg::PlatformWindows95);
  if (containsAny(platform, {"NT", "nt"})) messages.push_back(Msg::PlatformWindowsNT);
  return messages;
}

}  // namespace

// Both a selection and a deselection describe the row.
void TForm1::ListView1SelectItem(size_t item, bool selected) {
  ShowDestinationPanel(false);
  DriverFileList.clear();
  ClearMemo();
  if (item >= ListView1.Count()) return;
  ListView1.Select(item, selected);
  const auto inf = LocateInf(machine_.files(), InfFolder, OemInfFolder, ListView1.Text(item, 1));
  if (!inf) {
    AddMemoLines(Text(Msg::InfNotFound));
    return;
  }
  for (const Msg platform : platformMessages(InfPlatform(machine_, *inf)))
    AddMemoLines(Text(Msg::DesignedFor) + Text(platform));
  const std::string catalog = InfCatalog(machine_, *inf);
  if (!catalog.empty()) CurrentCatalogFile = catalog;
  AddMemoLines(Text(Msg::DigitalSignature) +
               (catalog.empty() ? Text(Msg::SignatureNotAvailable) : formatMessage(Text(Msg::SignatureLab), {catalog})));
  const auto names = InfDetailsFileSet(machine_, *inf);
  if (names.empty()) {
    AddMemoLine(" ");
    AddMemoLines(Text(Msg::SuppliedWithWindows));
  }
  // After an empty line, the count of files with the INF itself.
  AddMemoLine("");
  const size_t files = names.empty() ? 0 : names.size() + 1;
  AddMemoLines(formatMessage(Text(Msg::FilesToBePackaged), {std::to_string(files)}));
}

}  // namespace korvane
