// File access of the cabinet reader, through the caller's callbacks only,
// and the cabinets it opens. Failures throw FdiFailure.
#pragma once

#include <memory>
#include <string>

#include "platform/CabinetInterface.h"
#include "platform/CabFormat.h"

namespace korvane::cab {

struct FdiFailure {
  FDIERROR code;
};

[[noreturn]] void failFdi(FDIERROR code);

struct FdiCallbacks {
  PFNALLOC alloc;
  PFNFREE free;
  PFNOPEN open;
  PFNREAD read;
  PFNWRITE write;
  PFNCLOSE close;
  PFNSEEK seek;
};

class FdiIo {
 public:
  explicit FdiIo(const FdiCallbacks& callbacks) : cb_(callbacks) {}
  const FdiCallbacks& callbacks() const { return cb_; }

  intptr_t open(const std::string& path);  // -1 when it cannot be opened
  void close(intptr_t hf) { cb_.close(hf); }
  // Fails with onShort if the file ends first or cannot be read.
  void readExactly(intptr_t hf, uint8_t* buffer, size_t size, FDIERROR onShort);
  size_t readUpTo(intptr_t hf, uint8_t* buffer, size_t size);
  void seek(intptr_t hf, uint32_t offset, FDIERROR onFailure);
  int32_t size(intptr_t hf);  // -1 if unknown
  void write(intptr_t hf, ByteView data);

 private:
  FdiCallbacks cb_;
};

// One cabinet file: its tables, read and checked when it is opened. The file
// is open while its data is being read and opened again when needed.
class CabinetFile {
 public:
  // Throws CABINET_NOT_FOUND, NOT_A_CABINET, UNKNOWN_CABINET_VERSION or
  // CORRUPT_CABINET.
  CabinetFile(FdiIo& io, std::string folder, std::string name);
  ~CabinetFile();
  CabinetFile(const CabinetFile&) = delete;
  CabinetFile& operator=(const CabinetFile&) = delete;

  const std::string& folder() const { return folder_; }
  const Header& header() const { return header_; }
  const std::vector<FolderEntry>& folders() const { return folders_; }
  const std::vector<FileEntry>& files() const { return files_; }
  ByteView headerReserve() const { return headerReserve_; }
  ByteView folderReserve(size_t folder) const;

  // Folder 0 continues a folder of the previous cabinet.
  bool continuesFolder() const;
  // The last folder goes on in the next cabinet.
  bool folderGoesOn() const;
  size_t folderOf(const FileEntry& file) const;

  intptr_t handle();
  void release();

 private:
  void readTables();
  void checkFiles() const;

  FdiIo& io_;
  std::string folder_, name_;
  intptr_t hf_ = -1;
  Header header_;
  Bytes headerReserve_;
  Bytes folderTable_;
  std::vector<FolderEntry> folders_;
  std::vector<FileEntry> files_;
};

// Reads the header at the handle's position; the failure code on failure.
FDIERROR readCabinetInfo(FdiIo& io, intptr_t hf, PFDICABINETINFO info);

}  // namespace korvane::cab
