// Files the cabinet library opens through the components' callbacks. Every
// file goes through the machine's FileSystem, held open and read or written
// a block at a time where the library asks: a file of any size costs no more
// memory than the library's own blocks. Handles are process-wide, since the
// reader's file callbacks carry no context.
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
// A new file opened for writing only, in place of whatever file is at the
// path: the old one goes first, so that its other names (hard links) keep
// their bytes. For extracted files, whose folder and old file's attributes
// the caller has dealt with already.
intptr_t create(FileSystem& files, const std::string& path, uint32_t& error);
unsigned read(intptr_t hf, void* buffer, unsigned count, uint32_t& error);
unsigned write(intptr_t hf, const void* buffer, unsigned count, uint32_t& error);
int32_t seek(intptr_t hf, int32_t distance, int origin, uint32_t& error);
// 0 on success, -1 on failure.
int close(intptr_t hf, uint32_t& error);
// The size of an open file; nullopt for an unknown handle or when it cannot be told.
std::optional<uint64_t> size(intptr_t hf);
// Dates a file written in full before it is closed; false for an unknown handle.
bool setFileTimes(intptr_t hf, int64_t fileTime);
// Closes a file whose bytes will not be used, whatever it was opened for; its
// caller removes it. Nothing happens for a handle that is closed already.
void discard(intptr_t hf);
// Files open at the moment, for tests that look for leaks.
size_t openCount();

}  // namespace CabFiles

}  // namespace korvane
