#include "tools/database/MemoryCabinet.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

#include "platform/CabinetInterface.h"

namespace korvane::dbgen {

namespace {

constexpr uint16_t kDosDate = (2004 - 1980) << 9 | 3 << 5 | 14;
constexpr uint16_t kDosTime = 11 << 11 | 56 << 5 | 14 / 2;
constexpr const char* kCabinetName = "database.cab";
constexpr int kNoSuchFile = 2;  // the system's "file not found"

// The files the writer sees: sources, its temporary files and the cabinet.
class MemoryFiles {
 public:
  explicit MemoryFiles(const std::vector<CabinetItem>& items) {
    for (const CabinetItem& item : items) files_["source/" + item.name] = item.bytes;
  }

  intptr_t open(const std::string& name, int flags) {
    auto file = files_.find(name);
    const bool create = flags & _O_CREAT;
    if (file == files_.end() && !create) return -1;
    if (file != files_.end() && create && (flags & _O_EXCL)) return -1;
    std::string& bytes = files_[name];
    if (flags & _O_TRUNC || file == files_.end()) bytes.clear();
    handles_.push_back(Handle{name, (flags & _O_APPEND) ? bytes.size() : 0, true});
    return static_cast<intptr_t>(handles_.size() - 1);
  }
  unsigned read(intptr_t hf, void* memory, unsigned size) {
    Handle& handle = handles_.at(hf);
    const std::string& bytes = files_.at(handle.name);
    const size_t count = handle.position < bytes.size() ? std::min<size_t>(size, bytes.size() - handle.position) : 0;
    std::memcpy(memory, bytes.data() + handle.position, count);
    handle.position += count;
    return static_cast<unsigned>(count);
  }
  unsigned write(intptr_t hf, const void* memory, unsigned size) {
    Handle& handle = handles_.at(hf);
    std::string& bytes = files_.at(handle.name);
    if (bytes.size() < handle.position + size) bytes.resize(handle.position + size);
    std::memcpy(bytes.data() + handle.position, memory, size);
    handle.position += size;
    return size;
  }
  int32_t seek(intptr_t hf, int32_t distance, int origin) {
    Handle& handle = handles_.at(hf);
    const long base = origin == SEEK_SET ? 0L
                      : origin == SEEK_CUR ? static_cast<long>(handle.position)
                                           : static_cast<long>(files_.at(handle.name).size());
    if (base + distance < 0) return -1;
    handle.position = static_cast<size_t>(base + distance);
    return static_cast<int32_t>(handle.position);
  }
  int close(intptr_t hf) {
    if (hf < 0 || static_cast<size_t>(hf) >= handles_.size() || !handles_[hf].open) return -1;
    handles_[hf].open = false;
    return 0;
  }
  int remove(const std::string& name) { return files_.erase(name) == 1 ? 0 : -1; }
  std::string temporaryName() { return "temp/" + std::to_string(++temporaries_); }
  std::string contents(const std::string& name) const {
    auto file = files_.find(name);
    return file == files_.end() ? std::string() : file->second;
  }

 private:
  struct Handle {
    std::string name;
    size_t position = 0;
    bool open = false;
  };
  std::map<std::string, std::string> files_;
  std::vector<Handle> handles_;
  unsigned temporaries_ = 0;
};

MemoryFiles& filesOf(void* pv) { return *static_cast<MemoryFiles*>(pv); }

// The writer's callbacks, each a thin call into MemoryFiles.
struct Callbacks {
  static void* alloc(uint32_t size) { return std::malloc(size); }
  static void release(void* memory) { std::free(memory); }
  static intptr_t open(char* name, int flags, int, int* err, void* pv) {
    intptr_t hf = filesOf(pv).open(name, flags);
    if (hf == -1) *err = kNoSuchFile;
    return hf;
  }
  static unsigned read(intptr_t hf, void* memory, unsigned size, int*, void* pv) {
    return filesOf(pv).read(hf, memory, size);
  }
  static unsigned write(intptr_t hf, void* memory, unsigned size, int*, void* pv) {
    return filesOf(pv).write(hf, memory, size);
  }
  static int close(intptr_t hf, int*, void* pv) { return filesOf(pv).close(hf); }
  static int32_t seek(intptr_t hf, int32_t distance, int origin, int*, void* pv) {
    return filesOf(pv).seek(hf, distance, origin);
  }
  static int remove(char* name, int*, void* pv) { return filesOf(pv).remove(name); }
  static int tempFile(char* name, int size, void* pv) {
    const std::string temporary = filesOf(pv).temporaryName();
    if (static_cast<int>(temporary.size()) >= size) return 0;
    std::strcpy(name, temporary.c_str());
    return 1;
  }
  static intptr_t openInfo(char* name, uint16_t* date, uint16_t* time, uint16_t* attribs, int* err, void* pv) {
    *date = kDosDate;
    *time = kDosTime;
    *attribs = _A_ARCH;
    return open(name, _O_RDONLY | _O_BINARY, 0, err, pv);
  }
  static int nextCabinet(PCCAB, uint32_t, void*) { return 0; }  // one cabinet only
  static int filePlaced(PCCAB, char*, int32_t, int, void*) { return 0; }
  static int32_t status(unsigned kind, uint32_t, uint32_t actualSize, void*) {
    return kind == statusCabinet ? static_cast<int32_t>(actualSize) : 0;
  }
};

[[noreturn]] void fail(const char* step, const ERF& error) {
  throw std::runtime_error(std::string("the cabinet writer failed ") + step + " (error " +
                           std::to_string(error.erfOper) + ")");
}

}  // namespace

std::string writeCabinet(const std::vector<CabinetItem>& items) {
  MemoryFiles files(items);
  ERF error{};
  CCAB parameters{};
  parameters.cb = CB_MAX_DISK;
  parameters.cbFolderThresh = CB_MAX_DISK;
  parameters.iDisk = 1;
  std::strcpy(parameters.szDisk, "Disk1");
  std::strcpy(parameters.szCab, kCabinetName);
  HFCI context = FCICreate(&error, Callbacks::filePlaced, Callbacks::alloc, Callbacks::release, Callbacks::open,
                           Callbacks::read, Callbacks::write, Callbacks::close, Callbacks::seek, Callbacks::remove,
                           Callbacks::tempFile, &parameters, &files);
  if (!context) fail("to start", error);
  auto destroyAndFail = [&](const std::string& step) {
    const ERF failed = error;
    FCIDestroy(context);
    fail(step.c_str(), failed);
  };
  for (const CabinetItem& item : items) {
    std::string source = "source/" + item.name;
    std::string name = item.name;
    if (!FCIAddFile(context, source.data(), name.data(), 0, Callbacks::nextCabinet, Callbacks::status,
                    Callbacks::openInfo, tcompTYPE_MSZIP))
      destroyAndFail("on " + item.name);
  }
  if (!FCIFlushCabinet(context, 0, Callbacks::nextCabinet, Callbacks::status)) destroyAndFail("to finish");
  FCIDestroy(context);
  return files.contents(kCabinetName);
}

}  // namespace korvane::dbgen
