// The cabinet writer and reader: the cabinet library's compression and
// decompression interfaces behind properties and events. Every file they
// touch goes through the machine's file system.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "packaging/CabFiles.h"
#include "packaging/CabSTConsts.h"
#include "platform/Machine.h"

namespace korvane {

// The last system error code the reader's file callbacks met; reset at the
// start of each of the reader's notifications.
extern uint32_t LastCabFileError;

class TSTCabWriter {
 public:
  using TSTCabWriterFilePlacedEvent = std::function<void(TSTCabWriter& Sender, const TCCAB& aCCab,
                                                         const std::string& aFileName, int aFileSize,
                                                         bool aContinuation, bool& anAbort)>;
  using TSTCabWriterGetNextCabinetEvent =
      std::function<void(TSTCabWriter& Sender, TCCAB& aCCab, uint32_t aPrevCabSize, bool& anAbort)>;
  using TSTCabWriterFileStatusEvent = std::function<void(TSTCabWriter& Sender, uint32_t aCompressedBlockSize,
                                                         uint32_t anUncompressedBlockSize, bool& anAbort)>;
  using TSTCabWriterFolderStatusEvent =
      std::function<void(TSTCabWriter& Sender, uint32_t aCopiedSize, uint32_t aTotalSize, bool& anAbort)>;
  using TSTCabWriterCabinetStatusEvent =
      std::function<void(TSTCabWriter& Sender, uint32_t aPrevEstimatedSize, uint32_t anActualSize,
                         uint32_t& aDesiredSize, bool& anAbort)>;
  using TSTCabWriterProgressEvent = std::function<void(TSTCabWriter& Sender, bool& anAbort)>;

  explicit TSTCabWriter(Machine& machine);
  ~TSTCabWriter();  // Close without flushing
  TSTCabWriter(const TSTCabWriter&) = delete;
  TSTCabWriter& operator=(const TSTCabWriter&) = delete;

  uint32_t CabinetSizeThreshold = 0;       // 0: 2147483647
  uint32_t CabinetFileCountThreshold = 0;  // 0: no limit
  uint32_t FolderSizeThreshold = 0;        // 0: 2147483647
  uint32_t FolderFileCountThreshold = 0;   // 0: no limit
  uint32_t ReservePerCabinetSize = 0;
  uint32_t ReservePerFolderSize = 0;
  uint32_t ReservePerDataSize = 0;
  uint16_t SetID = 0;
  std::string CabinetNameTemplate;  // "*": the cabinet number
  std::string CabinetPathTemplate;  // "*": the disk number
  std::string DiskLabelTemplate;    // "*": the disk number

  TSTCabCompressionType CompressionType() const { return compressionType_; }
  void SetCompressionType(TSTCabCompressionType type);
  TSTCabLzxLevel CompressionLzxLevel() const { return lzxLevel_; }
  // Throws std::out_of_range outside 15 to 21.
  void SetCompressionLzxLevel(TSTCabLzxLevel level);
  // The code the library is given for each file.
  TCOMP CompressionCode() const { return compressionCode_; }

  TSTCabWriterFilePlacedEvent OnFilePlaced;
  TSTCabWriterGetNextCabinetEvent OnGetNextCabinet;
  TSTCabWriterFileStatusEvent OnFileStatus;
  TSTCabWriterFolderStatusEvent OnFolderStatus;
  TSTCabWriterCabinetStatusEvent OnCabinetStatus;
  TSTCabWriterProgressEvent OnProgress;

  // Begins a cabinet set whose first cabinet is that file.
  void Open(const std::string& cabinetFileName);
  void AddFile(const std::string& sourceFileName, const std::string& nameInCabinet, bool execute);
  // Every file matching the mask (a folder and a wildcard name), named by
  // cabinetFolder joined with its path below the mask's folder.
  void AddFiles(const std::string& sourceMask, const std::string& cabinetFolder, bool recurse);
  void FlushFolder();
  void FlushCabinet();
  // With flush, finishes the last cabinet and raises ESTCabinet unless every
  // cabinet the library completed, and the first one, is on disk.
  void Close(bool flush);

  bool IsOpen() const { return context_ != nullptr; }
  // Names of the set's cabinets by the templates.
  std::string CabinetName(long cabinetNumber) const;
  std::string CabinetPath(long diskNumber) const;
  std::string DiskLabel(long diskNumber) const;

 private:
  friend struct WriterCallbacks;

  void RequireOpen() const;
  // Raises what went wrong in a library call: a handler's exception, a
  // handler's abort (also when the library went on regardless), or the
  // library's own failure.
  void Check(bool succeeded);
  void PrepareCabinetFolder(const TCCAB& ccab);
  void AddFilesIn(const std::string& folder, const std::string& cabinetFolder, const std::string& pattern,
                  bool recurse);
  void RemoveUnfinishedCabinets();
  void CheckCabinetsWritten();

