// What the cabinet tests share: data generators, cabinets put together field
// by field, a scratch machine for the writer and reader components, and (on
// Linux) a writer and a reader that drive the FCI/FDI entry points directly
// with callbacks on host files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/CabinetErrors.h"
#include "packaging/CabSTComps.h"
#include "platform/CabFormat.h"
#include "platform/CabinetInterface.h"
#include "support/TestMachine.h"
#ifndef _WIN32
#include "support/HostCommand.h"
#endif

namespace korvane::test::cab {

namespace fs = std::filesystem;

// Bytes that deflate well, and bytes that do not; the same seed gives the same bytes.
std::string textBytes(size_t size, unsigned seed);
std::string randomBytes(size_t size, unsigned seed);

// Host files, whole.
std::string readFile(const fs::path& file);
void writeFile(const fs::path& file, const std::string& bytes);

// A file to put into a cabinet: its name there (backslashes between
// folders), its bytes and how it is stored.
struct InputFile {
  std::string name;
  std::string bytes;
  TCOMP type = tcompTYPE_MSZIP;
  bool execute = false;
  uint16_t date = 0x5A8C;  // 2025-04-12
  uint16_t time = 0x6B2D;  // 13:25:26
  uint16_t attribs = _A_ARCH;
};

// ---- cabinets put together field by field: layouts our writers do not
// make, and damaged ones. Counts, offsets and checksums are filled in.

struct RawBlock {
  std::string payload;
  uint16_t uncompressed = 0;
  bool checksum = true;
};
struct RawFolder {
  uint16_t type = tcompTYPE_NONE;
  std::vector<RawBlock> blocks;
};
struct RawCabinet {
  ::korvane::cab::Header header;
  std::vector<RawFolder> folders;
  std::vector<::korvane::cab::FileEntry> files;
};
std::string encodeCabinet(RawCabinet cabinet);
// Stored blocks of up to blockSize bytes.
std::vector<RawBlock> storedBlocks(const std::string& bytes, size_t blockSize = 32768);

// One folder of stored files, where names, counts, offsets and checksums can
// be anything.
struct RawFile {
  std::string name;
  std::string bytes;
  uint16_t attribs = 0x20;
  uint16_t date = 0x5A8C, time = 0x6B2D;  // 2025-04-12 13:25:26
  // Overrides; -1 keeps the true value.
  int64_t size = -1, offset = -1;
};
struct RawOptions {
  size_t blockSize = 32768;
  bool checksums = true;
  // Damage: a byte of the data area flipped after the checksums were set
  // (-1: none), the data blocks cut short, the file count overridden.
  int64_t flipDataByte = -1;
  size_t truncateTo = 0;  // 0: whole
  int fileCount = -1;
  uint32_t coffCabStartDelta = 0;
  std::string nextCabinet;  // names a next cabinet in the header
};
std::string rawCabinet(const std::vector<RawFile>& files, const RawOptions& options = {});

// ---- the writer and reader components on a scratch machine

class CabTest : public ::testing::Test {
 protected:
  CabTest();

  Machine& machine() { return *scratch_.machine; }
  FileSystem& files() { return machine().files(); }
  // A Windows path below the scratch folder.
  std::string at(const std::string& relative) const { return scratch_.scratch + "\\" + relative; }
  void put(const std::string& path, const std::string& bytes);
  std::string get(const std::string& path);
  void putAll(const std::string& folder, const std::vector<InputFile>& sources);
  // Each source is in the folder with its bytes.
  void expectHolds(const std::string& folder, const std::vector<InputFile>& sources);
  // Every file below a folder, as paths relative to it, sorted.
  std::vector<std::string> filesBelow(const std::string& folder);
#ifndef _WIN32
  // The host path of a Windows path on the scratch machine's drive C.
  std::string hostPath(const std::string& path) const;
  // The machine image's folder.
  const std::filesystem::path& hostRoot() const { return scratch_.host->path(); }
#endif

  // An MS-ZIP cabinet of every file below the folder, as the program's callers make one.
  void writeCabinet(const std::string& cabinet, const std::string& folder);

