#include "backup/DriverPackage.h"

#include <algorithm>

#include "inventory/InfReader.h"
#include "platform/Text.h"

namespace korvane {

namespace {

constexpr const char* kInfFilesKey = "\\SYSTEM\\DriverDatabase\\DriverInfFiles\\";
constexpr const char* kPackagesKey = "\\SYSTEM\\DriverDatabase\\DriverPackages\\";

// One folder name inside FileRepository: a name from the registry or the
// disk that held a separator, a drive or ".." would lead out of the store.
bool isPackageName(const std::string& name) {
  return nameStaysInFolder(name) && name.find("..") == std::string::npos;
}

// The package folder's own INF: the original name that starts the folder
// name ("tessgfx.inf" of "tessgfx.inf_amd64_0123456789abcdef").
std::optional<std::string> originalInfName(const std::string& packageName) {
  const std::string lower = lowerCase(packageName);
  const size_t end = lower.rfind(".inf_");
  if (end == std::string::npos || end == 0) return std::nullopt;
  return packageName.substr(0, end + 4);
}

// A real folder, not a link or junction that could lead anywhere.
bool isPlainFolder(FileSystem& files, const std::string& path) {
  const auto entry = files.stat(path);
  return entry && entry->isFolderToWalk();
}

std::optional<DriverPackage> packageAt(Machine& machine, const std::string& repository, const std::string& name,
                                       const std::string& inf, DriverPackage::How how) {
  FileSystem& files = machine.files();
  DriverPackage package;
  package.name = name;
  package.folder = joinPath(repository, name);
  package.inf = joinPath(package.folder, inf);
  package.how = how;
  if (!isPlainFolder(files, package.folder) || !files.exists(package.inf) || files.isDirectory(package.inf))
    return std::nullopt;
  // The INF's catalog, when it is a plain name of a file in the folder.
  const std::string catalog = trim(InfCatalog(machine, package.inf));
  if (nameStaysInFolder(catalog) && files.exists(joinPath(package.folder, catalog)))
    package.catalog = joinPath(package.folder, catalog);
  return package;
}

// The package the DriverDatabase keys name for the INF, when the package's
// own key confirms that it was published as this INF.
std::optional<std::string> registeredPackageName(Registry& registry, const std::string& infName,
                                                 std::vector<PackageNote>& notes) {
  const std::string infKey = kInfFilesKey + infName;
  std::string name = registry.readString(RegRoot::LocalMachine, infKey, "Active").value_or("");
  if (name.empty()) {
    const auto all = registry.readValue(RegRoot::LocalMachine, infKey, "");
    if (all && all->type == static_cast<uint32_t>(RegType::MultiString) && !all->asMultiString().empty())
      name = all->asMultiString().front();
  }
  if (name.empty()) return std::nullopt;
  if (!isPackageName(name)) {
    notes.push_back({infName, name});
    return std::nullopt;
  }
  const std::string packageKey = kPackagesKey + name;
  if (!registry.keyExists(RegRoot::LocalMachine, packageKey)) return std::nullopt;
  const auto published = registry.readString(RegRoot::LocalMachine, packageKey, "");
  if (!published || !equalsIgnoreCase(*published, infName)) return std::nullopt;
  return name;
}

std::optional<DriverPackage> packageWithSameInf(Machine& machine, const std::string& repository,
                                                const std::string& infName, DriverPackageCache& cache,
                                                std::vector<PackageNote>& notes) {
  FileSystem& files = machine.files();
  const std::string windows = machine.environment().get("windir").value_or("");
  const std::string oemInf = joinPath(joinPath(windows, "INF"), infName);
  const auto oemEntry = files.stat(oemInf);
  if (windows.empty() || !oemEntry || oemEntry->isDirectory()) return std::nullopt;
  std::optional<std::string> oemBytes;  // read only once a candidate has its size
  for (const auto& candidate : cache.Candidates(files, repository, notes)) {
    if (candidate.size != oemEntry->size) continue;
    if (!oemBytes) oemBytes = files.readFile(oemInf);
    if (!oemBytes) return std::nullopt;
    if (cache.Bytes(files, candidate.inf) != *oemBytes) continue;
    return packageAt(machine, repository, candidate.folderName, fileNamePart(candidate.inf),
                     DriverPackage::How::SameInf);
  }
  return std::nullopt;
}

}  // namespace

const std::vector<DriverPackageCache::Candidate>& DriverPackageCache::Candidates(FileSystem& files,
                                                                                 const std::string& repository,
                                                                                 std::vector<PackageNote>& notes) {
  if (candidates_) return *candidates_;
  candidates_.emplace();
  for (const FileEntry& folder : files.find(joinPath(repository, "*"))) {
    if (!folder.isFolderToWalk()) continue;
    if (!isPackageName(folder.name)) {
      notes.push_back({"", folder.name});
      continue;
    }
    for (const FileEntry& inf : files.find(joinPath(joinPath(repository, folder.name), "*.inf")))
      if (!inf.isDirectory() && nameStaysInFolder(inf.name))
        candidates_->push_back({folder.name, joinPath(joinPath(repository, folder.name), inf.name), inf.size});
  }
  return *candidates_;
}

const std::string& DriverPackageCache::Bytes(FileSystem& files, const std::string& inf) {
  auto place = bytes_.find(inf);
  if (place == bytes_.end()) place = bytes_.emplace(inf, files.readFile(inf).value_or("")).first;
  return place->second;
}

bool HasDriverStore(Machine& machine) {
  const auto version = machine.system().version();
  return version && version->platformId == platformNT && version->major >= 6;
}

std::string DriverRepositoryFolder(Machine& machine) {
  const std::string system = machine.system().systemDirectory().value_or("");
  if (system.empty() || !HasDriverStore(machine)) return "";
  return joinPath(system, "DriverStore\\FileRepository");
}

std::optional<DriverPackage> FindDriverPackage(Machine& machine, const std::string& infName,
                                               DriverPackageCache& cache, std::vector<PackageNote>& notes) {
  const std::string repository = DriverRepositoryFolder(machine);
  if (repository.empty() || !nameStaysInFolder(infName)) return std::nullopt;
  if (const auto name = registeredPackageName(machine.registry(), infName, notes)) {
    const auto inf = originalInfName(*name);
    if (inf && nameStaysInFolder(*inf)) {
      if (auto package = packageAt(machine, repository, *name, *inf, DriverPackage::How::Registry)) return package;
    }
  }
  return packageWithSameInf(machine, repository, infName, cache, notes);
}

std::vector<std::string> PackageEntries(FileSystem& files, const DriverPackage& package) {
  std::vector<std::string> entries, folders;
  for (const FileEntry& entry : files.find(joinPath(package.folder, "*"))) {
    if (entry.isLink() || !nameStaysInFolder(entry.name)) continue;
    (entry.isDirectory() ? folders : entries).push_back(joinPath(package.folder, entry.name));
  }
  entries.insert(entries.end(), folders.begin(), folders.end());
  return entries;
}

size_t PackageFileCount(FileSystem& files, const DriverPackage& package) {
  size_t count = 0;
  std::vector<std::string> folders{package.folder};
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    for (const FileEntry& entry : files.find(joinPath(folder, "*"))) {
      if (entry.isLink() || !nameStaysInFolder(entry.name)) continue;
      if (entry.isDirectory())
        folders.push_back(joinPath(folder, entry.name));
      else
        ++count;
    }
  }
  return count;
}

}  // namespace korvane
