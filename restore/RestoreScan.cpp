#include "restore/RestoreScan.h"

namespace korvane {

void RestoreScan::Scan(FileSystem& files, const std::string& folder, const ScanProgress& progress) {
  ScanMask = "*.*";
  lstscan2.clear();
  ScanFolderTree(files, folder.ends_with('\\') ? folder : folder + "\\", ScanMask, progress, lstscan2);
}

}  // namespace korvane