 private:
  ScratchMachine scratch_;
};

#ifndef _WIN32
// ---- the FCI/FDI entry points driven directly, on host files

struct WriterOptions {
  uint32_t cabinetSize = CB_MAX_DISK;
  uint32_t folderThreshold = CB_MAX_DISK;
  unsigned reserveHeader = 0, reserveFolder = 0, reserveData = 0;
  uint16_t setID = 0;
  bool failOnIncompressible = false;
};

struct Placement {
  std::string name;
  int32_t size;
  bool continuation;
  std::string cabinet;
};

// Builds cabinets in a folder; later cabinets of a set are named after the
// first with their number before the extension (set.cab, set2.cab, ...).
class TestWriter {
 public:
  TestWriter(const fs::path& folder, const std::string& firstName, const WriterOptions& options = {});
  ~TestWriter();
  TestWriter(const TestWriter&) = delete;
  TestWriter& operator=(const TestWriter&) = delete;

  bool created() const { return fci_ != nullptr; }
  bool add(const InputFile& file);
  bool addSource(const fs::path& source, const std::string& name, TCOMP type, bool execute = false);
  bool flushFolder();
  bool flushCabinet(bool getNext);
  bool finish() { return flushCabinet(false); }
  const ERF& error() const { return erf_; }
  // Every cabinet the writer was told to create, in order.
  const std::vector<fs::path>& cabinets() const { return cabinets_; }

  // Hooks; the defaults name the next cabinet and let everything go on.
  std::function<bool(CCAB&)> nextCabinet;
  std::function<int32_t(unsigned kind, uint32_t first, uint32_t second)> status;
  std::function<int(const Placement&)> placed;
  std::function<void(const std::string& source)> beforeOpen;

  std::vector<Placement> placements;
  std::vector<uint32_t> previousSizes;  // as given to the next-cabinet callback
  int blockStatuses = 0, folderStatuses = 0, cabinetStatuses = 0;

  struct Metadata {
    uint16_t date, time, attribs;
  };
  std::map<std::string, Metadata> metadata;  // by source path
  fs::path tempFolder;
  std::string failReadsOf;  // source whose reads fail

 private:
  friend struct WriterCallbacks;
  intptr_t failingHandle_ = -1;
  fs::path ownTemp_;  // removed at the end, whatever tempFolder became
  fs::path folder_;
  std::string firstName_;
  fs::path sources_;
  int sourceCount_ = 0;
  std::vector<fs::path> cabinets_;
  ERF erf_{};
  CCAB ccab_{};
  HFCI fci_ = nullptr;
};

struct ExtractedFile {
  std::string bytes;
  uint16_t date = 0, time = 0, attribs = 0;
  bool execute = false;
  uint16_t folder = 0;
  int times = 0;  // extractions of this name
};

// Reads cabinets through FDI into memory (by way of files in a scratch folder).
class TestReader {
 public:
  TestReader();
  ~TestReader();
  TestReader(const TestReader&) = delete;
  TestReader& operator=(const TestReader&) = delete;

  // One FDICopy of the cabinet.
  bool copy(const fs::path& cabinet);
  // FDICopy of the cabinet, then of each cabinet that continues the set,
  // until one names no next cabinet or it does not exist.
  bool extractSet(const fs::path& first);
  bool isCabinet(const fs::path& file, FDICABINETINFO& info);
  const ERF& error() const { return erf_; }

  // Hooks: a copy hook returning a value other than -2 overrides the
  // default (open a scratch file); a next-cabinet hook may change the path.
  std::function<intptr_t(const FDINOTIFICATION&)> onCopy;
  std::function<intptr_t(FDINOTIFICATION&)> onNextCabinet;
  std::function<intptr_t(const FDINOTIFICATION&)> onClose;
  PFNFDIDECRYPT decrypt = nullptr;

  std::map<std::string, ExtractedFile> files;
  std::vector<std::string> partialFiles;
  std::vector<std::string> cabinetsOpened;  // folder + name from each cabinet-info notification
  std::vector<FDIERROR> nextCabinetReasons;
  std::string nextFromHeader;  // next cabinet named by the last cabinet info of a copy
  std::string continuation;    // folder + name of the last next-cabinet request
  int leakedHandles = 0;  // targets left open after a failed copy

 private:
  friend struct ReaderCallbacks;
  intptr_t openTarget(const FDINOTIFICATION& note);
  intptr_t closeTarget(const FDINOTIFICATION& note);

  HFDI fdi_ = nullptr;
  ERF erf_{};
  fs::path scratch_;
  int targetCount_ = 0;
  std::map<intptr_t, std::pair<std::string, fs::path>> open_;
};

using ::korvane::test::quoted;
using ::korvane::test::runCommand;
using ::korvane::test::haveTool;
#endif

}  // namespace korvane::test::cab
