// The favourites folder of the current user, the folder its backup goes to,
// and the check of a folder the user offers to restore from.
#pragma once

#include <string>

#include "platform/Machine.h"

namespace korvane {

struct FavoritesPlaces {
  std::string folder;  // the favourites folder, without a trailing backslash; empty when unknown
  std::string backup;  // backup-all folder + "\IE " + the folder's name
};

// The favourites folder as the shell's folder value names it (read only),
// else "Favorites" in the user's data folder. A language with its own name
// for favourites (languageName, empty for none) gives the backup its name;
// the browser keeps reading the folder the value names.
FavoritesPlaces favoritesPlaces(Machine& machine, bool ntFamily, const std::string& backupAllFolder,
                                const std::string& languageName);

enum class RestoreSource { Usable, Empty, DriveRoot, AroundFavorites, Missing };

// A folder the favourites may be copied from: not empty, not a whole drive,
// neither the favourites folder nor one that holds it (which would copy the
// favourites into themselves), and an existing folder. The folder is
// expanded against the current folder first.
RestoreSource checkRestoreSource(FileSystem& files, const std::string& entered, const std::string& favorites);

}  // namespace korvane
