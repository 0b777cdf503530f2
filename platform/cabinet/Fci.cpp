// The cabinet writer. Files are appended to a folder's uncompressed stream,
// cut into 32 KiB blocks, encoded a batch at a time on all cores and
// committed in order to the cabinet being filled. A cabinet's data blocks
// wait in a temporary file until its header, folder and file tables are known.
//
// A cabinet set is cut where the size limit falls: inside a block (the block
// is split, its first part marked with an uncompressed size of 0), or between
// blocks. The folder carries on into the next cabinet only when some file
// crosses the cut, so that a reader always learns of the continuation from a
// file; otherwise a new folder begins after the cut.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <optional>

#include "platform/cabinet/BlockEncoder.h"
#include "platform/CabinetInterface.h"
#include "platform/CabFormat.h"
#include "platform/cabinet/FciIo.h"

namespace korvane::cab {

namespace {

constexpr size_t kBatchBlocks = 32;  // 1 MiB of input encoded at a time
constexpr size_t kBatchBytes = kBatchBlocks * kMaxUncompressedBlock;
constexpr size_t kCopyChunk = 64 * 1024;
// Room kept in every cabinet for the names of a next cabinet, which are only
// known once the cabinet is full.
constexpr uint64_t kNextNamesRoom = CB_MAX_CABINET_NAME + CB_MAX_DISK_NAME;

struct Reserves {
  uint16_t header = 0;
  uint8_t folder = 0;
  uint8_t data = 0;
  bool any() const { return header != 0 || folder != 0 || data != 0; }
};

// A file of the open folder whose entry is not in a cabinet yet.
struct PendingFile {
  std::string name;
  uint64_t start = 0;  // in the folder stream
  uint32_t size = 0;
  uint16_t date = 0, time = 0, attribs = 0;
};

struct ListedFile {
  FileEntry entry;
  size_t folder = 0;  // index in its cabinet
  uint64_t end = 0;   // in the folder stream
  bool fromPrev = false;
  bool toNext = false;

  uint16_t folderField() const {
    if (fromPrev && toNext) return kFolderContinuedPrevAndNext;
    if (fromPrev) return kFolderContinuedFromPrev;
    if (toNext) return kFolderContinuedToNext;
    return static_cast<uint16_t>(folder);
  }
};

// The stretch of one folder that lies in one cabinet.
struct FolderPart {
  TCOMP type = 0;
  uint64_t dataOffset = 0;  // in the cabinet's data area
  uint32_t blocks = 0;
  uint64_t bytes = 0;
};

struct CabinetState {
  CCAB params{};
  bool linked = false;  // continues a previous cabinet
  std::string prevCabinet, prevDisk;
  std::vector<FolderPart> folders;
  bool folderOpen = false;  // the last part belongs to the open folder
  std::vector<ListedFile> files;
  uint64_t fileTableBytes = 0;
  uint64_t dataBytes = 0;
  bool progress = false;  // holds data or entries beyond those carried over
  std::unique_ptr<FciTempFile> data;
};

struct OpenFolder {
  TCOMP type = 0;
  uint64_t base = 0;       // stream offset where the folder as written begins
  uint64_t fed = 0;        // end of the data given so far
  uint64_t committed = 0;  // end of the blocks written
  uint64_t compressed = 0;
  // Set once the folder went on in a new cabinet: it ends with the files it
  // carried there, and later files start a new folder.
  std::optional<uint64_t> endsAt;
  std::deque<PendingFile> pending;
};

template <size_t N>
void terminate(char (&text)[N]) {
  text[N - 1] = 0;
}

void terminateNames(CCAB& params) {
  terminate(params.szDisk);
  terminate(params.szCab);
  terminate(params.szCabPath);
}

bool supported(TCOMP type) { return type == tcompTYPE_NONE || type == tcompTYPE_MSZIP; }

class FciContext {
 public:
  FciContext(const FciCallbacks& callbacks, PERF perf, const CCAB& params, Reserves reserves)
      : io_(callbacks), perf_(perf), reserves_(reserves) {
    startCabinet(params, nullptr);
  }

  const FciCallbacks& callbacks() const { return io_.callbacks(); }

