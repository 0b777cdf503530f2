#include "backup/BackupSteps.h"

#include <algorithm>

#include "platform/RichText.h"
#include "platform/Text.h"

namespace korvane {

namespace {

// A catalog or copied name is only ever a plain name inside the driver folder.
bool isNameInFolder(const std::string& name) {
  return !name.empty() && name.find_first_of("\\/:") == std::string::npos && !IsUnusableFolderName(name);
}

bool stopAfterPump(const DriverFilesProgress& progress) {
  if (progress.processMessages) progress.processMessages();
  return progress.stopRequested && progress.stopRequested();
}

}  // namespace

std::vector<std::string> DriverFiles::all() const {
  std::vector<std::string> files = found;
  files.insert(files.end(), infCopies.begin(), infCopies.end());
  return files;
}

DriverFiles FindDriverFiles(Machine& machine, const InfFolders& folders, const std::string& infName,
                            CatalogNames catalogNames, DriverFileSearch& search, const DriverFilesProgress& progress,
                            DriverPackageCache* packages) {
  DriverFiles result;
  const auto inf = LocateInf(machine.files(), folders.inf, folders.oemInf, infName);
  if (!inf) {
    result.outcome = DriverFiles::Outcome::InfMissing;
    return result;
  }
  if (progress.infLocated) progress.infLocated(*inf);
  if (packages) result.package = FindDriverPackage(machine, infName, *packages, result.notes);
  if (result.package) {
    result.catalog = fileNamePart(result.package->catalog);
    result.found = PackageEntries(machine.files(), *result.package);
    result.packageFiles = PackageFileCount(machine.files(), *result.package);
    if (progress.fileFound)
      for (const auto& path : result.found) progress.fileFound({path, false});
    return result;
  }
  result.catalog = InfCatalog(machine, *inf);
  const InfBackupSet set = InfBackupFileSet(machine, *inf, catalogNames);
  for (size_t k = 0; k <= set.Names.size(); ++k) {
    // Also after the last name: a search cut short by Stop leaves the list incomplete.
    if (!set.Names.empty() && stopAfterPump(progress)) {
      result.outcome = DriverFiles::Outcome::Stopped;
      result.found.clear();
      return result;
    }
    if (k == set.Names.size()) break;
    if (const auto file = search.Resolve(set.Names[k])) {
      result.found.push_back(file->path);
      if (progress.fileFound) progress.fileFound(*file);
    }
  }
  for (const std::string& folder : {folders.inf, folders.oemInf}) {
    const std::string path = folder + infName;
    // The search may have found the INF already, and on the NT family both
    // folders are one, spelled "Inf" and "inf": list each file once.
    const auto samePath = [&](const std::string& listed) { return equalsIgnoreCase(listed, path); };
    const bool listed = std::any_of(result.found.begin(), result.found.end(), samePath) ||
                        std::any_of(result.infCopies.begin(), result.infCopies.end(), samePath);
    if (!listed && machine.files().exists(path)) result.infCopies.push_back(path);
  }
  return result;
}

DestinationState PrepareBackupDestination(FileSystem& files, const std::string& destination) {
  DestinationState state = DestinationState::Existing;
  if (!files.isDirectory(destination)) {
    state = files.forceDirectories(destination) ? DestinationState::Created : DestinationState::NotCreated;
    if (state == DestinationState::NotCreated) return state;
  }
  files.setCurrentDirectory(destination);
  return state;
}

bool MakeDriverFolder(FileSystem& files, const std::string& folder) {
  return files.createDirectory(folder) || files.isDirectory(folder);
}

StagingFolder MakeStagingFolder(FileSystem& files, const std::string& destination) {
  StagingFolder staging;
  // createDirectory fails on a folder that is already there: the one made is new.
  for (int number = 1; number <= 100; ++number) {
    staging.path = joinPath(destination, "~korvane" + std::to_string(number) + ".tmp");
    staging.made = files.createDirectory(staging.path);
    if (staging.made || !files.exists(staging.path)) break;
  }
  return staging;
}

bool CopyFilesInto(TAHMFileOperator& copier, const std::vector<std::string>& files, const std::string& folder) {
  if (files.empty()) return false;
  copier.FilesFrom = files;
  copier.DirFrom.clear();
  copier.DirTo = folder;
  try {
    return copier.Execute();
  } catch (const EAHMFileOperator&) {
    return false;
  }
}

void DeleteFolderTree(TAHMFileOperator& deleter, const std::string& folder) {
  deleter.FilesFrom = {folder};
  deleter.DirFrom.clear();
  deleter.DirTo.clear();
  try {
    deleter.Execute();
  } catch (const EAHMFileOperator&) {
    // A folder that cannot be deleted stays; nothing in it is lost.
  }
}

bool WriteDriverDescriptor(Machine& machine, const std::string& folder, const SetupDiy& descriptor) {
  const std::string shortFolder = machine.files().shortPathName(folder).value_or(folder);
  return WriteSetupDiy(*makeRichText(machine), shortFolder, descriptor);
}

void WriteCatalogPlaceholder(FileSystem& files, const std::string& folder, const std::string& catalog) {
  const std::string placeholder = joinPath(folder, catalog);
  if (isNameInFolder(catalog) && files.isDirectory(folder) && !files.exists(placeholder))
    files.writeFile(placeholder, "");
}

std::vector<std::string> NamesCopiedInto(FileSystem& files, const std::string& folder,
                                         const std::vector<std::string>& copied, const std::string& catalog) {
  std::vector<std::string> names;
  const auto add = [&](const std::string& name) {
    const bool known = std::any_of(names.begin(), names.end(), [&](const auto& n) { return equalsIgnoreCase(n, name); });
    if (!known && isNameInFolder(name) && files.exists(joinPath(folder, name))) names.push_back(name);
  };
  for (const auto& path : copied) add(path.substr(path.find_last_of('\\') + 1));
  add(catalog);
  return names;
}

}  // namespace korvane
