// Cabinets for tests: a writer and a reader over our FCI/FDI with callbacks on
// host files, data generators, and running the independent cabinet tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/cabinet/CabFormat.h"
#include "platform/cabinet/Cabinet.h"
#include "support/HostCommand.h"

namespace korvane::test::cab {

namespace fs = std::filesystem;

// Bytes that deflate well, and bytes that do not; the same seed gives the same bytes.
std::string textBytes(size_t size, unsigned seed);
std::string randomBytes(size_t size, unsigned seed);

std::string readFile(const fs::path& file);
void writeFile(const fs::path& file, const std::string& bytes);

struct InputFile {
  std::string name;  // in the cabinet
  std::string bytes;
  TCOMP type = tcompTYPE_MSZIP;
  bool execute = false;
  uint16_t date = 0x5A8C;  // 2025-04-12
  uint16_t time = 0x6B2D;  // 13:25:26
  uint16_t attribs = _A_ARCH;
};

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

// Cabinets put together field by field: layouts our writer does not make,
// and damaged ones. Counts, offsets and checksums are filled in.
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
// Stored blocks of up to 32 KiB.
std::vector<RawBlock> storedBlocks(const std::string& bytes);

using ::korvane::test::quoted;
using ::korvane::test::runCommand;
using ::korvane::test::haveTool;

}  // namespace korvane::test::cab