  bool addFile(const char* source, const char* name, bool execute, PFNFCIGETNEXTCABINET next,
               PFNFCISTATUS statusCallback, PFNFCIGETOPENINFO openInfo, TCOMP type) {
    return guarded(next, statusCallback, [&] { addFileNow(source, name, execute, openInfo, type); });
  }

  bool flushFolder(PFNFCIGETNEXTCABINET next, PFNFCISTATUS statusCallback) {
    return guarded(next, statusCallback, [&] { flushFolderNow(); });
  }

  bool flushCabinet(bool getNext, PFNFCIGETNEXTCABINET next, PFNFCISTATUS statusCallback) {
    return guarded(next, statusCallback, [&] { flushCabinetNow(getNext); });
  }

 private:
  template <class Step>
  bool guarded(PFNFCIGETNEXTCABINET next, PFNFCISTATUS statusCallback, Step step) {
    if (broken_) return report(*broken_);
    nextCabinet_ = next;
    status_ = statusCallback;
    try {
      step();
      return true;
    } catch (const FciFailure& failure) {
      if (failure.fatal) broken_ = failure;
      return report(failure);
    } catch (const std::bad_alloc&) {
      broken_ = FciFailure{FCIERR_ALLOC_FAIL};
      return report(*broken_);
    }
  }

  bool report(const FciFailure& failure) {
    perf_->erfOper = failure.code;
    perf_->erfType = failure.systemError;
    perf_->fError = 1;
    return false;
  }

  // ---- adding files

  void addFileNow(const char* source, const char* name, bool execute, PFNFCIGETOPENINFO openInfo, TCOMP type) {
    if (!supported(type)) refuseFci(FCIERR_BAD_COMPR_TYPE);
    if (source == nullptr || name == nullptr || openInfo == nullptr) refuseFci(FCIERR_OPEN_SRC);
    if (std::strlen(name) > kMaxNameLength) refuseFci(FCIERR_CAB_FORMAT_LIMIT);
    PendingFile file{name, 0, 0, 0, 0, 0};
    FciHandle sourceFile(io_, openSource(source, openInfo, file));
    if (execute) file.attribs |= _A_EXEC;
    file.size = sourceSize(sourceFile.get());

    if (!cab_) startNewSet();
    if (folder_ && (folder_->type != type || folderSize() >= cab_->params.cbFolderThresh ||
                    folder_->fed - folder_->base + file.size > kMaxFolderUncompressed))
      flushFolderNow();
    if (!folder_) openFolder(type);
    file.start = folder_->fed;
    folder_->pending.push_back(file);
    feed(sourceFile.get(), file.size);
    sourceFile.close(FCIERR_READ_SRC);
  }

  intptr_t openSource(const char* source, PFNFCIGETOPENINFO openInfo, PendingFile& file) {
    std::string path = source;
    int error = 0;
    intptr_t hf = openInfo(path.data(), &file.date, &file.time, &file.attribs, &error, io_.callbacks().pv);
    if (hf == -1) refuseFci(FCIERR_OPEN_SRC, error);
    return hf;
  }

  uint32_t sourceSize(intptr_t hf) {
    try {
      int32_t size = io_.seek(hf, 0, SEEK_END, FCIERR_READ_SRC);
      io_.seek(hf, 0, SEEK_SET, FCIERR_READ_SRC);
      if (static_cast<uint64_t>(size) > kMaxFolderUncompressed) refuseFci(FCIERR_CAB_FORMAT_LIMIT);
      return static_cast<uint32_t>(size);
    } catch (FciFailure& failure) {
      failure.fatal = false;
      throw;
    }
  }

  // Compressed bytes of the open folder, counting the data still waiting to
  // be encoded at its uncompressed size.
  uint64_t folderSize() const { return folder_->compressed + (folder_->fed - folder_->committed); }

  void openFolder(TCOMP type) {
    folder_.emplace();
    folder_->type = type;
    if (!encoder_ || encoder_->type() != type) encoder_ = std::make_unique<BlockEncoder>(type);
    input_.clear();
    inputStart_ = 0;
  }

