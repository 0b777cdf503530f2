// Files the cabinet library opens through the components' callbacks. Every
// file goes through the machine's FileSystem: it is read whole when opened,
// kept in memory while open and written back when closed. Handles are
// process-wide, since the reader's file callbacks carry no context.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace korvane {

// What CreateFile would be asked for, from the C runtime flags the library
// passes to an open callback.
enum class CabDisposition { CreateNew, CreateAlways, TruncateExisting, OpenAlways, OpenExisting };

struct CabOpenMode {
  bool read = false, write = false;
  CabDisposition disposition = CabDisposition::OpenExisting;
  bool temporaryAttribute = false;
  bool randomAccess = false, sequentialScan = false;  // hints only
  bool deleteOnClose = false;
  bool append = false;
};

CabOpenMode cabOpenMode(int oflag);

// Each call returns -1 (or the value the library treats as failure) and sets
// error to a system error code when it fails.
namespace CabFiles {

intptr_t open(FileSystem& files, const std::string& path, const CabOpenMode& mode, uint32_t& error);
// A file opened for writing only that replaces whatever is at the path when
// it is closed; nothing touches the disk before. For extracted files, whose
// folder and old file the caller has dealt with already. The size the
// cabinet announces saves regrowing the buffer; it is only a hint.
intptr_t create(FileSystem& files, const std::string& path, uint32_t& error, uint32_t expectedSize = 0);
// A file opened for reading whose bytes the caller has read already.
intptr_t adopt(FileSystem& files, const std::string& path, std::string bytes, uint32_t& error);
unsigned read(intptr_t hf, void* buffer, unsigned count, uint32_t& error);
unsigned write(intptr_t hf, const void* buffer, unsigned count, uint32_t& error);
int32_t seek(intptr_t hf, int32_t distance, int origin, uint32_t& error);
// Writes a changed file back; 0 on success, -1 on failure.
int close(intptr_t hf, uint32_t& error);
// The size of an open file; nullopt for an unknown handle.
std::optional<size_t> size(intptr_t hf);
// Forgets a file without writing it back; nothing happens for a handle
// that is closed already.
void discard(intptr_t hf);
// Files open at the moment, for tests that look for leaks.
size_t openCount();

}  // namespace CabFiles

}  // namespace korvane
