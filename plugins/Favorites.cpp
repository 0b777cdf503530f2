#include "plugins/Favorites.h"

#include "packaging/CabNames.h"
#include "plugins/UserFolders.h"

namespace korvane {

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kDefaultName = "Favorites";

// "C:", "C:\", "\" or "\\server\share": a whole drive or share. "C:" alone
// names the current folder of C: to Windows, but a person typing it means the drive.
bool isRoot(const std::string& path) {
  std::string trimmed = path;
  while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
  if (trimmed.empty() || (trimmed.size() == 2 && trimmed[1] == ':')) return true;
  if (trimmed.compare(0, 2, "\\\\") != 0) return false;
  const size_t share = trimmed.find('\\', 2);
  return share == std::string::npos || trimmed.find('\\', share + 1) == std::string::npos;
}

}  // namespace

FavoritesPlaces favoritesPlaces(Machine& machine, bool ntFamily, const std::string& backupAllFolder,
                                const std::string& languageName) {
  const std::string value =
      withoutTrailingBackslash(machine.registry().readString(RegRoot::CurrentUser, kShellFolders, kDefaultName).value_or(""));
  std::string name = fileNamePart(value);
  if (!isPlainName(name)) name = kDefaultName;
  const std::string backupName = isPlainName(languageName) ? languageName : name;
  const std::string base = userDataFolder(machine, ntFamily);
  std::string folder;
  if (isAbsolutePath(value))
    folder = value;
  else if (!base.empty())
    folder = joinPath(base, name);
  return {folder, joinPath(backupAllFolder, "IE " + backupName)};
}

RestoreSource checkRestoreSource(FileSystem& files, const std::string& entered, const std::string& favorites) {
  const std::string typed = trim(entered);
  if (typed.empty()) return RestoreSource::Empty;
  const std::string source = expandFileName(files, typed);
  if (isRoot(typed) || isRoot(source)) return RestoreSource::DriveRoot;
  const std::string inside = upperCase(withTrailingBackslash(expandFileName(files, favorites)));
  if (inside.starts_with(upperCase(withTrailingBackslash(source)))) return RestoreSource::AroundFavorites;
  if (!files.isDirectory(source)) return RestoreSource::Missing;
  return RestoreSource::Usable;
}

}  // namespace korvane