  void feed(intptr_t hf, uint64_t size) {
    while (size > 0) {
      size_t room = kBatchBytes - static_cast<size_t>(folder_->fed - folder_->committed);
      size_t chunk = static_cast<size_t>(std::min<uint64_t>(room, size));
      size_t old = input_.size();
      input_.resize(old + chunk);
      io_.readExactly(hf, input_.data() + old, chunk, FCIERR_READ_SRC);
      folder_->fed += chunk;
      size -= chunk;
      if (folder_->fed - folder_->committed == kBatchBytes) encodePending(false);
    }
  }

  // ---- encoding and committing blocks

  // Encodes and commits the blocks waiting in input_: the whole ones, and the
  // short last one when the folder ends. A cabinet switch can change where
  // blocks must be cut; the blocks encoded after it are then planned again.
  void encodePending(bool folderEnds) {
    for (;;) {
      if (folder_->endsAt && folder_->committed == *folder_->endsAt) restartFolderAt(folder_->committed);
      planBlocks(folderEnds);
      if (jobs_.empty()) break;
      check(encoder_->encode(jobs_, payloads_));
      for (size_t i = 0; i < jobs_.size(); ++i) {
        uint64_t switches = switches_;
        bool committed = commitBlock(jobs_[i], payloads_[i]);
        if (!committed || switches != switches_) break;
      }
      dropHistoryBefore(folder_->committed);
    }
  }

  // Blocks are 32 KiB of the folder's stream, except the last one of a folder.
  void planBlocks(bool folderEnds) {
    jobs_.clear();
    for (uint64_t start = folder_->committed; start < folder_->fed;) {
      uint64_t end = std::min<uint64_t>(start + kMaxUncompressedBlock, folder_->fed);
      bool lastOfFolder = folder_->endsAt && *folder_->endsAt <= end;
      if (lastOfFolder) end = *folder_->endsAt;
      if (end - start < kMaxUncompressedBlock && !folderEnds && !lastOfFolder) break;
      uint64_t historyStart = std::max({folder_->base, inputStart_, start - std::min<uint64_t>(start, kMsZipHistory)});
      jobs_.push_back({stream(historyStart, start), stream(start, end)});
      if (lastOfFolder) break;
      start = end;
    }
  }

  ByteView stream(uint64_t from, uint64_t to) const {
    return ByteView(input_.data() + (from - inputStart_), static_cast<size_t>(to - from));
  }

  void dropHistoryBefore(uint64_t offset) {
    uint64_t keep = offset - std::min<uint64_t>(offset, kMsZipHistory);
    if (keep <= inputStart_) return;
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(keep - inputStart_));
    inputStart_ = keep;
  }

  static void check(EncodeResult result) {
    if (result == EncodeResult::OutOfMemory) failFci(FCIERR_ALLOC_FAIL);
    if (result == EncodeResult::Failed) failFci(FCIERR_MCI_FAIL);
  }

  // Writes one block into the cabinet set, splitting it where a cabinet
  // fills up. False if the block has to be cut differently first: nothing
  // of it was written.
  bool commitBlock(const BlockJob& job, const Bytes& payload) {
    uint64_t start = folder_->committed;
    uint64_t end = start + job.data.size();
    if (cab_->params.fFailOnIncompressible && folder_->type == tcompTYPE_MSZIP && payload.size() > job.data.size())
      failFci(FCIERR_MCI_FAIL);
    size_t entries = pendingBefore(end);
    size_t written = 0;
    for (;;) {
      uint64_t entryBytes = pendingBytes(entries);
      size_t rest = payload.size() - written;
      if (fits(entryBytes, entries, dataRecordSize(rest))) {
        listPending(entries);
        appendRecord(ByteView(payload).subspan(written), static_cast<uint16_t>(job.data.size()));
        break;
      }
      int64_t room = freeSpace(entryBytes) - static_cast<int64_t>(dataRecordSize(0));
      if (room >= 1 && countsFit(entries)) {
        listPending(entries);
        entries = 0;
        size_t part = static_cast<size_t>(room);  // less than rest, or it would have fitted
        appendRecord(ByteView(payload).subspan(written, part), 0);
        written += part;
        switchCabinet(start);
        continue;
      }
      if (!cab_->progress) failFci(FCIERR_CAB_FORMAT_LIMIT);  // even an empty cabinet is too small
      if (written == 0 && !crossesCut(start)) {
        restartFolderAt(start);  // the next cabinet begins with a folder of its own
        switchCabinet(start);
        return false;
      }
      switchCabinet(start);
      if (written == 0 && *folder_->endsAt < end) return false;
    }
    folder_->committed = end;
    folder_->compressed += payload.size();
    status(statusFile, static_cast<uint32_t>(payload.size()), static_cast<uint32_t>(job.data.size()));
    return true;
  }

