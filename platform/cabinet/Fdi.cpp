// The cabinet reader. FDICopy extracts the files of one cabinet, folder by
// folder, each folder's files in the order of their data. When the last
// folder goes on in the next cabinet of the set, the reader asks for that
// cabinet and also extracts the files it holds of the same folder; the
// reader of that cabinet later reports them as partial files, since their
// data can only be decoded from where the folder began.
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <new>

#include "platform/CabinetInterface.h"
#include "platform/cabinet/FdiIo.h"
#include "platform/cabinet/FolderReader.h"

namespace korvane::cab {

namespace {

// A callback that keeps answering "try again" must not hold us forever.
constexpr int kNextCabinetAttempts = 16;

struct FdiContext {
  FdiIo io;
  PERF perf;
};

// A string the callbacks may read through a char*.
class NameBuffer {
 public:
  explicit NameBuffer(const std::string& text, size_t size = 0) : text_(std::max(size, text.size() + 1), '\0') {
    std::memcpy(text_.data(), text.data(), std::min(text.size(), text_.size() - 1));
  }
  char* get() { return text_.data(); }
  std::string value() const { return std::string(text_.data(), strnlen(text_.data(), text_.size() - 1)); }

 private:
  std::vector<char> text_;
};

class CopyOperation {
 public:
  CopyOperation(FdiIo& io, PFNFDINOTIFY notifyCallback, PFNFDIDECRYPT decryptCallback, void* user)
      : io_(io), notify_(notifyCallback), decrypt_(decryptCallback), user_(user) {}

  void run(const std::string& folder, const std::string& name) {
    chain_.push_back(std::make_unique<CabinetFile>(io_, folder, name));
    CabinetFile& cab = *chain_.front();
    announceCabinet(cab);
    size_t firstFolder = cab.continuesFolder() ? 1 : 0;
    if (firstFolder == 1) reportPartialFiles(cab);
    for (size_t folderIndex = firstFolder; folderIndex < cab.folders().size(); ++folderIndex)
      extractFolder(cab, folderIndex);
  }

 private:
  struct QueuedFile {
    FileEntry entry;
    const CabinetFile* cab;
  };

  intptr_t notify(FDINOTIFICATIONTYPE type, FDINOTIFICATION& note) {
    note.pv = user_;
    return notify_(type, &note);
  }

  void announceCabinet(CabinetFile& cab) {
    const Header& header = cab.header();
    if (decrypt_ != nullptr) {
      FDIDECRYPT request{};
      request.fdidt = fdidtNEW_CABINET;
      request.cabinet.pHeaderReserve = const_cast<uint8_t*>(cab.headerReserve().data());
      request.cabinet.cbHeaderReserve = header.cbHeaderReserve;
      request.cabinet.setID = header.setID;
      request.cabinet.iCabinet = header.iCabinet;
      decrypt(request);
    }
    NameBuffer next(header.nextCabinet), disk(header.nextDisk), path(cab.folder());
    FDINOTIFICATION note{};
    note.psz1 = next.get();
    note.psz2 = disk.get();
    note.psz3 = path.get();
    note.setID = header.setID;
    note.iCabinet = header.iCabinet;
    if (notify(fdintCABINET_INFO, note) == -1) failFdi(FDIERROR_USER_ABORT);
  }

  void decrypt(FDIDECRYPT& request) {
    request.pvUser = user_;
    if (decrypt_(&request) == -1) failFdi(FDIERROR_USER_ABORT);
  }

  // Files of folder 0 belong to a folder that began in an earlier cabinet;
  // they were extracted with that cabinet.
  void reportPartialFiles(const CabinetFile& cab) {
    const Header& header = cab.header();
    for (const FileEntry& file : cab.files()) {
      if (cab.folderOf(file) != 0) continue;
      NameBuffer name(file.name), first(header.prevCabinet), disk(header.prevDisk);
      FDINOTIFICATION note{};
      note.psz1 = name.get();
      note.psz2 = first.get();
      note.psz3 = disk.get();
      if (notify(fdintPARTIAL_FILE, note) == -1) failFdi(FDIERROR_USER_ABORT);
    }
  }

