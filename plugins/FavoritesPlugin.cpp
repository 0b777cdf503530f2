// Backup IE Favorites and Restore IE Favorites: the favourites folder copied
// beside the driver backups, and such a copy put back.
#include "app/BalvikMain.h"
#include "plugins/Favorites.h"

namespace korvane {

void TForm1::ReportPluginFailure(const std::string& text) {
  CommandFailed = true;
  view_.showMessage(text);
}

bool TForm1::CopyFolderContents(const std::string& from, const std::string& to) {
  FO1.DirFrom.clear();
  FO1.FilesFrom = {joinPath(from, "*.*")};
  FO1.DirTo = to;
  return FO1.Execute();
}

void TForm1::BackupIEFavorite1Click() {
  view_.showMessage(Text(Msg::CloseIEFirst));
  const FavoritesPlaces places =
      favoritesPlaces(machine_, AH.IsNTFamily(), BackupAllFolder, Text(Msg::FavoritesFolderName));
  if (places.folder.empty() || !machine_.files().isDirectory(places.folder)) {
    ReportPluginFailure(Text(Msg::NothingToBackup));
    return;
  }
  if (!CopyFolderContents(places.folder, places.backup)) {
    ReportPluginFailure(formatMessage(Text(Msg::FavoritesNotCopied), {places.folder, places.backup}));
    return;
  }
  view_.showMessage(formatMessage(Text(Msg::PluginBackupDone), {places.backup}));
}

void TForm1::Restore4Click() {
  const FavoritesPlaces places =
      favoritesPlaces(machine_, AH.IsNTFamily(), BackupAllFolder, Text(Msg::FavoritesFolderName));
  if (places.folder.empty()) {
    ReportPluginFailure(Text(Msg::FavoritesUnknown));
    return;
  }
  const auto entered = view_.askText({Text(Msg::FavoritesRestoreCaption), Text(Msg::FavoritesRestorePrompt),
                                      places.backup, Text(Msg::InputOk), Text(Msg::InputCancel)});
  if (!entered) return;
  FileSystem& files = machine_.files();
  switch (checkRestoreSource(files, *entered, places.folder)) {
    case RestoreSource::Empty: return ReportPluginFailure(Text(Msg::FavoritesEmptyEntry));
    case RestoreSource::DriveRoot: return ReportPluginFailure(formatMessage(Text(Msg::FavoritesDriveRoot), {*entered}));
    case RestoreSource::AroundFavorites:
      return ReportPluginFailure(formatMessage(Text(Msg::FavoritesAround), {*entered, places.folder}));
    case RestoreSource::Missing: return ReportPluginFailure(formatMessage(Text(Msg::FavoritesNoSuchFolder), {*entered}));
    case RestoreSource::Usable: break;
  }
  if (!CopyFolderContents(*entered, places.folder)) {
    ReportPluginFailure(formatMessage(Text(Msg::FavoritesNotCopied), {*entered, places.folder}));
    return;
  }
  ClearMemo();
  AddMemoLine(Text(Msg::FavoritesRestored));
}

}  // namespace korvane