  // The folder as written ends; the stream goes on in a new one, whose first
  // block does not refer back.
  void restartFolderAt(uint64_t offset) {
    closeFolderPart();
    folder_->base = offset;
    folder_->compressed = 0;
    folder_->endsAt.reset();
  }

  size_t pendingBefore(uint64_t end) const {
    size_t count = 0;
    while (count < folder_->pending.size() && folder_->pending[count].start < end) ++count;
    return count;
  }

  uint64_t pendingBytes(size_t count) const {
    uint64_t bytes = 0;
    for (size_t i = 0; i < count; ++i) bytes += kFileFixedSize + folder_->pending[i].name.size() + 1;
    return bytes;
  }

  void listPending(size_t count) {
    for (; count > 0; --count) {
      const PendingFile& file = folder_->pending.front();
      ListedFile listed;
      listed.entry = FileEntry{file.size, static_cast<uint32_t>(file.start - folder_->base), 0,
                               file.date, file.time, file.attribs, file.name};
      listed.end = file.start + file.size;
      addListed(std::move(listed), false);
      folder_->pending.pop_front();
      cab_->progress = true;
    }
  }

  void addListed(ListedFile listed, bool continuation) {
    openFolderPart();
    listed.folder = cab_->folders.size() - 1;
    cab_->fileTableBytes += listed.entry.encodedSize();
    cab_->files.push_back(listed);
    std::string name = listed.entry.name;
    const FciCallbacks& cb = io_.callbacks();
    if (cb.filePlaced != nullptr &&
        cb.filePlaced(&cab_->params, name.data(), static_cast<int32_t>(listed.entry.cbFile), continuation, cb.pv) ==
            -1)
      failFci(FCIERR_USER_ABORT);
  }

  // ---- the cabinet being filled

  uint64_t headerSize(bool withNext) const {
    uint64_t size = kHeaderFixedSize;
    if (reserves_.any()) size += kReserveFieldsSize + reserves_.header;
    if (cab_->linked) size += cab_->prevCabinet.size() + cab_->prevDisk.size() + 2;
    return size + (withNext ? kNextNamesRoom : 0);
  }

  uint64_t folderEntrySize() const { return kFolderFixedSize + reserves_.folder; }
  uint64_t dataRecordSize(size_t payload) const { return kDataFixedSize + reserves_.data + payload; }

  uint64_t cabinetSize(bool withNext) const {
    return headerSize(withNext) + cab_->folders.size() * folderEntrySize() + cab_->fileTableBytes + cab_->dataBytes;
  }

  int64_t freeSpace(uint64_t entryBytes) const {
    uint64_t used = cabinetSize(true) + (cab_->folderOpen ? 0 : folderEntrySize()) + entryBytes;
    return static_cast<int64_t>(cab_->params.cb) - static_cast<int64_t>(used);
  }

  bool countsFit(size_t entries) const {
    size_t folders = cab_->folders.size() + (cab_->folderOpen ? 0 : 1);
    return cab_->files.size() + entries <= kMaxFilesPerCabinet && folders <= kMaxFoldersPerCabinet;
  }

  bool fits(uint64_t entryBytes, size_t entries, uint64_t recordBytes) const {
    return countsFit(entries) && freeSpace(entryBytes) >= static_cast<int64_t>(recordBytes);
  }

  void openFolderPart() {
    if (cab_->folderOpen) return;
    if (cab_->folders.size() >= kMaxFoldersPerCabinet) failFci(FCIERR_CAB_FORMAT_LIMIT);
    cab_->folders.push_back(FolderPart{folder_->type, cab_->dataBytes, 0, 0});
    cab_->folderOpen = true;
  }

