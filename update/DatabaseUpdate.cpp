#include "update/DatabaseUpdate.h"

#include "packaging/CabSTComps.h"
#include "update/DatabaseText.h"

namespace korvane {

namespace {

// Where an image's cabinet is reassembled: its name with ".ini" for its
// last four characters.
std::string cabinetPathOf(const std::string& image) { return image.substr(0, image.size() - 4) + ".ini"; }

void deleteIfPresent(FileSystem& files, const std::string& path) {
  if (files.exists(path)) files.deleteFile(path);
}

// Extracts the database files of the cabinet into the folder, and nothing
// else: any other name, a folder part included, is refused.
void unpackDatabaseFiles(Machine& machine, const std::string& cabinet, const std::string& infFolder,
                         DatabaseUnpacking& result) {
  TSTCabReader reader(machine);
  reader.OnCopyFile = [&result](TSTCabReader&, const std::string& name, int, uint16_t, uint16_t, uint16_t, uint16_t,
                                std::string& target, bool&) {
    if (isDatabaseFileName(name)) return;
    result.refusedNames.push_back(name);
    target.clear();
  };
  reader.ExtractFiles(cabinet, withoutTrailingBackslash(infFolder));
  result.refusedNames.insert(result.refusedNames.end(), reader.RefusedNames().begin(), reader.RefusedNames().end());
  result.unpacked = reader.LastError().fError == 0 && reader.FailedFiles().empty();
}

}  // namespace

void prepareDatabaseFolder(FileSystem& files, TAHMFileHolder& carried, const std::string& infFolder) {
  carried.ExtractFile(0, infFolder + kCarriedImageName);
  deleteIfPresent(files, infFolder + kFetchedImageName);
}

void queueDatabaseDownload(TWebCopy& copy, const std::string& url, const std::string& infFolder) {
  copy.Items.Clear();
  TWebCopyItem& item = copy.Items.Add();
  item.URL = url;
  item.TargetDir = infFolder;
  item.TargetFilename = kFetchedImageName;
}

DatabaseUnpacking unpackDatabase(Machine& machine, const std::string& infFolder) {
  FileSystem& files = machine.files();
  DatabaseUnpacking result;
  // Files of an earlier check go first: only the chosen image's are matched.
  for (const std::string_view name : kDatabaseFileNames) deleteIfPresent(files, infFolder + std::string(name));
  const std::pair<DatabaseSource, std::string> images[] = {{DatabaseSource::Fetched, infFolder + kFetchedImageName},
                                                           {DatabaseSource::Saved, infFolder + kSavedImageName},
                                                           {DatabaseSource::Carried, infFolder + kCarriedImageName}};
  for (const auto& [source, image] : images) {
    if (!files.exists(image)) continue;
    const DatabaseImageCheck check = checkDatabaseImage(files, image, cabinetPathOf(image));
    if (check.valid()) {
      result.source = source;
      if (source == DatabaseSource::Fetched) files.copyFile(image, infFolder + kSavedImageName, false);
      unpackDatabaseFiles(machine, cabinetPathOf(image), infFolder, result);
      break;
    }
    if (source == DatabaseSource::Fetched) {
      result.fetchedFault = check.fault;
      files.deleteFile(image);
    }
    if (source == DatabaseSource::Saved) result.savedFault = check.fault;
  }
  for (const auto& [source, image] : images) deleteIfPresent(files, cabinetPathOf(image));
  deleteIfPresent(files, infFolder + kCarriedImageName);
  deleteIfPresent(files, infFolder + kFetchedImageName);
  return result;
}

std::optional<std::string> readDatabaseFile(FileSystem& files, const std::string& path) {
  const std::optional<FileEntry> entry = files.stat(path);
  if (!entry || entry->isDirectory() || entry->size > kLargestDatabaseFile) return std::nullopt;
  return files.readFile(path);
}

}  // namespace korvane