  void extractFolder(CabinetFile& cab, size_t folderIndex) {
    TCOMP type = cab.folders()[folderIndex].typeCompress;
    std::unique_ptr<BlockDecoder> decoder = makeBlockDecoder(type);
    if (!decoder) failFdi(FDIERROR_BAD_COMPR_TYPE);
    folderIndex_ = folderIndex;
    FolderReader::Decrypt decryptHook;
    if (decrypt_ != nullptr) decryptHook = [this](FDIDECRYPT& request) { decrypt(request); };
    FolderReader reader(io_, std::move(decoder), decryptHook, [&] { return continueFolder(reader, type); });
    reader.addSegment(cab, folderIndex);
    queueFiles(cab, folderIndex);
    for (;;) {
      while (!queue_.empty()) {
        QueuedFile file = queue_.front();
        queue_.pop_front();
        extractFile(reader, file);
      }
      if (!continueFolder(reader, type)) break;
    }
  }

  void queueFiles(const CabinetFile& cab, size_t folderIndex) {
    std::vector<QueuedFile> files;
    for (const FileEntry& file : cab.files())
      if (!file.continuedFromPrev() && cab.folderOf(file) == folderIndex) files.push_back({file, &cab});
    std::stable_sort(files.begin(), files.end(), [](const QueuedFile& a, const QueuedFile& b) {
      return a.entry.uoffFolderStart < b.entry.uoffFolderStart;
    });
    queue_.insert(queue_.end(), files.begin(), files.end());
  }

  // The folder being read lies last in the last cabinet opened and goes on:
  // open the next cabinet and take its part of the folder.
  bool continueFolder(FolderReader& reader, TCOMP type) {
    const CabinetFile& last = *chain_.back();
    size_t folderThere = chain_.size() == 1 ? folderIndex_ : 0;
    if (folderThere + 1 != last.folders().size() || !last.folderGoesOn()) return false;
    chain_.push_back(openNextCabinet(last));
    CabinetFile& next = *chain_.back();
    if (next.folders().front().typeCompress != type) failFdi(FDIERROR_CORRUPT_CABINET);
    reader.addSegment(next, 0);
    queueFiles(next, 0);
    return true;
  }

  std::unique_ptr<CabinetFile> openNextCabinet(const CabinetFile& previous) {
    const Header& header = previous.header();
    NameBuffer name(header.nextCabinet), disk(header.nextDisk), path(previous.folder(), CB_MAX_CAB_PATH);
    FDIERROR why = FDIERROR_NONE;
    for (int attempt = 0; attempt < kNextCabinetAttempts; ++attempt) {
      FDINOTIFICATION note{};
      note.psz1 = name.get();
      note.psz2 = disk.get();
      note.psz3 = path.get();
      note.fdie = why;
      if (notify(fdintNEXT_CABINET, note) == -1) failFdi(FDIERROR_USER_ABORT);
      try {
        auto next = std::make_unique<CabinetFile>(io_, path.value(), header.nextCabinet);
        why = continuationProblem(previous, *next);
        if (why == FDIERROR_NONE) {
          announceCabinet(*next);
          return next;
        }
      } catch (const FdiFailure& failure) {
        why = failure.code;
      }
    }
    failFdi(why);
  }

  static FDIERROR continuationProblem(const CabinetFile& previous, const CabinetFile& next) {
    const Header& a = previous.header();
    const Header& b = next.header();
    if (!b.hasPrev() || b.setID != a.setID || b.iCabinet != a.iCabinet + 1 || b.cFolders == 0)
      return FDIERROR_WRONG_CABINET;
    if (b.cbFolderReserve != a.cbFolderReserve || b.cbDataReserve != a.cbDataReserve)
      return FDIERROR_RESERVE_MISMATCH;
    return FDIERROR_NONE;
  }