  void closeFolderPart() {
    if (!cab_->folderOpen) return;
    cab_->folderOpen = false;
    uint32_t bytes = static_cast<uint32_t>(cab_->folders.back().bytes);
    status(statusFolder, bytes, bytes);
  }

  void appendRecord(ByteView payload, uint16_t uncompressed) {
    openFolderPart();
    FolderPart& part = cab_->folders.back();
    if (part.blocks == UINT16_MAX) failFci(FCIERR_CAB_FORMAT_LIMIT);
    if (!cab_->data) cab_->data = std::make_unique<FciTempFile>(io_);
    Bytes header;
    append32(header, 0);
    append16(header, static_cast<uint16_t>(payload.size()));
    append16(header, uncompressed);
    header.insert(header.end(), reserves_.data, 0);
    uint32_t sum = dataBlockChecksum(ByteView(header).subspan(4), payload);
    for (int i = 0; i < 4; ++i) header[i] = static_cast<uint8_t>(sum >> (8 * i));
    io_.write(cab_->data->get(), header, FCIERR_TEMP_FILE);
    io_.write(cab_->data->get(), payload, FCIERR_TEMP_FILE);
    uint64_t size = header.size() + payload.size();
    part.blocks++;
    part.bytes += size;
    cab_->dataBytes += size;
    cab_->progress = true;
  }

  // A file of the open folder with data after the cut goes on in the next cabinet.
  bool reachesPast(const ListedFile& file, uint64_t cut) const {
    return cab_->folderOpen && file.folder == cab_->folders.size() - 1 && file.entry.cbFile > 0 && file.end > cut;
  }

  bool crossesCut(uint64_t cut) const {
    return std::any_of(cab_->files.rbegin(), cab_->files.rend(),
                       [&](const ListedFile& file) { return reachesPast(file, cut); });
  }

  // Finishes the current cabinet and starts the next of the set; the files
  // of the open folder that reach past the cut are listed in both.
  void switchCabinet(uint64_t cut) {
    std::vector<ListedFile> carried;
    for (ListedFile& file : cab_->files) {
      if (!reachesPast(file, cut)) continue;
      file.toNext = true;
      carried.push_back(file);
      folder_->endsAt = std::max(folder_->endsAt.value_or(0), file.end);
    }
    switches_++;
    closeFolderPart();
    CCAB next = askNextCabinet(cab_->params, static_cast<uint32_t>(cabinetSize(false)));
    finishCabinet(&next);
    startCabinet(next, &lastParams_);
    for (ListedFile& file : carried) {
      file.fromPrev = true;
      file.toNext = false;
      addListed(file, true);
    }
  }

  CCAB askNextCabinet(const CCAB& current, uint32_t currentSize) {
    CCAB next = current;
    next.iCab = current.iCab + 1;
    if (nextCabinet_ == nullptr || !nextCabinet_(&next, currentSize, io_.callbacks().pv))
      failFci(FCIERR_USER_ABORT);
    next.iCab = current.iCab + 1;
    terminateNames(next);
    return next;
  }

  // After a cabinet ended without a successor, more files begin a new set.
  void startNewSet() { startCabinet(askNextCabinet(lastParams_, lastSize_), nullptr); }

  void startCabinet(const CCAB& params, const CCAB* previous) {
    cab_.emplace();
    cab_->params = params;
    terminateNames(cab_->params);
    if (cab_->params.cb > CB_MAX_DISK) cab_->params.cb = CB_MAX_DISK;
    if (previous != nullptr) {
      cab_->linked = true;
      cab_->prevCabinet = previous->szCab;
      cab_->prevDisk = previous->szDisk;
      cab_->params.setID = previous->setID;
    }
  }

