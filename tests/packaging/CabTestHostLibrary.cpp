// The FCI/FDI entry points driven directly, with callbacks on host files.
#include "packaging/CabTestKit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvane::test::cab {

namespace {

int posixFlags(int oflag) {
  int flags = (oflag & 3) == _O_WRONLY ? O_WRONLY : (oflag & 3) == _O_RDONLY ? O_RDONLY : O_RDWR;
  if (oflag & _O_CREAT) flags |= O_CREAT;
  if (oflag & _O_TRUNC) flags |= O_TRUNC;
  if (oflag & _O_EXCL) flags |= O_EXCL;
  if (oflag & _O_APPEND) flags |= O_APPEND;
  return flags;
}

fs::path scratchFolder(const std::string& kind) {
  static std::atomic<unsigned> counter{0};
  fs::path folder = fs::temp_directory_path() /
                    ("korvane-cab-" + kind + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::create_directories(folder);
  return folder;
}

}  // namespace

// ---- writer

struct WriterCallbacks {
  static void* alloc(uint32_t size) { return std::malloc(size); }
  static void release(void* memory) { std::free(memory); }

  static intptr_t open(char* file, int oflag, int, int* err, void*) {
    int fd = ::open(file, posixFlags(oflag), 0644);
    if (fd == -1) *err = errno;
    return fd;
  }
  static unsigned read(intptr_t hf, void* memory, unsigned size, int* err, void* pv) {
    if (static_cast<TestWriter*>(pv)->failingHandle_ == hf) {
      *err = EIO;
      return static_cast<unsigned>(-1);
    }
    ssize_t got = ::read(static_cast<int>(hf), memory, size);
    if (got < 0) *err = errno;
    return static_cast<unsigned>(got);
  }
  static unsigned write(intptr_t hf, void* memory, unsigned size, int* err, void*) {
    ssize_t done = ::write(static_cast<int>(hf), memory, size);
    if (done < 0) *err = errno;
    return static_cast<unsigned>(done);
  }
  static int close(intptr_t hf, int* err, void*) {
    int result = ::close(static_cast<int>(hf));
    if (result != 0) *err = errno;
    return result;
  }
  static int32_t seek(intptr_t hf, int32_t distance, int origin, int* err, void*) {
    off_t position = ::lseek(static_cast<int>(hf), distance, origin);
    if (position < 0) *err = errno;
    return static_cast<int32_t>(position);
  }
  static int remove(char* file, int* err, void*) {
    int result = ::unlink(file);
    if (result != 0) *err = errno;
    return result;
  }
  static int tempFile(char* name, int size, void* pv) {
    auto* writer = static_cast<TestWriter*>(pv);
    std::string pattern = (writer->tempFolder / "stcXXXXXX").string();
    int fd = mkstemp(pattern.data());
    if (fd == -1 || static_cast<int>(pattern.size()) >= size) return 0;
    ::close(fd);
    ::unlink(pattern.c_str());
    std::strcpy(name, pattern.c_str());
    return 1;
  }
  static intptr_t openInfo(char* name, uint16_t* date, uint16_t* time, uint16_t* attribs, int* err, void* pv) {
    auto* writer = static_cast<TestWriter*>(pv);
    if (writer->beforeOpen) writer->beforeOpen(name);
    auto meta = writer->metadata.find(name);
    *date = meta == writer->metadata.end() ? 0 : meta->second.date;
    *time = meta == writer->metadata.end() ? 0 : meta->second.time;
    *attribs = meta == writer->metadata.end() ? _A_ARCH : meta->second.attribs;
    intptr_t hf = open(name, _O_RDONLY | _O_BINARY, 0, err, pv);
    if (writer->failReadsOf == name) writer->failingHandle_ = hf;
    return hf;
  }
  static int nextCabinet(PCCAB ccab, uint32_t previousSize, void* pv) {
    auto* writer = static_cast<TestWriter*>(pv);
    writer->previousSizes.push_back(previousSize);
    if (writer->nextCabinet) {
      if (!writer->nextCabinet(*ccab)) return 0;
    } else {
      std::string stem = fs::path(writer->firstName_).stem().string();
      ccab->iDisk++;
      std::snprintf(ccab->szCab, sizeof ccab->szCab, "%s%d.cab", stem.c_str(), ccab->iCab);
      std::snprintf(ccab->szDisk, sizeof ccab->szDisk, "Disk%d", ccab->iDisk);
    }
    writer->cabinets_.push_back(fs::path(ccab->szCabPath) / ccab->szCab);
    return 1;
  }
  static int filePlaced(PCCAB ccab, char* file, int32_t size, int continuation, void* pv) {
    auto* writer = static_cast<TestWriter*>(pv);
    Placement placement{file, size, continuation != 0, ccab->szCab};
    writer->placements.push_back(placement);
    return writer->placed ? writer->placed(placement) : 0;
  }
  static int32_t status(unsigned kind, uint32_t first, uint32_t second, void* pv) {
    auto* writer = static_cast<TestWriter*>(pv);
    if (kind == statusFile) writer->blockStatuses++;
    if (kind == statusFolder) writer->folderStatuses++;
    if (kind == statusCabinet) writer->cabinetStatuses++;
    if (writer->status) return writer->status(kind, first, second);
    return kind == statusCabinet ? static_cast<int32_t>(second) : 0;
  }
};

TestWriter::TestWriter(const fs::path& folder, const std::string& firstName, const WriterOptions& options)
    : tempFolder(scratchFolder("temp")),
      ownTemp_(tempFolder),
      folder_(folder),
      firstName_(firstName),
      sources_(scratchFolder("src")) {
  fs::create_directories(folder);
  ccab_.cb = options.cabinetSize;
  ccab_.cbFolderThresh = options.folderThreshold;
  ccab_.cbReserveCFHeader = options.reserveHeader;
  ccab_.cbReserveCFFolder = options.reserveFolder;
  ccab_.cbReserveCFData = options.reserveData;
  ccab_.iCab = 1;
  ccab_.iDisk = 1;
  ccab_.setID = options.setID;
  ccab_.fFailOnIncompressible = options.failOnIncompressible;
  std::snprintf(ccab_.szCab, sizeof ccab_.szCab, "%s", firstName.c_str());
  std::snprintf(ccab_.szDisk, sizeof ccab_.szDisk, "Disk1");
  std::snprintf(ccab_.szCabPath, sizeof ccab_.szCabPath, "%s/", folder.string().c_str());
  cabinets_.push_back(folder / firstName);
  fci_ = FCICreate(&erf_, WriterCallbacks::filePlaced, WriterCallbacks::alloc, WriterCallbacks::release,
                   WriterCallbacks::open, WriterCallbacks::read, WriterCallbacks::write, WriterCallbacks::close,
                   WriterCallbacks::seek, WriterCallbacks::remove, WriterCallbacks::tempFile, &ccab_, this);
}

TestWriter::~TestWriter() {
  if (fci_ != nullptr) FCIDestroy(fci_);
  std::error_code ignored;
  fs::remove_all(sources_, ignored);
  fs::remove_all(ownTemp_, ignored);
}

bool TestWriter::add(const InputFile& file) {
  fs::path source = sources_ / std::to_string(sourceCount_++);
  writeFile(source, file.bytes);
  metadata[source.string()] = {file.date, file.time, file.attribs};
  return addSource(source, file.name, file.type, file.execute);
}

bool TestWriter::addSource(const fs::path& source, const std::string& name, TCOMP type, bool execute) {
  std::string sourceName = source.string(), cabName = name;
  return FCIAddFile(fci_, sourceName.data(), cabName.data(), execute, WriterCallbacks::nextCabinet,
                    WriterCallbacks::status, WriterCallbacks::openInfo, type) != 0;
}

bool TestWriter::flushFolder() {
  return FCIFlushFolder(fci_, WriterCallbacks::nextCabinet, WriterCallbacks::status) != 0;
}

bool TestWriter::flushCabinet(bool getNext) {
  return FCIFlushCabinet(fci_, getNext, WriterCallbacks::nextCabinet, WriterCallbacks::status) != 0;
}

// ---- reader

struct ReaderCallbacks {
  static void* alloc(uint32_t size) { return std::malloc(size); }
  static void release(void* memory) { std::free(memory); }
  static intptr_t open(char* file, int oflag, int) { return ::open(file, posixFlags(oflag), 0644); }
  static unsigned read(intptr_t hf, void* memory, unsigned size) {
    return static_cast<unsigned>(::read(static_cast<int>(hf), memory, size));
  }
  static unsigned write(intptr_t hf, void* memory, unsigned size) {
    return static_cast<unsigned>(::write(static_cast<int>(hf), memory, size));
  }
  static int close(intptr_t hf) { return ::close(static_cast<int>(hf)); }
  static int32_t seek(intptr_t hf, int32_t distance, int origin) {
    return static_cast<int32_t>(::lseek(static_cast<int>(hf), distance, origin));
  }

