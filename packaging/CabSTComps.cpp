#include "packaging/CabSTComps.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "packaging/CabCheck.h"
#include "packaging/CabFiles.h"
#include "packaging/CabIntf.h"
#include "packaging/CabNames.h"
#include "platform/CabFormat.h"
#include "platform/Text.h"

namespace korvane {

uint32_t LastCabFileError = 0;

namespace {

constexpr uint32_t kLargestSize = 0x7FFFFFFF;
constexpr uint16_t kKeptAttributes = _A_RDONLY | _A_HIDDEN | _A_SYSTEM | _A_ARCH;
constexpr DosTime kEarliestDosTime{0x0021, 0};  // 1980-01-01 00:00, for files older than DOS can say

// Copies text into one of the library's fixed buffers; false when it does
// not fit with its terminating NUL.
template <size_t N>
bool copyName(char (&buffer)[N], const std::string& text) {
  if (text.size() >= N) return false;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

template <size_t N>
std::string nameIn(const char (&buffer)[N]) {
  return std::string(buffer, strnlen(buffer, N));
}

std::string folderPart(const std::string& path) {
  const size_t slash = path.find_last_of("\\:");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Whether path lies below folder, which ends with a backslash (or is empty: the current folder).
bool liesBelow(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && equalsIgnoreCase(std::string_view(path).substr(0, folder.size()), folder);
}

ESTCabinet fileNameTooLong() { return ESTCabinet(cabinetFileError(kErrorFilenameTooLong)); }

// The system error for a file that could not be found or changed.
uint32_t fileError(FileSystem& files, const std::string& path) {
  return files.exists(path) ? kErrorAccessDenied : kErrorFileNotFound;
}

}  // namespace

// ---------------------------------------------------------------------------
// The writer's library callbacks. pv is the writer; a handler that throws
// stops the library, and the writer raises its exception once the library
// has returned.

struct WriterCallbacks {
  static TSTCabWriter& writer(void* pv) { return *static_cast<TSTCabWriter*>(pv); }

  template <typename Result, typename Body>
  static Result guarded(void* pv, Result failure, Body body) {
    try {
      return body(writer(pv));
    } catch (...) {
      writer(pv).callbackFailure_ = std::current_exception();
      return failure;
    }
  }

  static void* DIAMONDAPI alloc(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
  static void DIAMONDAPI release(void* memory) { std::free(memory); }

  static intptr_t DIAMONDAPI open(char* file, int oflag, int, int* err, void* pv) {
    return guarded(pv, intptr_t{-1}, [&](TSTCabWriter& w) {
      uint32_t error = 0;
      intptr_t hf = CabFiles::open(w.machine_.files(), file, cabOpenMode(oflag), error);
      *err = static_cast<int>(error);
      return hf;
    });
  }

  static unsigned DIAMONDAPI read(intptr_t hf, void* memory, unsigned count, int* err, void*) {
    uint32_t error = 0;
    unsigned done = CabFiles::read(hf, memory, count, error);
    *err = static_cast<int>(error);
    return done;
  }

  static unsigned DIAMONDAPI write(intptr_t hf, void* memory, unsigned count, int* err, void*) {
    uint32_t error = 0;
    unsigned done = CabFiles::write(hf, memory, count, error);
    *err = static_cast<int>(error);
    return done;
  }

  static int DIAMONDAPI close(intptr_t hf, int* err, void*) {
    uint32_t error = 0;
    int result = CabFiles::close(hf, error);
    *err = static_cast<int>(error);
    return result;
  }

  static int32_t DIAMONDAPI seek(intptr_t hf, int32_t distance, int origin, int* err, void*) {
    uint32_t error = 0;
    int32_t position = CabFiles::seek(hf, distance, origin, error);
    *err = static_cast<int>(error);
    return position;
  }

  static int DIAMONDAPI remove(char* file, int* err, void* pv) {
    return guarded(pv, -1, [&](TSTCabWriter& w) {
      FileSystem& files = w.machine_.files();
      if (files.deleteFile(file)) return 0;
      *err = static_cast<int>(fileError(files, file));
      return -1;
    });
  }

  static int DIAMONDAPI tempFile(char* name, int size, void* pv) {
    return guarded(pv, 0, [&](TSTCabWriter& w) {
      FileSystem& files = w.machine_.files();
      const std::optional<std::string> made = files.tempFileName(files.tempPath(), "stc");
      if (!made) return 0;
      files.deleteFile(*made);  // the library creates it itself
      if (size <= 0 || made->size() >= static_cast<size_t>(size)) return 0;
      std::memcpy(name, made->c_str(), made->size() + 1);
      return 1;
    });
  }

  static intptr_t DIAMONDAPI openInfo(char* name, uint16_t* date, uint16_t* time, uint16_t* attributes, int* err,
                                      void* pv) {
    return guarded(pv, intptr_t{-1}, [&](TSTCabWriter& w) {
      FileSystem& files = w.machine_.files();
      const std::optional<FileEntry> entry = files.stat(name);
      if (!entry || entry->isDirectory()) {
        *err = static_cast<int>(entry ? kErrorAccessDenied : kErrorFileNotFound);
        return intptr_t{-1};
      }
      // Refused before the library sees it: the format records no larger
      // file, and the library's seeks count in 32 bits.
      if (entry->size > cab::kMaxFolderUncompressed) throw ESTCabinet(ERF{FCIERR_CAB_FORMAT_LIMIT, 0, 1});
      const DosTime dos = dosTimeOf(files.localFileTime(entry->writeTime)).value_or(kEarliestDosTime);
      *date = dos.date;
      *time = dos.time;
      *attributes = static_cast<uint16_t>(entry->attributes & kKeptAttributes);
      // Names beyond ASCII are stored as UTF-8 and marked so.
      if (!isAscii(w.nameBeingAdded_)) *attributes |= _A_NAME_IS_UTF;
      return open(name, _O_RDONLY | _O_BINARY, 0, err, pv);
    });
  }

  static int DIAMONDAPI filePlaced(PCCAB ccab, char* file, int32_t size, int continuation, void* pv) {
    return guarded(pv, -1, [&](TSTCabWriter& w) {
      bool abort = false;
      if (w.OnFilePlaced) w.OnFilePlaced(w, *ccab, file, size, continuation != 0, abort);
      w.abortRequested_ |= abort;
      return abort ? -1 : 0;
    });
  }

  static int DIAMONDAPI nextCabinet(PCCAB ccab, uint32_t previousSize, void* pv) {
    return guarded(pv, 0, [&](TSTCabWriter& w) {
      ccab->iDisk++;
      if (!copyName(ccab->szDisk, w.DiskLabel(ccab->iDisk)) || !copyName(ccab->szCab, w.CabinetName(ccab->iCab)) ||
          !copyName(ccab->szCabPath, w.CabinetPath(ccab->iDisk)))
        throw fileNameTooLong();
      bool abort = false;
      if (w.OnGetNextCabinet) w.OnGetNextCabinet(w, *ccab, previousSize, abort);
      w.abortRequested_ |= abort;
      if (abort) return 0;
      w.PrepareCabinetFolder(*ccab);
      w.filesInCabinet_ = w.filesInFolder_ = 0;
      return 1;
    });
  }

  static int32_t DIAMONDAPI status(unsigned kind, uint32_t first, uint32_t second, void* pv) {
    return guarded(pv, int32_t{-1}, [&](TSTCabWriter& w) -> int32_t {
      bool abort = false;
      switch (kind) {
        case statusFile:
          if (w.OnFileStatus) w.OnFileStatus(w, first, second, abort);
          if (w.progressCountdown_ < 0 && w.OnProgress && !abort) {
            w.OnProgress(w, abort);
            w.progressCountdown_ = 8;
          }
          w.progressCountdown_--;
          break;
        case statusFolder:
          if (w.OnFolderStatus) w.OnFolderStatus(w, first, second, abort);
          w.filesInFolder_ = 0;
          break;
        case statusCabinet: {
          // The library wants at least the actual size back.
          uint32_t desired = second;
          if (w.OnCabinetStatus) w.OnCabinetStatus(w, first, second, desired, abort);
          w.filesInCabinet_ = w.filesInFolder_ = 0;
          w.cabinetsCompleted_++;
          if (!abort) return static_cast<int32_t>(std::min(desired, kLargestSize));
          break;
        }
        default: break;
      }
      w.abortRequested_ |= abort;
      return abort ? -1 : 0;
    });
  }
};

// ---------------------------------------------------------------------------
// TSTCabWriter

TSTCabWriter::TSTCabWriter(Machine& machine) : machine_(machine) { SetCompressionType(cctLzx); }

TSTCabWriter::~TSTCabWriter() {
  try {
    Close(false);
  } catch (...) {
    // Nothing can be reported from here; the context is gone either way.
  }
}

void TSTCabWriter::SetCompressionType(TSTCabCompressionType type) {
  compressionType_ = type;
  switch (type) {
    case cctNone: compressionCode_ = tcompTYPE_NONE; break;
    case cctMsZip: compressionCode_ = tcompTYPE_MSZIP; break;
    case cctLzx: compressionCode_ = TCOMPfromLZXWindow(lzxLevel_); break;
    default: compressionCode_ = tcompBAD; break;
  }
}

void TSTCabWriter::SetCompressionLzxLevel(TSTCabLzxLevel level) {
  if (level < kLzxLevelLowest || level > kLzxLevelHighest) throw std::out_of_range("LZX level must be 15 to 21");
  lzxLevel_ = level;
  SetCompressionType(compressionType_);
}

std::string TSTCabWriter::CabinetName(long cabinetNumber) const {
  std::string name = CabinetNameTemplate;
  if (name.empty()) {
    name = fileNamePart(cabinetFileName_);
    const size_t dot = std::min(name.find_last_of('.'), name.size());
    name = name.substr(0, dot) + "*" + name.substr(dot);
  }
  return fillTemplate(name, cabinetNumber);
}

std::string TSTCabWriter::CabinetPath(long diskNumber) const {
  const std::string path = CabinetPathTemplate.empty() ? folderPart(cabinetFileName_) : CabinetPathTemplate;
  return withTrailingBackslash(fillTemplate(path, diskNumber));
}

std::string TSTCabWriter::DiskLabel(long diskNumber) const {
  return fillTemplate(DiskLabelTemplate.empty() ? "Disk*" : DiskLabelTemplate, diskNumber);
}

void TSTCabWriter::Open(const std::string& cabinetFileName) {
  Close(false);
  cabinetFileName_ = expandFileName(machine_.files(), cabinetFileName);
  error_ = ERF{};
  ccab_ = TCCAB{};
  ccab_.cb = CabinetSizeThreshold == 0 ? kLargestSize : CabinetSizeThreshold;
  ccab_.cbFolderThresh = FolderSizeThreshold == 0 ? kLargestSize : FolderSizeThreshold;
  ccab_.cbReserveCFHeader = ReservePerCabinetSize;
  ccab_.cbReserveCFFolder = ReservePerFolderSize;
  ccab_.cbReserveCFData = ReservePerDataSize;
  ccab_.iCab = 0;
  ccab_.iDisk = 1;
  ccab_.setID = SetID;
  if (!copyName(ccab_.szDisk, DiskLabel(1)) || !copyName(ccab_.szCab, fileNamePart(cabinetFileName_)) ||
      !copyName(ccab_.szCabPath, folderPart(cabinetFileName_)))
    throw fileNameTooLong();
  if (OnGetNextCabinet) {
    bool abort = false;
    OnGetNextCabinet(*this, ccab_, 0, abort);
    if (abort) return;
  }
  if (!copyName(ccab_.szCabPath, withTrailingBackslash(nameIn(ccab_.szCabPath)))) throw fileNameTooLong();
  cabinetsBegun_.clear();
  cabinetsCompleted_ = 0;
  PrepareCabinetFolder(ccab_);
  filesInCabinet_ = filesInFolder_ = 0;
  progressCountdown_ = 0;
  const TCabinetLibrary& library = CabinetLibrary();
  context_ = library.FCICreate(&error_, WriterCallbacks::filePlaced, WriterCallbacks::alloc, WriterCallbacks::release,
                               WriterCallbacks::open, WriterCallbacks::read, WriterCallbacks::write,
                               WriterCallbacks::close, WriterCallbacks::seek, WriterCallbacks::remove,
                               WriterCallbacks::tempFile, &ccab_, this);
  Check(context_ != nullptr);
}

// The folder of a cabinet about to be begun exists and holds no file of its name.
void TSTCabWriter::PrepareCabinetFolder(const TCCAB& ccab) {
  FileSystem& files = machine_.files();
  const std::string folder = withTrailingBackslash(nameIn(ccab.szCabPath));
  if (!folder.empty()) files.forceDirectories(folder);
  const std::string cabinet = folder + nameIn(ccab.szCab);
  if (files.exists(cabinet)) files.deleteFile(cabinet);
  cabinetsBegun_.push_back(cabinet);
}

void TSTCabWriter::RequireOpen() const {
  if (context_ == nullptr) throw ESTCabinet(cabinetFileError());
}

void TSTCabWriter::Check(bool succeeded) {
  const std::exception_ptr failure = callbackFailure_;
  const bool aborted = abortRequested_;
  callbackFailure_ = nullptr;
  abortRequested_ = false;
  if (failure) std::rethrow_exception(failure);
  if (aborted) throw ESTCabinet(ERF{FCIERR_USER_ABORT, 0, 1});
  if (!succeeded) throw ESTCabinet(error_);
}

void TSTCabWriter::AddFile(const std::string& sourceFileName, const std::string& nameInCabinet, bool execute) {
  RequireOpen();
  if (CabinetFileCountThreshold != 0 && filesInCabinet_ >= CabinetFileCountThreshold) {
    FlushCabinet();
  } else if (FolderFileCountThreshold != 0 && filesInFolder_ >= FolderFileCountThreshold) {
    FlushFolder();
  }
  std::string source = sourceFileName;
  nameBeingAdded_ = !nameInCabinet.empty() && nameInCabinet.front() == '\\' ? nameInCabinet.substr(1) : nameInCabinet;
  std::string name = nameBeingAdded_;
  Check(CabinetLibrary().FCIAddFile(context_, source.data(), name.data(), execute ? 1 : 0,
                                    WriterCallbacks::nextCabinet, WriterCallbacks::status, WriterCallbacks::openInfo,
                                    compressionCode_) != 0);
  filesInCabinet_++;
  filesInFolder_++;
}

void TSTCabWriter::AddFiles(const std::string& sourceMask, const std::string& cabinetFolder, bool recurse) {
  const size_t slash = sourceMask.find_last_of('\\');
  std::string folder = slash == std::string::npos ? std::string() : sourceMask.substr(0, slash);
  if (!folder.empty() && folder.back() == ':') folder += '\\';  // the drive's root, not its current folder
  const std::string pattern = slash == std::string::npos ? sourceMask : sourceMask.substr(slash + 1);
  AddFilesIn(folder, cabinetFolder, pattern, recurse);
}

// A folder's files come before its subfolders.
void TSTCabWriter::AddFilesIn(const std::string& folder, const std::string& cabinetFolder,
                              const std::string& pattern, bool recurse) {
  FileSystem& files = machine_.files();
  if (!folder.empty() && !files.isDirectory(folder)) throw ESystemError(kErrorPathNotFound);
  for (const FileEntry& entry : files.find(catPath(folder, pattern)))
    if (!entry.isDirectory()) AddFile(catPath(folder, entry.name), catPath(cabinetFolder, entry.name), false);
  if (!recurse) return;
  for (const FileEntry& entry : files.find(catPath(folder, "*")))
    if (entry.isFolderToWalk())
      AddFilesIn(catPath(folder, entry.name), catPath(cabinetFolder, entry.name), pattern, recurse);
}

void TSTCabWriter::FlushFolder() {
  RequireOpen();
  Check(CabinetLibrary().FCIFlushFolder(context_, WriterCallbacks::nextCabinet, WriterCallbacks::status) != 0);
  filesInFolder_ = 0;
}

void TSTCabWriter::FlushCabinet() {
  RequireOpen();
  Check(CabinetLibrary().FCIFlushCabinet(context_, 1, WriterCallbacks::nextCabinet, WriterCallbacks::status) != 0);
  filesInCabinet_ = filesInFolder_ = 0;
}

void TSTCabWriter::Close(bool flush) {
  if (context_ == nullptr) {
    // Asked for a cabinet that was never begun (Open failed or was aborted).
    if (flush) throw ESTCabinet(cabinetFileError());
    return;
  }
  const TCabinetLibrary& library = CabinetLibrary();
  if (flush) {
    const bool flushed = library.FCIFlushCabinet(context_, 0, WriterCallbacks::nextCabinet, WriterCallbacks::status) != 0;
    if (!flushed || callbackFailure_ || abortRequested_) RemoveUnfinishedCabinets();
    Check(flushed);
  }
  const bool destroyed = library.FCIDestroy(context_) != 0;
  context_ = nullptr;
  Check(destroyed);
  if (flush) CheckCabinetsWritten();
}

// A cabinet the library began and did not complete is no result to find.
void TSTCabWriter::RemoveUnfinishedCabinets() {
  FileSystem& files = machine_.files();
  for (size_t k = cabinetsCompleted_; k < cabinetsBegun_.size(); ++k)
    if (files.exists(cabinetsBegun_[k])) files.deleteFile(cabinetsBegun_[k]);
}

// Those who wait for the cabinet rely on its being there once Close returns.
void TSTCabWriter::CheckCabinetsWritten() {
  FileSystem& files = machine_.files();
  const size_t expected = std::max<size_t>(cabinetsCompleted_, 1);
  for (size_t k = 0; k < expected && k < cabinetsBegun_.size(); ++k)
    if (!files.exists(cabinetsBegun_[k])) throw ESTCabinet(cabinetFileError(kErrorFileNotFound));
}

// ---------------------------------------------------------------------------
// The reader's library callbacks. The file callbacks carry no context: they
// work on the file system of the reader that is extracting.

namespace {

thread_local TSTCabReader* activeReader = nullptr;

class ActiveReader {
 public:
  explicit ActiveReader(TSTCabReader* reader) : previous_(activeReader) { activeReader = reader; }
  ~ActiveReader() { activeReader = previous_; }
  ActiveReader(const ActiveReader&) = delete;
  ActiveReader& operator=(const ActiveReader&) = delete;

 private:
  TSTCabReader* previous_;
};

template <typename Result>
Result noting(uint32_t error, Result result) {
  if (error != 0) LastCabFileError = error;
  return result;
}

}  // namespace

struct ReaderCallbacks {
  static void* DIAMONDAPI alloc(uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
  static void DIAMONDAPI release(void* memory) { std::free(memory); }

  static intptr_t DIAMONDAPI open(char* file, int oflag, int) {
    if (activeReader == nullptr) return noting(kErrorInvalidHandle, intptr_t{-1});
    try {
      uint32_t error = 0;
      FileSystem& files = activeReader->machine_.files();
      const intptr_t hf = CabFiles::open(files, file, cabOpenMode(oflag), error);
      return noting(error, hf);
    } catch (...) {
      activeReader->callbackFailure_ = std::current_exception();
      return -1;
    }
  }

  static unsigned DIAMONDAPI read(intptr_t hf, void* memory, unsigned count) {
    uint32_t error = 0;
    unsigned done = CabFiles::read(hf, memory, count, error);
    return noting(error, done);
  }

  static unsigned DIAMONDAPI write(intptr_t hf, void* memory, unsigned count) {
    uint32_t error = 0;
    unsigned done = CabFiles::write(hf, memory, count, error);
    return noting(error, done);
  }

  static int DIAMONDAPI close(intptr_t hf) {
    uint32_t error = 0;
    int result = CabFiles::close(hf, error);
    return noting(error, result);
  }

  static int32_t DIAMONDAPI seek(intptr_t hf, int32_t distance, int origin) {
    uint32_t error = 0;
    int32_t position = CabFiles::seek(hf, distance, origin, error);
    return noting(error, position);
  }

  static intptr_t DIAMONDAPI notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION note) {
    TSTCabReader& reader = *static_cast<TSTCabReader*>(note->pv);
    if (reader.stopping_) return -1;
    try {
      const intptr_t result = reader.Notify(type, *note);
      reader.stopping_ = result == -1;
      return result;
    } catch (...) {
      reader.callbackFailure_ = std::current_exception();
      reader.stopping_ = true;
      return -1;
    }
  }
};

// ---------------------------------------------------------------------------
// TSTCabReader

TSTCabReader::TSTCabReader(Machine& machine) : machine_(machine) {}

TSTCabReader::~TSTCabReader() {
  if (context_ != nullptr) CabinetLibrary().FDIDestroy(context_);
}

void TSTCabReader::ExtractFiles(const std::string& cabinetFileName, const std::string& targetFolder) {
  ActiveReader active(this);
  FileSystem& files = machine_.files();
  targetFolder_ = withTrailingBackslash(targetFolder);
  error_ = ERF{};
  callbackFailure_ = nullptr;
  open_.clear();
  folders_.clear();
  extracted_.clear();
  refused_.clear();
  failed_.clear();
  std::vector<std::string> visited;
  std::string current = expandFileName(files, cabinetFileName);
  while (!current.empty()) {
    // A set whose headers lead back to a cabinet already read would never end.
    for (const std::string& seen : visited)
      if (equalsIgnoreCase(seen, current)) return;
    visited.push_back(current);
    nextCabinetPath_.clear();
    continuationPath_.clear();
    continued_ = false;
    const bool copied = CopyOneCabinet(current);
    if (callbackFailure_) std::rethrow_exception(callbackFailure_);
    if (!copied) return;
    current = continued_ ? continuationPath_ : nextCabinetPath_;
    if (!current.empty() && !files.exists(current)) current.clear();
  }
}

bool TSTCabReader::CopyOneCabinet(const std::string& cabinet) {
  const TCabinetLibrary& library = CabinetLibrary();
  LastCabFileError = 0;
  if (context_ == nullptr) {
    context_ = library.FDICreate(ReaderCallbacks::alloc, ReaderCallbacks::release, ReaderCallbacks::open,
                                 ReaderCallbacks::read, ReaderCallbacks::write, ReaderCallbacks::close,
                                 ReaderCallbacks::seek, cpuUNKNOWN, &error_);
    if (context_ == nullptr) return false;
  }
  if (const FDIERROR damage = checkCabinetFile(machine_.files(), cabinet); damage != FDIERROR_NONE) {
    error_ = ERF{damage, 0, 1};
    return false;
  }
  std::string name = fileNamePart(cabinet);
  std::string folder = folderPart(cabinet);
  stopping_ = false;
  damage_ = FDIERROR_NONE;
  const bool copied =
      library.FDICopy(context_, name.data(), folder.data(), 0, ReaderCallbacks::notify, nullptr, this) != 0;
  DropUnfinishedTargets();
  if (!copied) error_.erfType = static_cast<int>(LastCabFileError);
  // Our own findings, and a stop the library did not pass on, are failures too.
  if (damage_ != FDIERROR_NONE) error_ = ERF{damage_, 0, 1};
  if (copied && stopping_ && damage_ == FDIERROR_NONE) error_ = ERF{FDIERROR_USER_ABORT, 0, 1};
  return copied && !stopping_ && damage_ == FDIERROR_NONE;
}

// Files the library opened and never completed hold part of their bytes at
// best: they are not left behind as if extracted.
void TSTCabReader::DropUnfinishedTargets() {
  for (const OpenTarget& open : open_) {
    CabFiles::discard(open.handle);
    machine_.files().deleteFile(open.target);
    failed_.push_back(open.target);
  }
  open_.clear();
}

std::string TSTCabReader::PathNameOf(const char* bytes) { return NameOf(bytes, 0); }

// Names in a cabinet are UTF-8 when marked so, else in the system's code page.
std::string TSTCabReader::NameOf(const char* bytes, uint16_t attributes) {
  const std::string name = bytes == nullptr ? std::string() : std::string(bytes);
  if ((attributes & _A_NAME_IS_UTF) != 0 || isAscii(name)) return name;
  CodePages& codePages = machine_.codePages();
  return codePages.toUtf8(name, codePages.ansiCodePage()).value_or(name);
}

intptr_t TSTCabReader::Notify(FDINOTIFICATIONTYPE type, FDINOTIFICATION& note) {
  LastCabFileError = 0;
  switch (type) {
    case fdintCABINET_INFO: return CabinetOpened(note);
    case fdintPARTIAL_FILE: return PartialFile(note);
    case fdintCOPY_FILE: return CopyFile(note);
    case fdintCLOSE_FILE_INFO: return CloseFile(note);
    case fdintNEXT_CABINET: return NextCabinet(note);
    default: break;
  }
  intptr_t result = 0;
  if (OnUnrecognizedNotify) OnUnrecognizedNotify(*this, type, note, result);
  return result;
}

intptr_t TSTCabReader::CabinetOpened(const FDINOTIFICATION& note) {
  const std::string next = PathNameOf(note.psz1), disk = PathNameOf(note.psz2);
  const std::string folder = note.psz3 == nullptr ? std::string() : note.psz3;  // the folder we gave, as we gave it
  nextCabinetPath_ = next.empty() ? std::string() : catPath(folder, next);
  bool abort = false;
  if (OnCabinetInfo) OnCabinetInfo(*this, next, disk, folder, note.setID, note.iCabinet, abort);
  return abort ? -1 : 0;
}

intptr_t TSTCabReader::PartialFile(const FDINOTIFICATION& note) {
  const std::string name = PathNameOf(note.psz1);
  std::string target;
  for (const OpenTarget& open : open_)
    if (open.name == name) target = open.target;
  bool abort = false;
  if (OnCopyPartialFile) OnCopyPartialFile(*this, name, PathNameOf(note.psz2), PathNameOf(note.psz3), target, abort);
  return abort ? -1 : 0;
}

intptr_t TSTCabReader::CopyFile(const FDINOTIFICATION& note) {
  const std::string name = NameOf(note.psz1, note.attribs);
  const std::string proposed = catPath(targetFolder_, name);
  std::string target = proposed;
  bool abort = false;
  if (OnCopyFile)
    OnCopyFile(*this, name, note.cb, note.date, note.time, note.attribs, note.iFolder, target, abort);
  if (abort) return -1;
  if (target.empty()) return 0;
  // A handler may send a file anywhere; the cabinet alone may not.
  if (target == proposed && !entryNameStaysInside(name)) {
    refused_.push_back(name);
    return 0;
  }
  if (!ReplaceLinksOnTheWay(target)) {
    refused_.push_back(name);
    return 0;
  }
  FileSystem& files = machine_.files();
  FolderListing& listing = TargetFolder(parentPath(target));
  const std::string key = upperCase(fileNamePart(target));
  if (const auto existing = listing.find(key); existing != listing.end()) {
    const bool readOnly = (existing->second & faReadOnly) != 0;
    if (readOnly && (Options & croDontOverwriteReadOnlyFiles) != 0) return 0;
    // Hidden and system files cannot be replaced while they are marked so either.
    if ((existing->second & (faReadOnly | faHidden | faSystem)) != 0) files.setAttributes(target, faNormal);
  }
  listing[key] = faArchive;
  uint32_t error = 0;
  const intptr_t hf = CabFiles::create(files, target, error);
  if (hf == -1) {
    LastCabFileError = error;
    return -1;
  }
  open_.push_back(OpenTarget{name, target, hf, static_cast<uint32_t>(note.cb)});
  return hf;
}

// A link already in the target folder, to a file or a folder, would carry the
// cabinet's bytes wherever it leads: each one on the target's way, the target
// included, is taken away (the link alone) before anything is written.
// False when one could not be.
bool TSTCabReader::ReplaceLinksOnTheWay(const std::string& path) {
  if (!liesBelow(path, targetFolder_)) return true;
  const std::string parent = parentPath(path);
  if (!ReplaceLinksOnTheWay(parent)) return false;
  FolderListing& listing = TargetFolder(parent);
  const auto entry = listing.find(upperCase(fileNamePart(path)));
  if (entry == listing.end() || (entry->second & faReparsePoint) == 0) return true;
  FileSystem& files = machine_.files();
  const bool removed = (entry->second & faDirectory) != 0 ? files.removeDirectory(path) : files.deleteFile(path);
  if (removed) listing.erase(entry);
  return removed;
}

// A target folder, made when missing, and what it held, read once an
// extraction: looking up every name that is not there yet costs much more.
TSTCabReader::FolderListing& TSTCabReader::TargetFolder(const std::string& folder) {
  const std::string key = upperCase(folder);
  if (const auto known = folders_.find(key); known != folders_.end()) return known->second;
  FolderListing& listing = folders_[key];
  FileSystem& files = machine_.files();
  if (!folder.empty() && !files.isDirectory(folder)) {
    files.forceDirectories(folder);
    return listing;
  }
  for (const FileEntry& entry : files.find(catPath(folder, "*"))) {
    listing[upperCase(entry.name)] = entry.attributes;
    if (!entry.shortName.empty()) listing[upperCase(entry.shortName)] = entry.attributes;
  }
  return listing;
}

intptr_t TSTCabReader::CloseFile(const FDINOTIFICATION& note) {
  FileSystem& files = machine_.files();
  const auto open = std::find_if(open_.begin(), open_.end(), [&](const OpenTarget& t) { return t.handle == note.hf; });
  // A file whose size is not the cabinet's holds wrong bytes, whatever the library says.
  if (open != open_.end() && CabFiles::size(note.hf) != uint64_t{open->size}) {
    damage_ = FDIERROR_CORRUPT_CABINET;
    return -1;  // left in open_: dropped as unfinished
  }
  // Dated through the handle: a second lookup of the path costs more than the
  // rest of a small file's extraction.
  const std::optional<int64_t> local = fileTimeOf(DosTime{note.date, note.time});
  if (open != open_.end() && local) CabFiles::setFileTimes(note.hf, files.utcFileTime(*local));
  uint32_t error = 0;
  const bool closed = CabFiles::close(note.hf, error) == 0;
  if (!closed) LastCabFileError = error;
  std::string target;
  if (open != open_.end()) {
    target = open->target;
    open_.erase(open);
    if (!closed) {
      files.deleteFile(target);
      failed_.push_back(target);
      return -1;
    }
    const uint16_t attributes = note.attribs & kKeptAttributes;
    // A file just made is marked for archiving and nothing else already.
    if (attributes != faArchive) files.setAttributes(target, attributes == 0 ? uint32_t{faNormal} : attributes);
    extracted_.push_back(target);
  }
  bool exec = note.cb == 1;
  bool abort = false;
  if (OnCloseFile)
    OnCloseFile(*this, NameOf(note.psz1, note.attribs), note.date, note.time, note.attribs, note.iFolder, exec,
                target, abort);
  if (abort) return -1;
  if (exec && (Options & croExecuteOnExtract) != 0 && !target.empty()) machine_.shell().open(target);
  return 1;
}

intptr_t TSTCabReader::NextCabinet(FDINOTIFICATION& note) {
  const std::string name = PathNameOf(note.psz1), disk = PathNameOf(note.psz2);
  std::string path = note.psz3 == nullptr ? std::string() : note.psz3;
  intptr_t result = note.fdie != FDIERROR_NONE ? -1 : 0;
  if (OnNextCabinet) {
    bool abort = false;
    OnNextCabinet(*this, name, disk, path, note.fdie, abort);
    path = withTrailingBackslash(path);
    result = abort || note.psz3 == nullptr || path.size() >= CB_MAX_CAB_PATH ? -1 : 0;
    if (result == 0) std::memcpy(note.psz3, path.c_str(), path.size() + 1);
  }
  continuationPath_ = catPath(path, name);
  continued_ = true;
  if (result == 0 && (damage_ = checkCabinetFile(machine_.files(), continuationPath_)) != FDIERROR_NONE) return -1;
  return result;
}

}  // namespace korvane