  void finishCabinet(const CCAB* next) {
    Header header;
    header.flags = static_cast<uint16_t>((cab_->linked ? kFlagPrevCabinet : 0) | (next ? kFlagNextCabinet : 0) |
                                         (reserves_.any() ? kFlagReservePresent : 0));
    header.cFolders = static_cast<uint16_t>(cab_->folders.size());
    header.cFiles = static_cast<uint16_t>(cab_->files.size());
    header.setID = cab_->params.setID;
    header.iCabinet = static_cast<uint16_t>(cab_->params.iCab);
    header.cbHeaderReserve = reserves_.header;
    header.cbFolderReserve = reserves_.folder;
    header.cbDataReserve = reserves_.data;
    header.prevCabinet = cab_->prevCabinet;
    header.prevDisk = cab_->prevDisk;
    if (next != nullptr) {
      header.nextCabinet = next->szCab;
      header.nextDisk = next->szDisk;
    }
    uint64_t tables = header.encodedSize() + cab_->folders.size() * folderEntrySize();
    uint64_t dataStart = tables + cab_->fileTableBytes;
    header.coffFiles = static_cast<uint32_t>(tables);
    header.cbCabinet = static_cast<uint32_t>(dataStart + cab_->dataBytes);

    Bytes head;
    appendHeader(head, header);
    for (const FolderPart& part : cab_->folders)
      appendFolder(head, FolderEntry{static_cast<uint32_t>(dataStart + part.dataOffset),
                                     static_cast<uint16_t>(part.blocks), part.type},
                   reserves_.folder);
    for (ListedFile& file : cab_->files) {
      file.entry.iFolder = file.folderField();
      appendFile(head, file.entry);
    }
    writeCabinetFile(head);
    uint32_t estimate = static_cast<uint32_t>(cabinetSize(false));
    lastParams_ = cab_->params;
    lastSize_ = header.cbCabinet;
    cab_.reset();
    status(statusCabinet, estimate, header.cbCabinet);
  }

  void writeCabinetFile(ByteView head) {
    std::string path = std::string(cab_->params.szCabPath) + cab_->params.szCab;
    FciHandle out(io_, io_.open(path, _O_WRONLY | _O_BINARY | _O_CREAT | _O_TRUNC | _O_SEQUENTIAL, FCIERR_CAB_FILE));
    io_.write(out.get(), head, FCIERR_CAB_FILE);
    if (cab_->data) {
      intptr_t data = cab_->data->get();
      io_.seek(data, 0, SEEK_SET, FCIERR_TEMP_FILE);
      Bytes chunk(kCopyChunk);
      for (uint64_t left = cab_->dataBytes; left > 0;) {
        size_t size = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
        io_.readExactly(data, chunk.data(), size, FCIERR_TEMP_FILE);
        io_.write(out.get(), ByteView(chunk.data(), size), FCIERR_CAB_FILE);
        left -= size;
      }
      cab_->data.reset();
    }
    out.close(FCIERR_CAB_FILE);
  }

  void status(unsigned kind, uint32_t first, uint32_t second) {
    if (status_ != nullptr && status_(kind, first, second, io_.callbacks().pv) == -1) failFci(FCIERR_USER_ABORT);
  }

  // ---- flushing

  void flushFolderNow() {
    if (!folder_) return;
    encodePending(true);
    listFolderEnd();
    closeFolderPart();
    folder_.reset();
  }

  // Files at the very end of the folder (empty ones) have no block to go
  // with; if their entries do not fit, they start a folder of their own in
  // the next cabinet.
  void listFolderEnd() {
    size_t count = folder_->pending.size();
    if (count == 0) return;
    uint64_t bytes = pendingBytes(count);
    if (!fits(bytes, count, 0)) {
      if (!cab_->progress) failFci(FCIERR_CAB_FORMAT_LIMIT);
      restartFolderAt(folder_->fed);
      switchCabinet(folder_->fed);
      if (!fits(bytes, count, 0)) failFci(FCIERR_CAB_FORMAT_LIMIT);
    }
    listPending(count);
  }

  void flushCabinetNow(bool getNext) {
    if (!cab_) return;  // the set was finished and nothing was added since
    flushFolderNow();
    if (getNext) {
      switchCabinet(0);
    } else {
      finishCabinet(nullptr);
    }
  }