  static intptr_t notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION note) {
    auto* reader = static_cast<TestReader*>(note->pv);
    switch (type) {
      case fdintCABINET_INFO:
        reader->cabinetsOpened.push_back(note->psz3);
        reader->nextFromHeader = note->psz1;
        return 0;
      case fdintPARTIAL_FILE:
        reader->partialFiles.push_back(note->psz1);
        return 0;
      case fdintCOPY_FILE:
        return reader->openTarget(*note);
      case fdintCLOSE_FILE_INFO:
        return reader->closeTarget(*note);
      case fdintNEXT_CABINET: {
        reader->nextCabinetReasons.push_back(note->fdie);
        intptr_t result = reader->onNextCabinet ? reader->onNextCabinet(*note) : (note->fdie == FDIERROR_NONE ? 0 : -1);
        reader->continuation = std::string(note->psz3) + note->psz1;
        return result;
      }
      case fdintENUMERATE:
        break;
    }
    return 0;
  }
};

TestReader::TestReader() : scratch_(scratchFolder("out")) {
  fdi_ = FDICreate(ReaderCallbacks::alloc, ReaderCallbacks::release, ReaderCallbacks::open, ReaderCallbacks::read,
                   ReaderCallbacks::write, ReaderCallbacks::close, ReaderCallbacks::seek, cpuUNKNOWN, &erf_);
}

