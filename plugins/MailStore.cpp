#include "plugins/MailStore.h"

#include <algorithm>

#include "packaging/PackageWriter.h"
#include "platform/DateText.h"
#include "plugins/UserFolders.h"

namespace korvane {

namespace {

std::string addressBookName(Machine& machine) {
  auto user = machine.environment().get("USERNAME");
  if (!user || user->empty()) user = machine.system().userName();
  const std::string name = user.value_or("") + ".WAB";
  return user && !user->empty() && isPlainName(name) ? name : std::string();
}

// A file written under a temporary name, and the name it takes when all are complete.
struct StagedFile {
  std::string temporary, target;
};

class Staging {
 public:
  Staging(FileSystem& files, std::string folder) : files_(files), folder_(std::move(folder)) {}
  ~Staging() {
    for (const StagedFile& file : staged_) files_.deleteFile(file.temporary);
  }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  std::optional<std::string> add(const std::string& target) {
    const auto temporary = files_.tempFileName(folder_, "kvo");
    if (temporary) staged_.push_back({*temporary, target});
    return temporary;
  }
  // Each file in place of its target; the target that could not be replaced.
  std::optional<std::string> commit() {
    for (const StagedFile& file : staged_) {
      if (files_.exists(file.target) && !files_.deleteFile(file.target)) return file.target;
      if (!files_.moveFile(file.temporary, file.target)) return file.target;
    }
    staged_.clear();
    return std::nullopt;
  }

 private:
  FileSystem& files_;
  std::string folder_;
  std::vector<StagedFile> staged_;
};

}  // namespace

std::string todaysShortDate(Machine& machine) {
  return formatDateTime(machine.system().localeFormats().shortDate, machine.clock().now());
}

std::optional<MailStorePlaces> mailStorePlaces(Machine& machine, bool ntFamily) {
  const auto identity = machine.registry().readString(RegRoot::CurrentUser, "Identities", "Default User ID");
  const std::string base = userDataFolder(machine, ntFamily);
  if (!identity || !isPlainName(*identity) || base.empty()) return std::nullopt;
  const std::string local = joinPath(base, ntFamily ? "Local Settings\\Application Data" : "Application Data");
  MailStorePlaces places;
  places.store = joinPath(local, "Identities\\" + *identity + "\\Microsoft\\Outlook Express");
  if (const std::string book = addressBookName(machine); !book.empty())
    places.sideFiles.push_back({joinPath(base, "Application Data\\Microsoft\\Address Book\\" + book), book});
  for (const char* name : {"Outlook.pst", "extend.dat"})
    places.sideFiles.push_back({joinPath(local, std::string("Microsoft\\Outlook\\") + name), name});
  return places;
}

std::string mailPackageName(const std::string& shortDate) {
  std::string date = shortDate;
  for (char& c : date)
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\/:*?\"<>|-").find(c) != std::string_view::npos)
      c = '_';
  return "Outlook " + date + ".CAB";
}

size_t countFiles(FileSystem& files, const std::string& folder) {
  size_t count = 0;
  for (const FileEntry& entry : files.find(joinPath(folder, "*"))) {
    if (entry.isFolderToWalk())
      count += countFiles(files, joinPath(folder, entry.name));
    else if (!entry.isDirectory())
      ++count;
  }
  return count;
}

std::optional<std::string> backUpMailStore(Machine& machine, const MailStorePlaces& places, const std::string& package) {
  FileSystem& files = machine.files();
  Staging staging(files, parentPath(package));
  const auto cabinet = staging.add(package);
  if (!cabinet || packFolder(machine, places.store, *cabinet) != PackResult::Written) return package;
  for (const SideFile& side : places.sideFiles) {
    if (!files.exists(side.path)) continue;
    const std::string target = joinPath(parentPath(package), side.name);
    const auto copy = staging.add(target);
    if (!copy || !files.copyFile(side.path, *copy, false)) return target;
  }
  return staging.commit();
}

PackageExtraction extractMailPackage(Machine& machine, const std::string& package, const std::string& store) {
  PackageExtraction result;
  if (!machine.files().forceDirectories(store)) {
    result.error.fError = 1;
    result.error.erfOper = FDIERROR_TARGET_FILE;
    return result;
  }
  TSTCabReader reader(machine);
  reader.ExtractFiles(package, store);
  result.error = reader.LastError();
  result.refused = reader.RefusedNames();
  result.failed = reader.FailedFiles();
  result.extracted = reader.ExtractedFiles().size();
  return result;
}

SideFilesRestored restoreSideFiles(FileSystem& files, const MailStorePlaces& places, const std::string& packageFolder) {
  SideFilesRestored result;
  for (const SideFile& side : places.sideFiles) {
    const std::string source = joinPath(packageFolder, side.name);
    if (!files.exists(source)) continue;
    if (files.exists(side.path))
      result.kept.push_back(side.path);
    else if (!files.forceDirectories(parentPath(side.path)) || !files.copyFile(source, side.path, true))
      result.failed.push_back(side.path);
  }
  return result;
}

}  // namespace korvane
