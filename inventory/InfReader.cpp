#include "inventory/InfReader.h"

#include <string_view>
#include <unordered_set>

namespace korvane {

namespace {

// Words that mark a section, or a section header line, as a list of files.
constexpr std::string_view kFileSectionWords[] = {"copy", "source", "file", "list", "src", "disk", "nv"};
// What the text scan leaves of lines that name no file.
constexpr std::string_view kNotFileNames[] = {"1",    "0",      "5",      "hkr",      "hklm",            "hkcu",
                                              "hkcr", "addreg", "delreg", "delfiles", "updateinifields", "copyfiles"};

bool namesFileList(const std::string& text) {
  const std::string lowered = lowerCase(text);
  for (const auto word : kFileSectionWords)
    if (lowered.find(word) != std::string::npos) return true;
  return false;
}

bool isNotFileName(const std::string& name) {
  for (const auto word : kNotFileNames)
    if (name == word) return true;
  return false;
}

// A huge file or a folder is no INF: every read of it gives nothing.
bool readable(Machine& machine, const std::string& inf) {
  const auto entry = machine.files().stat(inf);
  return entry && !entry->isDirectory() && entry->size <= kMaxInfSize;
}

std::string cutBefore(const std::string& text, char delimiter) { return text.substr(0, text.find(delimiter)); }

// An ordered list of names; a name is a duplicate of another when the two
// differ only in letter case.
class FileSet {
 public:
  void append(std::string name) {
    seen_.insert(upperCase(name));
    names_.push_back(std::move(name));
  }
  void add(std::string name) {
    if (seen_.insert(upperCase(name)).second) names_.push_back(std::move(name));
  }
  std::vector<std::string> take() { return std::move(names_); }

 private:
  std::vector<std::string> names_;
  std::unordered_set<std::string> seen_;
};

// What the text scan keeps of a retained line: its first word before any
// ";", ",", "=" or space, unless that is no file name.
std::optional<std::string> textScanName(const std::string& line) {
  std::string name = lowerCase(line);
  for (const char delimiter : {';', ',', '=', ' '}) name = cutBefore(name, delimiter);
  if (name.empty() || name[0] == '[' || name[0] == '\t' || name.find('%') != std::string::npos || isNotFileName(name))
    return std::nullopt;
  return name;
}

// The file a commented-out line names, as in "; mydrv.sys = 1": the text
// after the semicolons, commas and spaces that open the line, up to an "=",
// "," or ";" that is not its first character.
std::string commentedName(const std::string& line) {
  size_t start = 1;
  for (const char skipped : {';', ',', ' '})
    while (start < line.size() && line[start] == skipped) ++start;
  std::string name = line.substr(start);
  for (const char delimiter : {'=', ',', ';'}) {
    const size_t at = name.find(delimiter);
    if (at != std::string::npos && at > 0) name.resize(at);
  }
  return name;
}

struct TextScan {
  std::vector<std::string> retained;       // lines of file sections, headers included
  std::vector<std::string> commentedNames;  // from every commented line with a "."
};

// The INF line by line, as written: a header line that names a file list
// opens a file section, any other header closes it.
TextScan scanText(Machine& machine, const std::string& inf) {
  TextScan scan;
  const auto bytes = machine.files().readFile(inf);
  if (!bytes) return scan;
  bool inFileSection = false;
  for (const auto& line : splitLines(decodeText(*bytes, machine.codePages()))) {
    if (line.empty()) continue;
    if (line[0] == ';' && line.find('.') != std::string::npos) scan.commentedNames.push_back(commentedName(line));
    if (line[0] == '[') {
      if (line.find(']') != std::string::npos) inFileSection = false;
      if (namesFileList(line)) inFileSection = true;
    }
    if (inFileSection && line[0] != ';') scan.retained.push_back(line);
  }
  return scan;
}

std::string versionValue(Machine& machine, const std::string& inf, const std::string& key) {
  const std::string section = InfVersionSection(machine, inf);
  if (section.empty()) return {};
  return machine.profiles().readString(inf, section, key, "");
}

// Both variants of the file set; the backup set also takes the catalog names
// and the commented-out file names.
std::vector<std::string> fileSet(Machine& machine, const std::string& inf, InfBackupSet* backup,
                                 CatalogNames catalogNames = CatalogNames::BothAsRead) {
  if (!readable(machine, inf)) return {};
  ProfileFiles& profiles = machine.profiles();
  FileSet set;
  for (auto& key : profiles.keyNames(inf, "SourceDisksFiles")) set.add(std::move(key));
  if (backup) {
    backup->CatalogFile = InfCatalog(machine, inf);
    if (catalogNames == CatalogNames::BothAsRead) {
      for (const char* key : {"CatalogFile", "CatalogFile.NT"}) {
        // A value that is all comment names no file.
        const std::string catalog = cutBefore(versionValue(machine, inf, key), ';');
        if (!catalog.empty()) set.append(catalog);
      }
    } else {
      if (!backup->CatalogFile.empty()) set.add(lowerCase(backup->CatalogFile));
      const std::string nt = cutBefore(versionValue(machine, inf, "CatalogFile.NT"), ';');
      if (!nt.empty()) set.append(nt);
    }
  }
  for (const auto& section : profiles.sectionNames(inf)) {
    if (!namesFileList(section)) continue;
    for (const auto& key : profiles.keyNames(inf, section))
      if (key.find('.') != std::string::npos) set.add(lowerCase(key));
  }
  TextScan scan = scanText(machine, inf);
  if (backup)
    for (auto& name : scan.commentedNames) set.append(std::move(name));
  for (const auto& line : scan.retained)
    if (auto name = textScanName(line)) set.add(std::move(*name));
  return set.take();
}

}  // namespace

std::optional<std::string> LocateInf(FileSystem& files, const std::string& infFolder, const std::string& oemInfFolder,
                                     const std::string& name) {
  std::optional<std::string> found;
  for (const auto* folder : {&infFolder, &oemInfFolder}) {
    const std::string path = *folder + name;
    if (files.exists(path) && !files.isDirectory(path)) found = path;
  }
  return found;
}

std::string InfVersionSection(Machine& machine, const std::string& inf) {
  if (!readable(machine, inf)) return {};
  for (const auto& section : machine.profiles().sectionNames(inf))
    if (equalsIgnoreCase(section, "Version")) return section;
  return {};
}

std::string InfPlatform(Machine& machine, const std::string& inf) { return versionValue(machine, inf, "Signature"); }

std::string InfCatalog(Machine& machine, const std::string& inf) {
  std::string catalog = versionValue(machine, inf, "CatalogFile");
  if (catalog.empty()) catalog = versionValue(machine, inf, "CatalogFile.NT");
  return cutBefore(catalog, ';');
}

std::vector<std::string> InfDetailsFileSet(Machine& machine, const std::string& inf) {
  return fileSet(machine, inf, nullptr);
}

InfBackupSet InfBackupFileSet(Machine& machine, const std::string& inf, CatalogNames catalogNames) {
  InfBackupSet backup;
  backup.Names = fileSet(machine, inf, &backup, catalogNames);
  return backup;
}

}  // namespace korvane