  Machine& machine_;
  TSTCabCompressionType compressionType_ = cctLzx;
  TSTCabLzxLevel lzxLevel_ = kLzxLevelHighest;
  TCOMP compressionCode_ = 0;
  std::string cabinetFileName_;  // the first cabinet, expanded
  ERF error_{};
  TCCAB ccab_{};
  void* context_ = nullptr;
  uint32_t filesInCabinet_ = 0, filesInFolder_ = 0;
  int progressCountdown_ = 0;
  bool abortRequested_ = false;  // a handler asked to stop during the current call
  std::string nameBeingAdded_;
  std::exception_ptr callbackFailure_;  // raised in a callback, rethrown once the library returns
  std::vector<std::string> cabinetsBegun_;
  size_t cabinetsCompleted_ = 0;
};

class TSTCabReader {
 public:
  using TSTCabReaderCabinetInfoEvent =
      std::function<void(TSTCabReader& Sender, const std::string& aNextCabName, const std::string& aNextDiskName,
                         const std::string& aCabPath, uint16_t aSetID, uint16_t aCabNo, bool& anAbort)>;
  using TSTCabReaderCopyFileEvent = std::function<void(
      TSTCabReader& Sender, const std::string& aSrcFileName, int anUncompressedSize, uint16_t aDate, uint16_t aTime,
      uint16_t anAttrs, uint16_t aFolderNo, std::string& aDstFullFileName, bool& anAbort)>;
  using TSTCabReaderCopyPartialFileEvent =
      std::function<void(TSTCabReader& Sender, const std::string& aSrcFileName, const std::string& aStartCabName,
                         const std::string& aStartDiskName, const std::string& aDstFullFileName, bool& anAbort)>;
  using TSTCabReaderCloseFileEvent = std::function<void(
      TSTCabReader& Sender, const std::string& aSrcFileName, uint16_t aDate, uint16_t aTime, uint16_t anAttrs,
      uint16_t aFolderNo, bool& anExec, const std::string& aDstFullFileName, bool& anAbort)>;
  using TSTCabReaderNextCabinetEvent =
      std::function<void(TSTCabReader& Sender, const std::string& aCabName, const std::string& aDiskName,
                         std::string& aCabPath, TFDIERROR anError, bool& anAbort)>;
  using TSTCabReaderUnrecognizedNotifyEvent = std::function<void(
      TSTCabReader& Sender, TFDINOTIFICATIONTYPE aNotifyType, TFDINOTIFICATION& aNotify, intptr_t& aResult)>;

  explicit TSTCabReader(Machine& machine);
  ~TSTCabReader();
  TSTCabReader(const TSTCabReader&) = delete;
  TSTCabReader& operator=(const TSTCabReader&) = delete;

  TSTCabReaderOptions Options = 0;
  TSTCabReaderCabinetInfoEvent OnCabinetInfo;
  TSTCabReaderCopyFileEvent OnCopyFile;
  TSTCabReaderCopyPartialFileEvent OnCopyPartialFile;
  TSTCabReaderCloseFileEvent OnCloseFile;
  TSTCabReaderNextCabinetEvent OnNextCabinet;
  TSTCabReaderUnrecognizedNotifyEvent OnUnrecognizedNotify;

  // Extracts every file of the cabinet and of the cabinets that continue it.
  // Raises nothing when the library fails (only a missing library raises);
  // the results below tell what happened.
  void ExtractFiles(const std::string& cabinetFileName, const std::string& targetFolder);

  // The library's error record of the last extraction, with the system
  // error of the file callbacks; fError is 0 when every call succeeded.
  const ERF& LastError() const { return error_; }
  // Targets written whole, in order.
  const std::vector<std::string>& ExtractedFiles() const { return extracted_; }
  // Names in the cabinet left out because they would land outside the
  // target folder.
  const std::vector<std::string>& RefusedNames() const { return refused_; }
  // Targets begun and not finished; they were deleted.
  const std::vector<std::string>& FailedFiles() const { return failed_; }

 private:
  friend struct ReaderCallbacks;

  struct OpenTarget {
    std::string name, target;
    intptr_t handle;
    uint32_t size;  // as the cabinet gives it
  };

  intptr_t Notify(FDINOTIFICATIONTYPE type, FDINOTIFICATION& note);
  intptr_t CabinetOpened(const FDINOTIFICATION& note);
  intptr_t PartialFile(const FDINOTIFICATION& note);
  intptr_t CopyFile(const FDINOTIFICATION& note);
  intptr_t CloseFile(const FDINOTIFICATION& note);
  // Attributes by upper-cased name.
  using FolderListing = std::map<std::string, uint32_t>;
  FolderListing& TargetFolder(const std::string& folder);
  bool ReplaceLinksOnTheWay(const std::string& path);
  intptr_t NextCabinet(FDINOTIFICATION& note);
  bool CopyOneCabinet(const std::string& cabinet);
  void DropUnfinishedTargets();
  std::string NameOf(const char* bytes, uint16_t attributes);
  std::string PathNameOf(const char* bytes);

  Machine& machine_;
  void* context_ = nullptr;
  ERF error_{};
  std::exception_ptr callbackFailure_;
  std::string targetFolder_;  // with a trailing backslash
  // Where the set goes on: named by the cabinet's header, and where the
  // library last asked for the next cabinet.
  std::string nextCabinetPath_, continuationPath_;
  bool continued_ = false;
  // Once a notification stopped the library, every later one does too, so
  // that a library that goes on regardless writes nothing more.
  bool stopping_ = false;
  FDIERROR damage_ = FDIERROR_NONE;  // found by our own checks during a copy
  std::vector<OpenTarget> open_;
  std::map<std::string, FolderListing> folders_;  // by upper-cased folder, for this extraction
  std::vector<std::string> extracted_, refused_, failed_;
};

}  // namespace korvane
