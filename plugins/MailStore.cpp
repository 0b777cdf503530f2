#include "plugins/MailStore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "packaging/PackageWriter.h"
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

struct Date {
  int year, month, day;
};

// A day counted from 30 December 1899, as the clock gives it.
Date dateOf(double days) {
  // Days from 1 March of year 0 of a 400-year era, by the proleptic Gregorian calendar.
  const long z = static_cast<long>(std::floor(days)) - 25569 + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long dayOfEra = z - era * 146097;
  const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const long shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  return {static_cast<int>(yearOfEra + era * 400 + (month <= 2)), month, day};
}

std::string formatDate(const std::string& picture, Date date) {
  std::string out;
  for (size_t k = 0; k < picture.size();) {
    const char letter = picture[k];
    if (letter == '\'') {
      const size_t close = std::min(picture.find('\'', k + 1), picture.size());
      out += picture.substr(k + 1, close - k - 1);
      k = close + 1;
      continue;
    }
    size_t run = 1;
    while (k + run < picture.size() && picture[k + run] == letter) ++run;
    char field[16];
    if (letter == 'd' || letter == 'M')
      std::snprintf(field, sizeof field, run > 1 ? "%02d" : "%d", letter == 'd' ? date.day : date.month);
    else if (letter == 'y')
      std::snprintf(field, sizeof field, run > 2 ? "%04d" : "%02d", run > 2 ? date.year : date.year % 100);
    out += letter == 'd' || letter == 'M' || letter == 'y' ? std::string(field) : picture.substr(k, run);
    k += run;
  }
  return out;
}

}  // namespace

std::string todaysShortDate(Machine& machine) {
  return formatDate(machine.system().localeFormats().shortDate, dateOf(machine.clock().now()));
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