  void extractFile(FolderReader& reader, const QueuedFile& file) {
    const FileEntry& entry = file.entry;
    NameBuffer name(entry.name);
    FDINOTIFICATION note{};
    note.psz1 = name.get();
    note.cb = static_cast<int32_t>(entry.cbFile);
    note.date = entry.date;
    note.time = entry.time;
    note.attribs = entry.attribs;
    note.iFolder = entry.iFolder;
    note.setID = file.cab->header().setID;
    note.iCabinet = file.cab->header().iCabinet;
    intptr_t hf = notify(fdintCOPY_FILE, note);
    if (hf == -1) failFdi(FDIERROR_USER_ABORT);
    if (hf == 0) return;
    try {
      reader.copy(entry.uoffFolderStart, entry.cbFile, [&](ByteView data) { io_.write(hf, data); });
    } catch (...) {
      io_.close(hf);  // never reported as complete
      throw;
    }
    note.hf = hf;
    note.cb = (entry.attribs & _A_EXEC) != 0 ? 1 : 0;
    note.attribs = static_cast<uint16_t>(entry.attribs & ~_A_EXEC);
    intptr_t result = notify(fdintCLOSE_FILE_INFO, note);
    if (result == 0 || result == -1) failFdi(FDIERROR_USER_ABORT);
  }

  FdiIo& io_;
  PFNFDINOTIFY notify_;
  PFNFDIDECRYPT decrypt_;
  void* user_;
  std::vector<std::unique_ptr<CabinetFile>> chain_;  // the cabinet given, then those that continue it
  size_t folderIndex_ = 0;  // in the first cabinet, of the folder being read
  std::deque<QueuedFile> queue_;
};

FdiContext* context(HFDI hfdi) { return static_cast<FdiContext*>(hfdi); }

void report(PERF perf, FDIERROR code) {
  perf->erfOper = code;
  perf->erfType = 0;
  perf->fError = 1;
}

}  // namespace

}  // namespace korvane::cab

using korvane::cab::FdiContext;

HFDI DIAMONDAPI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread, PFNWRITE pfnwrite,
                          PFNCLOSE pfnclose, PFNSEEK pfnseek, int, PERF perf) {
  if (perf == nullptr) return nullptr;
  *perf = ERF{};
  void* memory = pfnalloc(sizeof(FdiContext));
  if (memory == nullptr) {
    korvane::cab::report(perf, FDIERROR_ALLOC_FAIL);
    return nullptr;
  }
  korvane::cab::FdiCallbacks callbacks{pfnalloc, pfnfree, pfnopen, pfnread, pfnwrite, pfnclose, pfnseek};
  return new (memory) FdiContext{korvane::cab::FdiIo(callbacks), perf};
}

int DIAMONDAPI FDIIsCabinet(HFDI hfdi, intptr_t hf, PFDICABINETINFO pfdici) {
  if (hfdi == nullptr || pfdici == nullptr) return 0;
  FdiContext* fdi = korvane::cab::context(hfdi);
  FDIERROR error = FDIERROR_ALLOC_FAIL;
  try {
    error = korvane::cab::readCabinetInfo(fdi->io, hf, pfdici);
  } catch (const std::bad_alloc&) {
  }
  if (error != FDIERROR_NONE) korvane::cab::report(fdi->perf, error);
  return error == FDIERROR_NONE;
}

int DIAMONDAPI FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int, PFNFDINOTIFY pfnfdin,
                       PFNFDIDECRYPT pfnfdid, void* pvUser) {
  if (hfdi == nullptr) return 0;
  FdiContext* fdi = korvane::cab::context(hfdi);
  if (pszCabinet == nullptr || pfnfdin == nullptr) {
    korvane::cab::report(fdi->perf, FDIERROR_CABINET_NOT_FOUND);
    return 0;
  }
  try {
    korvane::cab::CopyOperation copy(fdi->io, pfnfdin, pfnfdid, pvUser);
    copy.run(pszCabPath == nullptr ? "" : pszCabPath, pszCabinet);
    return 1;
  } catch (const korvane::cab::FdiFailure& failure) {
    korvane::cab::report(fdi->perf, failure.code);
  } catch (const std::bad_alloc&) {
    korvane::cab::report(fdi->perf, FDIERROR_ALLOC_FAIL);
  }
  return 0;
}

int DIAMONDAPI FDIDestroy(HFDI hfdi) {
  if (hfdi == nullptr) return 0;
  FdiContext* fdi = korvane::cab::context(hfdi);
  PFNFREE release = fdi->io.callbacks().free;
  fdi->~FdiContext();
  release(fdi);
  return 1;
}