TestReader::~TestReader() {
  if (fdi_ != nullptr) FDIDestroy(fdi_);
  std::error_code ignored;
  fs::remove_all(scratch_, ignored);
}

intptr_t TestReader::openTarget(const FDINOTIFICATION& note) {
  if (onCopy) {
    intptr_t answer = onCopy(note);
    if (answer != -2) return answer;
  }
  fs::path target = scratch_ / std::to_string(targetCount_++);
  int fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd != -1) open_[fd] = {note.psz1, target};
  return fd;
}

intptr_t TestReader::closeTarget(const FDINOTIFICATION& note) {
  auto target = open_.find(note.hf);
  if (target == open_.end()) return 0;
  ::close(static_cast<int>(note.hf));
  ExtractedFile& file = files[target->second.first];
  file.bytes = readFile(target->second.second);
  file.date = note.date;
  file.time = note.time;
  file.attribs = note.attribs;
  file.execute = note.cb != 0;
  file.folder = note.iFolder;
  file.times++;
  open_.erase(target);
  return onClose ? onClose(note) : 1;
}

bool TestReader::copy(const fs::path& cabinet) {
  std::string name = cabinet.filename().string();
  std::string folder = cabinet.parent_path().string() + "/";
  continuation.clear();
  nextFromHeader.clear();
  bool ok = FDICopy(fdi_, name.data(), folder.data(), 0, ReaderCallbacks::notify, decrypt, this) != 0;
  // A file FDI gave up on must have been closed through the callbacks.
  for (auto& [hf, target] : open_) {
    if (fcntl(static_cast<int>(hf), F_GETFD) != -1) {
      leakedHandles++;
      ::close(static_cast<int>(hf));
    }
  }
  open_.clear();
  return ok;
}

bool TestReader::extractSet(const fs::path& first) {
  fs::path current = first;
  bool ok = true;
  while (!current.empty()) {
    ok = copy(current) && ok;
    fs::path next = !continuation.empty() ? fs::path(continuation)
                    : nextFromHeader.empty() ? fs::path() : current.parent_path() / nextFromHeader;
    current = !next.empty() && fs::exists(next) && next != current ? next : fs::path();
  }
  return ok;
}

bool TestReader::isCabinet(const fs::path& file, FDICABINETINFO& info) {
  int fd = ::open(file.c_str(), O_RDONLY);
  bool result = FDIIsCabinet(fdi_, fd, &info) != 0;
  ::close(fd);
  return result;
}

}  // namespace korvane::test::cab