  FciIo io_;
  PERF perf_;
  Reserves reserves_;
  std::optional<FciFailure> broken_;
  PFNFCIGETNEXTCABINET nextCabinet_ = nullptr;
  PFNFCISTATUS status_ = nullptr;
  CCAB lastParams_{};  // of the cabinet written last
  uint32_t lastSize_ = 0;
  std::optional<CabinetState> cab_;
  std::optional<OpenFolder> folder_;
  std::unique_ptr<BlockEncoder> encoder_;
  Bytes input_;  // the folder stream from inputStart_: history, then data not yet encoded
  uint64_t inputStart_ = 0;
  uint64_t switches_ = 0;  // cabinet switches so far
  std::vector<BlockJob> jobs_;
  std::vector<Bytes> payloads_;
};

FciContext* context(HFCI hfci) { return static_cast<FciContext*>(hfci); }

}  // namespace

}  // namespace korvane::cab

using korvane::cab::FciCallbacks;
using korvane::cab::FciContext;

HFCI DIAMONDAPI FCICreate(PERF perf, PFNFCIFILEPLACED pfnfcifp, PFNFCIALLOC pfna, PFNFCIFREE pfnf,
                          PFNFCIOPEN pfnopen, PFNFCIREAD pfnread, PFNFCIWRITE pfnwrite, PFNFCICLOSE pfnclose,
                          PFNFCISEEK pfnseek, PFNFCIDELETE pfndelete, PFNFCIGETTEMPFILE pfnfcigtf,
                          PCCAB pccab, void* pv) {
  if (perf == nullptr) return nullptr;
  *perf = ERF{};
  auto refuse = [perf](FCIERROR code) {
    perf->erfOper = code;
    perf->fError = 1;
    return nullptr;
  };
  if (pccab == nullptr) return refuse(FCIERR_CAB_FILE);
  if (pccab->cbReserveCFHeader > korvane::cab::kMaxHeaderReserve ||
      pccab->cbReserveCFFolder > korvane::cab::kMaxFolderReserve ||
      pccab->cbReserveCFData > korvane::cab::kMaxDataReserve)
    return refuse(FCIERR_CAB_FORMAT_LIMIT);
  korvane::cab::Reserves reserves{static_cast<uint16_t>(pccab->cbReserveCFHeader),
                                  static_cast<uint8_t>(pccab->cbReserveCFFolder),
                                  static_cast<uint8_t>(pccab->cbReserveCFData)};
  void* memory = pfna(sizeof(FciContext));
  if (memory == nullptr) return refuse(FCIERR_ALLOC_FAIL);
  FciCallbacks callbacks{pfnfcifp, pfna, pfnf, pfnopen, pfnread, pfnwrite, pfnclose, pfnseek, pfndelete, pfnfcigtf, pv};
  try {
    return new (memory) FciContext(callbacks, perf, *pccab, reserves);
  } catch (const std::bad_alloc&) {
    pfnf(memory);
    return refuse(FCIERR_ALLOC_FAIL);
  }
}

int DIAMONDAPI FCIAddFile(HFCI hfci, char* pszSourceFile, char* pszFileName, int fExecute,
                          PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis, PFNFCIGETOPENINFO pfnfcigoi,
                          TCOMP typeCompress) {
  if (hfci == nullptr) return 0;
  return korvane::cab::context(hfci)->addFile(pszSourceFile, pszFileName, fExecute != 0, pfnfcignc, pfnfcis,
                                              pfnfcigoi, typeCompress);
}

int DIAMONDAPI FCIFlushCabinet(HFCI hfci, int fGetNextCab, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis) {
  if (hfci == nullptr) return 0;
  return korvane::cab::context(hfci)->flushCabinet(fGetNextCab != 0, pfnfcignc, pfnfcis);
}

int DIAMONDAPI FCIFlushFolder(HFCI hfci, PFNFCIGETNEXTCABINET pfnfcignc, PFNFCISTATUS pfnfcis) {
  if (hfci == nullptr) return 0;
  return korvane::cab::context(hfci)->flushFolder(pfnfcignc, pfnfcis);
}

int DIAMONDAPI FCIDestroy(HFCI hfci) {
  if (hfci == nullptr) return 0;
  FciContext* fci = korvane::cab::context(hfci);
  PFNFCIFREE release = fci->callbacks().free;
  fci->~FciContext();
  release(fci);
  return 1;
}
