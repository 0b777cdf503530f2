// The update check's work on the driver database, without a window: the
// carried image written out, the newest image fetched, the first sound one
// of the fetched, saved and carried images chosen, and its database files
// unpacked into the Windows INF folder. The caller tells the user what the
// results say.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "components/ahmtfileholder/TAHMFileHolder.h"
#include "platform/Machine.h"
#include "update/DatabaseImage.h"
#include "update/WebCopy.h"

namespace korvane {

// The images, in the INF folder: carried inside the program, just fetched,
// and the last sound download kept from run to run.
inline constexpr const char* kCarriedImageName = "MsSetup6.cab";
inline constexpr const char* kFetchedImageName = "MsSetup6.PNF";
inline constexpr const char* kSavedImageName = "msdevupd.PNF";
// A database file far larger than any table is no database.
inline constexpr uint64_t kLargestDatabaseFile = uint64_t{256} << 20;

// Before the download (infFolder ends with a backslash): the carried image
// (item 0 of the holder) written out, a download of an earlier check
// deleted. The holder raises EStreamError when the image cannot be written.
void prepareDatabaseFolder(FileSystem& files, TAHMFileHolder& carried, const std::string& infFolder);
// The one download item of the database image.
void queueDatabaseDownload(TWebCopy& copy, const std::string& url, const std::string& infFolder);

enum class DatabaseSource { None, Fetched, Saved, Carried };

struct DatabaseUnpacking {
  DatabaseSource source = DatabaseSource::None;  // None: no sound image at all
  // A download arrived that was no sound image; it was deleted.
  std::optional<DatabaseImageFault> fetchedFault;
  // The saved image was no sound image; it stays for the next download to replace.
  std::optional<DatabaseImageFault> savedFault;
  std::vector<std::string> refusedNames;  // cabinet entries that are no database file name
  bool unpacked = false;                   // every database file came out whole
};

// After the download: chooses the image, keeps a sound download as the
// saved image, unpacks the database files (only those names) into the
// folder in place of earlier ones, and deletes the working copies.
DatabaseUnpacking unpackDatabase(Machine& machine, const std::string& infFolder);

// The database file's bytes; nullopt when it cannot be read or is too large.
std::optional<std::string> readDatabaseFile(FileSystem& files, const std::string& path);

}  // namespace korvane
